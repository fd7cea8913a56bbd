#!/usr/bin/env bash
# Prints the Debian mirror that the machine's own apt uses: the first URI of
# an enabled "deb" source of a release's main suite (a bare suite name such as
# bookworm or stable, not -security or -updates), from the deb822 files in
# sources.list.d, then from the one-line sources.list and *.list files.
# Fails, printing nothing, when there is none.
#   cmake/apt-mirror.sh [APT_DIR]   (default /etc/apt)
set -euo pipefail
apt=${1:-/etc/apt}
found=
for f in "$apt"/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  found=$(awk '
    function flush() {
      if (!found && types ~ /(^| )deb( |$)/ && tolower(enabled) != "no" && suites ~ /(^| )[a-z]+( |$)/) {
        n = split(uris, u, " ")
        for (i = 1; i <= n; i++) if (u[i] ~ /^https?:\/\//) { print u[i]; found = 1; break }
      }
      types = uris = suites = key = ""; enabled = "yes"
    }
    BEGIN { enabled = "yes" }
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^[ \t]/ { if (key == "uris") uris = uris " " $0; else if (key == "suites") suites = suites " " $0; next }
    {
      key = tolower(substr($0, 1, index($0, ":") - 1)); val = substr($0, index($0, ":") + 1)
      gsub(/[ \t]+/, " ", val)
      if (key == "types") types = val; else if (key == "uris") uris = val
      else if (key == "suites") suites = val; else if (key == "enabled") { enabled = val; gsub(/ /, "", enabled) }
    }
    END { flush() }' "$f")
  [ -n "$found" ] && break
done
for f in "$apt"/sources.list "$apt"/sources.list.d/*.list; do
  if [ -n "$found" ] || [ ! -f "$f" ]; then continue; fi
  # deb [options] URI SUITE COMPONENTS...
  found=$(sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$f" |
    awk '!found && $1 == "deb" && $2 ~ /^https?:\/\// && $3 ~ /^[a-z]+$/ { print $2; found = 1 }')
done
[ -n "$found" ] && echo "${found%/}"
