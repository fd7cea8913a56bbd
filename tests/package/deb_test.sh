#!/usr/bin/env bash
# vbltool's Debian package, made by tools/pack-deb.sh from this build tree:
# the same bytes whatever the umask and scratch folder, the files and fields
# Debian expects, no lintian error, and it installs, runs and removes with
# dpkg in a scratch root (the host's package database copied in, so that its
# Depends are checked against what the machine has; the machine itself is
# left alone).
#   deb_test.sh PACK_DEB BUILD_DIR
pack=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../diff/cli_helpers.sh"
# A fixed date: the test needs no git history.
export SOURCE_DATE_EPOCH=1700000000
version=$("$build/vbltool" --version | sed -n 's/^vbltool //p')
arch=$(dpkg --print-architecture)
name=vbltool_${version}_${arch}.deb

# What `cmake --install BUILD --prefix P` puts under P.
expect 0 "cmake --install" cmake --install "$build" --prefix "$work/prefix"
got=$(cd prefix && find . -type f | LC_ALL=C sort)
want="./bin/vbltool
./share/doc/vbltool/LICENSE
./share/doc/vbltool/NOTICES.txt
./share/doc/vbltool/vbltool.md
./share/man/man1/vbltool.1"
[ "$got" = "$want" ] && echo "ok    cmake --install: $(echo $got)" || fail "cmake --install put:
$got
wanted:
$want"
# The Linux notices: the GCC runtime's and stb's texts, nothing of the Windows link.
notices=prefix/share/doc/vbltool/NOTICES.txt
for text in 'version 3.1 of the GCC Runtime Library' 'ALTERNATIVE A - public domain' 'Copyright (c) 2014-2022 Sean Barrett'; do
  grep -qF "$text" "$notices" || fail "NOTICES.txt lacks: $text"
done
for text in MinGW winpthreads Lockless Lucent .exe 'Linked from' @VERSION@; do
  ! grep -qF "$text" "$notices" || fail "NOTICES.txt holds a text of the Windows programs: $text"
done

expect 0 "pack-deb.sh makes $name" "$pack" "$build" one
deb=$work/one/$name
[ -f "$deb" ] || { fail "no $deb"; exit 1; }
# Again under another umask, from another folder: the same bytes.
(umask 077 && cd / && TMPDIR=$work "$pack" "$build" "$work/two") >/dev/null || fail "the second packing failed"
cmp -s "$deb" "$work/two/$name" && echo "ok    the same bytes under umask 077" ||
  fail "two packings of one build differ (umask 077 the second time)"

# Every entry: mode, owner, date and path (sizes vary with the compiler).
stamp=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M')
want="drwxr-xr-x root/root ./
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/vbltool
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/vbltool/
-rw-r--r-- root/root ./usr/share/doc/vbltool/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/vbltool/copyright
-rw-r--r-- root/root ./usr/share/doc/vbltool/vbltool.md.gz
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/vbltool.1.gz"
got=$(TZ=UTC dpkg-deb -c "$deb" | awk -v stamp="$stamp" '{ print $1, $2, $6; if ($4 " " $5 != stamp) print "dated " $4 " " $5 ": " $6 }')
[ "$got" = "$want" ] && echo "ok    the files, modes, owners and dates" ||
  fail "dpkg-deb -c, as mode owner path:
$got
wanted:
$want"

field() { dpkg-deb -f "$deb" "$1"; }
before=$failures
[ "$(field Package)" = vbltool ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the program says $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^@\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
for lib in libc6 libstdc++6; do
  [[ ", $(field Depends)," == *", $lib (>= "[0-9]*")"[,\ ]* ]] || fail "Depends: $(field Depends): no versioned $lib"
done
[ "$failures" = "$before" ] && echo "ok    control fields; Depends: $(field Depends)"

mkdir content && dpkg-deb -x "$deb" content
cmp -s <(gzip -dc content/usr/share/man/man1/vbltool.1.gz) "$build/vbltool.1" ||
  fail "the package's manual page is not the build's vbltool.1"
copyright=content/usr/share/doc/vbltool/copyright
for text in "$here/../../LICENSE" "$build/NOTICES.txt"; do
  grep -qzF -- "$(cat "$text")" "$copyright" || fail "the copyright file does not hold $text"
done
! readelf -S content/usr/bin/vbltool | grep -q -e '\.symtab' -e '\.comment' ||
  fail "usr/bin/vbltool is not stripped"
echo "ok    manual page, copyright, stripped program"

# Errors fail; warnings and notes are shown.
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' | sed 's/^/lintian: /'
[ "${PIPESTATUS[0]}" = 0 ] && echo "ok    lintian finds no error" || fail "lintian finds errors (above)"

# dpkg in a scratch root that knows the host's packages.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers" "$root/var/log"
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
: >"$root/var/lib/dpkg/available"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(--force-not-root)
expect 0 "dpkg --install (Depends met by the host's packages)" dpkg --root="$root" "${as_root[@]}" --install "$deb"
expect 0 "the installed vbltool --version" "$root/usr/bin/vbltool" --version
[ "$(cat out.txt)" = "vbltool $version" ] || fail "the installed vbltool --version says: $(cat out.txt)"
[[ "$(dpkg --root="$root" -s vbltool 2>&1)" == *"Status: install ok installed"* ]] || fail "dpkg -s: not installed"
expect 0 "dpkg --purge" dpkg --root="$root" "${as_root[@]}" --purge vbltool
left=$(find "$root/usr" -mindepth 1 2>/dev/null)
[ -z "$left" ] && echo "ok    nothing left in /usr" || fail "left behind after purging: $left"
[[ "$(dpkg --root="$root" -s vbltool 2>&1)" != *"Status: install ok installed"* ]] || fail "dpkg -s: still installed"

echo "$failures failures"
[ "$failures" = 0 ]
