#!/usr/bin/env python3
"""Writes a release zip: usage pack_release.py OUT.zip VERSION NAME=FILE...

Each FILE goes to the zip's root under NAME, in the order given, dated at
SOURCE_DATE_EPOCH (the commit's time) and with fixed attributes, so that the
same files always give the same zip. Text files (NAME ending in .txt) are
read as UTF-8, have @VERSION@ replaced by VERSION and are written in
Windows-1252 with CRLF line ends, which every Windows editor shows right; a
character that Windows-1252 lacks is an error, not a question mark."""
import os
import sys
import time
import zipfile


def windows_text(path, version):
    with open(path, encoding='utf-8', newline='') as f:
        text = f.read()
    if '\r' in text:
        sys.exit('%s: carriage return in the source; it is written with LF line ends' % path)
    return text.replace('@VERSION@', version).replace('\n', '\r\n').encode('cp1252')


def main(out, version, *entries):
    # Zip times are local times from 1980 on; the commit's UTC time stands for it.
    if 'SOURCE_DATE_EPOCH' not in os.environ:
        sys.exit('pack_release.py: SOURCE_DATE_EPOCH is not set')
    stamp = max(time.gmtime(int(os.environ['SOURCE_DATE_EPOCH']))[:6], (1980, 1, 1, 0, 0, 0))
    with zipfile.ZipFile(out, 'w') as archive:
        for entry in entries:
            name, _, path = entry.partition('=')
            if name.endswith('.txt'):
                data = windows_text(path, version)
            else:
                with open(path, 'rb') as f:
                    data = f.read()
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 0  # MS-DOS attributes, as on the players' systems
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE: a plain file
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


if __name__ == '__main__':
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
