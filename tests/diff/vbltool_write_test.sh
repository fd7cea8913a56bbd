#!/usr/bin/env bash
# What vbltool writes over, on real files, one case a row: names that differ
# in case, FIFOs and devices, read-only files (as an unprivileged user when
# run as root), scratch-like names, file systems without a no-replace rename
# or hard links and files another program holds for a moment (both through
# vbltool_faults), links to nothing, closed standard streams, a link swapped
# in at the open, the mode and owner of what replaces a file, missing folders,
# long names, and running out of memory.
# Usage: vbltool_write_test.sh VBLTOOL VBLTOOL_FAULTS
set -uo pipefail
vt=$1 fa=$2
. "$(dirname "$0")/cli_helpers.sh"
umask 022
chmod 755 "$work"
# The rows run a copy of vbltool, which the unprivileged user can reach wherever the build sits.
cp "$vt" "$work/vbltool" && vt=$work/vbltool || exit 1
as_user() { if [ "$(id -u)" = 0 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; else "$@"; fi; }
through_pipe() { as_user bash -o pipefail -c '"$0" pcx2bmp ../in.pcx /dev/stdout | cat > piped.bmp' "$vt"; }
files() { ls -A | LC_ALL=C sort | tr '\n' ' '; }
le32() { local v=$1; printf "$(printf '\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))"; }
pbmmake -g 30 20 | ppmtopcx > in.pcx 2>/dev/null
"$vt" pcx2bmp in.pcx want.bmp && echo entry > readme && "$vt" pack readme.dat readme || exit 1
{ le32 2; printf VBL00000.TMP; le32 44; le32 3; printf VBL00001.TMP; le32 47; le32 3; printf onetwo; } > scratch.dat
# A picture whose BMP fits in 250 MB of address space but whose PNG does not.
python3 -c 'import sys; w = 8000; o = sys.stdout.buffer
o.write(bytes([10, 5, 1, 8, 0, 0, 0, 0]) + (w - 1).to_bytes(2, "little") * 2 + bytes(53) + b"\1" + w.to_bytes(2, "little") + bytes(60))
o.write((b"\xff\0" * 126 + b"\xfe\0") * w + b"\x0c" + bytes(768))' > huge.pcx
[ "$(id -u)" = 0 ] || echo "skip  the device node case: it needs root (mknod)"
grep -qa __asan_init "$vt" && echo "skip  out of memory: the address space limit stops the sanitizers"
# The faults build's VBLTOOL_FAULT kinds are listed in tests/support/file_faults_posix.cpp.
# Each row runs in a fresh folder c/ that an unprivileged user may write:
# what | needs (root, plain) | setup | command | exit status | check
while IFS='|' read -r what needs setup cmd status check; do
  [ "$needs" = root ] && [ "$(id -u)" != 0 ] && continue
  [ "$needs" = plain ] && grep -qa __asan_init "$vt" && continue
  rm -rf c fifo.bmp && mkdir c && chmod 777 c && cd c || exit 1
  eval "$setup"
  expect "$status" "$what" eval "$cmd"
  eval "$check" || fail "$what: left $(files), said $(cat err.txt)"
  wait
  cd ..
done <<'TABLE'
a new out.bmp beside OUT.BMP||echo mine > OUT.BMP|"$vt" pcx2bmp ../in.pcx out.bmp|0|[ "$(cat OUT.BMP)" = mine ] && cmp -s out.bmp ../want.bmp
unpack readme beside README||echo mine > README|"$vt" unpack ../readme.dat .|0|[ "$(cat README)" = mine ] && [ "$(cat readme)" = entry ]
unpack --force over readme beside README||echo mine > README; echo old > readme|"$vt" unpack ../readme.dat . --force|0|[ "$(cat README)" = mine ] && [ "$(files)" = "README err.txt out.txt readme " ] && [ "$(cat readme)" = entry ]
a FIFO with a reader||mkfifo out.bmp; timeout 10 cat out.bmp > ../fifo.bmp &|timeout 20 "$vt" pcx2bmp ../in.pcx out.bmp|0|wait; [ -p out.bmp ] && cmp -s ../fifo.bmp ../want.bmp
a device node|root|mknod null c 1 3|"$vt" pcx2bmp ../in.pcx null|0|[ -c null ] && [ "$(files)" = "err.txt null out.txt " ]
/dev/stdout into a pipe, as a user||:|through_pipe|0|cmp -s piped.bmp ../want.bmp
/dev/stdout into a file, as a user||touch out.txt; chmod 666 out.txt|as_user "$vt" pcx2bmp ../in.pcx /dev/stdout|0|cmp -s out.txt ../want.bmp && [ "$(files)" = "err.txt out.txt " ]
a read-only file, as a user||echo mine > ro.bmp; chmod 444 ro.bmp|as_user "$vt" pcx2bmp ../in.pcx ro.bmp|1|[ "$(cat ro.bmp)" = mine ] && [ "$(cat err.txt)" = "vbltool: ro.bmp: is read-only; it is not replaced" ]
a file's permission bits||echo mine > p.bmp; chmod 640 p.bmp|"$vt" pcx2bmp ../in.pcx p.bmp|0|[ "$(stat -c %a p.bmp)" = 640 ] && cmp -s p.bmp ../want.bmp
unpack --force onto a FIFO||mkfifo readme|"$vt" unpack ../readme.dat . --force|1|[ -p readme ] && [ "$(files)" = "err.txt out.txt readme " ]
unpack --force onto a read-only file, as a user||echo mine > readme; chmod 444 readme|as_user "$vt" unpack ../readme.dat . --force|1|[ "$(cat readme)" = mine ] && [ "$(files)" = "err.txt out.txt readme " ]
entries and an output named like scratch files||:|"$vt" unpack ../scratch.dat d && "$vt" pcx2bmp ../in.pcx d/VBL00002.TMP|0|[ "$(cat d/VBL00000.TMP)$(cat d/VBL00001.TMP)" = onetwo ] && cmp -s d/VBL00002.TMP ../want.bmp && [ "$(cd d && files)" = "VBL00000.TMP VBL00001.TMP VBL00002.TMP " ]
the author's own scratch-named files||echo a > VBL00000.TMP; echo b > vbl00002.tmp; echo old > readme|"$vt" unpack ../readme.dat . --force|0|[ "$(cat VBL00000.TMP)$(cat vbl00002.tmp)$(cat readme)" = abentry ] && [ "$(files)" = "VBL00000.TMP err.txt out.txt readme vbl00002.tmp " ]
no no-replace rename (NFS, 9p)||:|VBLTOOL_FAULT=nfs:1 "$fa" pcx2bmp ../in.pcx new.bmp && VBLTOOL_FAULT=nfs:1 "$fa" unpack ../scratch.dat d|0|cmp -s new.bmp ../want.bmp && [ "$(cd d && files)" = "VBL00000.TMP VBL00001.TMP " ]
no no-replace rename, a file appearing||:|VBLTOOL_FAULT=nfs:2 "$fa" pcx2bmp ../in.pcx new.bmp|1|[ "$(cat new.bmp)" = appeared ] && [ "$(files)" = "err.txt new.bmp out.txt " ]
files held for a moment, and for good||echo mine > held.bmp; echo mine > kept.bmp|VBLTOOL_FAULT=busy:1000 "$fa" pcx2bmp ../in.pcx kept.bmp; VBLTOOL_FAULT=busy:3 "$fa" pcx2bmp ../in.pcx held.bmp|0|cmp -s held.bmp ../want.bmp && [ "$(cat kept.bmp)" = mine ] && [ "$(files)" = "err.txt held.bmp kept.bmp out.txt " ]
a file held for one try fewer than vbltool makes, and for as many||echo mine > held.bmp; echo mine > kept.bmp|VBLTOOL_FAULT=busy:19 "$fa" pcx2bmp ../in.pcx held.bmp && ! VBLTOOL_FAULT=busy:20 "$fa" pcx2bmp ../in.pcx kept.bmp|0|cmp -s held.bmp ../want.bmp && [ "$(cat kept.bmp)" = mine ] && [ "$(cat err.txt)" = "vbltool: kept.bmp: another program is using it" ] && [ "$(files)" = "err.txt held.bmp kept.bmp out.txt " ]
out of memory|plain|:|(ulimit -v 250000; "$vt" pcx2bmp ../huge.pcx huge.png)|1|[ "$(cat err.txt)" = "vbltool: out of memory" ] && [ "$(files)" = "err.txt out.txt " ]
no no-replace rename, no hard links (VirtualBox shared folders)||:|VBLTOOL_FAULT=nfs:1,nolink:1 "$fa" pcx2bmp ../in.pcx new.bmp && VBLTOOL_FAULT=nfs:1,nolink:1 "$fa" unpack ../scratch.dat d|0|cmp -s new.bmp ../want.bmp && [ "$(cd d && files)" = "VBL00000.TMP VBL00001.TMP " ]
a link to a file that does not exist yet||mkdir sub; ln -s sub/new.bmp out.bmp|"$vt" pcx2bmp ../in.pcx out.bmp|0|[ -L out.bmp ] && cmp -s sub/new.bmp ../want.bmp && [ "$(cd sub && files)" = "new.bmp " ]
a link to a file in a folder that does not exist||ln -s nodir/new.bmp out.bmp|"$vt" pcx2bmp ../in.pcx out.bmp|1|[ -L out.bmp ] && [ "$(cat err.txt)" = "vbltool: out.bmp: the folder 'nodir' does not exist" ]
a link that leads back to itself||ln -s out.bmp out.bmp|"$vt" pcx2bmp ../in.pcx out.bmp|1|[ -L out.bmp ] && [ "$(cat err.txt)" = "vbltool: out.bmp: is a link that leads back to itself" ]
/dev/stdout with standard output closed, as a user||:|as_user "$vt" pcx2bmp ../in.pcx /dev/stdout >&-|1|[ "$(cat err.txt)" = "vbltool: /dev/stdout: names standard output, which is closed" ]
a link to standard output, closed||ln -s /proc/self/fd/1 out.bmp|"$vt" pcx2bmp ../in.pcx out.bmp >&-|1|[ -L out.bmp ] && [ "$(files)" = "err.txt out.bmp out.txt " ] && grep -q "names standard output, which is closed" err.txt
a FIFO swapped for a link at the open||mkfifo out.bmp; echo "the author's text, kept whole" > swapped|VBLTOOL_FAULT=swap:1 "$fa" pcx2bmp ../in.pcx out.bmp|1|[ "$(cat swapped)" = "the author's text, kept whole" ] && grep -q "was replaced by another file while it was opened" err.txt
private until placed: the mode at each write||echo secret > p.bmp; chmod 600 p.bmp|VBLTOOL_FAULT=private:1 "$fa" pcx2bmp ../in.pcx p.bmp && VBLTOOL_FAULT=private:1 "$fa" pcx2bmp ../in.pcx new.bmp && VBLTOOL_FAULT=private:1 "$fa" unpack ../readme.dat d|0|cmp -s p.bmp ../want.bmp && [ "$(stat -c %a p.bmp new.bmp d/readme | tr '\n' ' ')" = "600 644 644 " ]
as root, a file of another user|root|echo mine > o.bmp; chown 65534:65534 o.bmp; chmod 640 o.bmp|"$vt" pcx2bmp ../in.pcx o.bmp|0|cmp -s o.bmp ../want.bmp && [ "$(stat -c %u:%g:%a o.bmp)" = 65534:65534:640 ]
a group the user is not in, as a user|root|echo mine > g.bmp; chown 65534:0 g.bmp; chmod 660 g.bmp|as_user "$vt" pcx2bmp ../in.pcx g.bmp|0|cmp -s g.bmp ../want.bmp && [ "$(stat -c %a g.bmp)" = 600 ]
unpack out of memory after a scratch file is made|plain|:|VBLTOOL_FAULT=alloc:65536,leaks:1 "$fa" unpack ../readme.dat d|1|grep -q "vbltool: d: out of memory" err.txt && ! grep -q "left open" err.txt && [ "$(files)" = "err.txt out.txt " ]
an output in a folder that does not exist||:|"$vt" pcx2bmp ../in.pcx nodir/out.bmp|1|[ "$(cat err.txt)" = "vbltool: nodir/out.bmp: the folder 'nodir' does not exist" ]
a name too long, for output and input||:|"$vt" pcx2bmp ../in.pcx $(printf %0300d 0).bmp; "$vt" pcx2bmp $(printf %0300d 0).pcx out.bmp|1|[ "$(grep -c '^vbltool: 0*\.[bp][mc][px]: the path is too long$' err.txt)" = 2 ] && [ "$(files)" = "err.txt out.txt " ]
TABLE

echo "$failures failures"
[ $failures = 0 ]
