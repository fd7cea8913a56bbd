#!/usr/bin/env python3
"""Checks that NOTICES.txt names every library linked into the programs:
usage check_notices.py NOTICES.txt PROGRAM.map...

Each PROGRAM.map is the linker's map of one program (-Wl,-Map). Every archive
that the link took a member from, and every object it loaded whole, from
outside the build folder (the toolchain's runtimes: the link names them by
absolute paths, ours relative to the build folder) must be named in
NOTICES.txt by its file name, e.g. libpthread.a.

One kind is covered by a single line instead: an archive of which the link
took only import stubs, members that each add an .idata$ section (an entry
of the program's import table, with the jump to it) and nothing else of
their own. Such an archive, e.g. libkernel32.a, only describes a DLL that
Windows provides; check_product.py confines the import table to Windows's
own DLLs. libmsvcrt.a is not one: besides its stubs it gives runtime code."""
import os
import re
import sys

IMPORT_LIBRARIES_LINE = 'Import libraries of Windows DLLs'
# "archive(member)" at the start of a line of the map's first part.
TAKEN = re.compile(r'^(\S[^(\n]*)\(([^)\n]+)\)', re.M)
IMPORT_STUB = re.compile(r'^ \.idata\$\d+\s+0x[0-9a-f]+\s+0x[0-9a-f]+ (.+)$', re.M)
LOADED_OBJECT = re.compile(r'^LOAD (.+\.o)$', re.M)


def linked_libraries(map_text):
    """(archives and objects from outside the build folder, import libraries)"""
    head, found, rest = map_text.partition('\nDiscarded input sections')
    if not head.startswith('Archive member included') or not found:
        return None
    stubs = set(IMPORT_STUB.findall(rest))
    members = {}
    for archive, member in TAKEN.findall(head):
        if os.path.isabs(archive):
            members.setdefault(archive, []).append('%s(%s)' % (archive, member))
    named = {os.path.basename(path) for path in LOADED_OBJECT.findall(rest) if os.path.isabs(path)}
    imports = set()
    for archive, taken in members.items():
        (imports if all(m in stubs for m in taken) else named).add(os.path.basename(archive))
    return named, imports


def names(text, name):
    return re.search(r'(?<![\w.+-])%s(?![\w.+-])' % re.escape(name), text) is not None


def main(notices_path, *maps):
    with open(notices_path, encoding='utf-8') as f:
        notices = f.read()
    failures = []
    for path in maps:
        try:
            with open(path, encoding='utf-8', errors='replace') as f:
                found = linked_libraries(f.read())
        except OSError as e:
            failures.append('%s: %s' % (path, e.strerror))
            continue
        if not found or not found[0]:
            failures.append('%s: no library from the toolchain in it: not the map of a MinGW-w64 link' % path)
            continue
        named, imports = found
        print('%s: %s; import libraries: %s' % (os.path.basename(path), ' '.join(sorted(named)),
                                                 ' '.join(sorted(imports)) or '-'))
        failures += ['%s: %s is linked in but %s does not name it' % (path, name, notices_path)
                     for name in sorted(named) if not names(notices, name)]
        if imports and IMPORT_LIBRARIES_LINE not in notices:
            failures.append('%s: import libraries (%s) are linked in but %s has no line "%s"'
                            % (path, ' '.join(sorted(imports)), notices_path, IMPORT_LIBRARIES_LINE))
    for failure in failures:
        print('check_notices: ' + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
