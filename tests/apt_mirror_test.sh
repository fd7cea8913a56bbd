#!/usr/bin/env bash
# cmake/apt-mirror.sh against apt folders made here: which source it takes as
# the machine's Debian mirror, and that it fails when there is none.
#   tests/apt_mirror_test.sh APT_MIRROR_SH
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check NAME EXPECTED FILE:CONTENT... : the folder holds those files; EXPECTED
# is the mirror printed, or "-" for a failure with nothing printed.
check() {
  local name=$1 expected=$2 dir=$work/$1 got rc=0 entry
  shift 2
  mkdir -p "$dir/sources.list.d"
  for entry in "$@"; do printf '%s\n' "${entry#*:}" >"$dir/${entry%%:*}"; done
  got=$("$script" "$dir") || rc=$?
  if { [ "$expected" = - ] && { [ $rc -eq 0 ] || [ -n "$got" ]; }; } ||
    { [ "$expected" != - ] && [ "$got" != "$expected" ]; }; then
    echo "FAIL $name: got '$got' (exit $rc), expected '$expected'" >&2
    failures=$((failures + 1))
  fi
}

check deb822-security-disabled-continued http://main.example/debian \
  "sources.list.d/a.sources:# URIs: http://comment.example/debian
Types: deb
URIs: http://sec.example/debian-security
Suites: bookworm-security

Types: deb
Enabled: no
URIs: http://off.example/debian
Suites: bookworm

Types: deb-src
URIs: http://src.example/debian
Suites: bookworm

Types: deb-src deb
URIs:
 http://main.example/debian/
Suites: bookworm bookworm-updates"
check deb822-before-one-line http://new.example/debian \
  "sources.list:deb http://old.example/debian bookworm main" \
  "sources.list.d/debian.sources:Types: deb
URIs: http://new.example/debian
Suites: bookworm"
check one-line-options http://one.example/debian \
  "sources.list:# deb http://comment.example/debian bookworm main
deb http://sec.example/debian-security bookworm-security main
deb-src http://src.example/debian bookworm main
deb [arch=amd64 signed-by=/k.gpg] http://one.example/debian bookworm main"
# Comment lines as apt reads them: in deb822 a line starting with #, which may
# sit inside a field; in the one-line format all from a # on, even glued to a
# field.
check deb822-comment-inside-a-field http://near.example/debian \
  "sources.list:deb http://old.example/debian bookworm main" \
  "sources.list.d/debian.sources:Types: deb
URIs:
# the nearest mirror first
 http://near.example/debian
 http://far.example/debian
Suites: bookworm"
check one-line-comment-glued-to-the-suite http://one.example/debian \
  "sources.list:deb http://one.example/debian bookworm#-backports main
deb http://two.example/debian bookworm main"
check list-file https://list.example/debian "sources.list.d/x.list:deb https://list.example/debian stable main"
check none - "sources.list:deb cdrom:[Debian]/ bookworm main
deb http://sec.example/debian-security bookworm-security main"

[ $failures -eq 0 ] && echo "apt-mirror: all cases passed"
