#!/usr/bin/env python3
"""Mutation check: every fault in faults.txt must make its test fail.

Usage: tests/mutation/run.py [--scratch DIR] [--only WORD[,WORD...]]

Makes a scratch folder hold exactly the checkout's files (tracked and
untracked, not ignored ones, not build/; what was deleted in the checkout
goes from it too), builds the native preset there once and runs every test
that faults.txt names, unmutated: each must exist (a core filter: each of its
patterns must match a test) and pass, or the run stops and names it. Then for
each fault: replaces the one line in the copy, rebuilds what the named test
runs, runs that test only and puts the line back. A fault is caught when the
test fails. The scratch folder (default build/mutation in the checkout) is
kept, so that the next run copies only what changed and rebuilds
incrementally.

Prints one line per fault and a count; exits 1 when a fault survived, its
line was not found exactly once (the code moved: mend faults.txt), or the
faulty code did not build; exits 2 when the baseline fails."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TEST_TIMEOUT = 600

# What each test runs, built before it runs (the preset's other targets are
# left alone, so that a fault rebuilds only what its test needs).
TARGETS = {
    'core': ['vbl_core_tests'],
    'diff_pcxtoppm': ['vbltool', 'bmp_pnm_compare'],
    'vbltool_cli': ['vbltool', 'vbltool_faults'],
    'vbltool_picture': ['vbltool'],
    'vbltool_write': ['vbltool', 'vbltool_faults'],
    'picture_intake': ['vbltool'],
}


def read_faults(path):
    """The blocks of faults.txt as dicts of file, line, into, test."""
    faults, block = [], {}
    with open(path, encoding='utf-8') as f:
        for number, raw in enumerate(f, 1):
            text = raw.rstrip('\n')
            if text.startswith('#'):
                continue
            if not text.strip():
                if block:
                    faults.append(block)
                block = {}
                continue
            key, sep, value = text.partition(': ')
            if not sep or key not in ('file', 'line', 'into', 'test'):
                sys.exit('%s:%d: expected "file: ", "line: ", "into: " or "test: "' % (path, number))
            block.setdefault('at', number)
            block[key] = value
    if block:
        faults.append(block)
    for fault in faults:
        missing = [k for k in ('file', 'line', 'into', 'test') if k not in fault]
        if missing:
            sys.exit('%s:%d: the fault lacks %s' % (path, fault['at'], ', '.join(missing)))
    return faults


def copy_tree(scratch):
    """Makes scratch hold the checkout's files and nothing else (its own build/
    aside), leaving files that are already the same untouched (their times
    too, so that nothing rebuilds for them); a file copied is dated now."""
    listed = subprocess.run(['git', 'ls-files', '-z', '--cached', '--others', '--exclude-standard'], cwd=ROOT,
                            check=True, capture_output=True).stdout.decode().split('\0')
    # A file deleted in the working tree is still listed while git tracks it.
    present = {name for name in listed if name and os.path.isfile(os.path.join(ROOT, name))}
    folders = []
    for folder, subfolders, files in os.walk(scratch):
        relative = os.path.relpath(folder, scratch)
        if relative == '.':
            subfolders[:] = [name for name in subfolders if name != 'build']  # the scratch build's own
        else:
            folders.append(folder)
        for name in files:
            if os.path.normpath(os.path.join(relative, name)) not in present:
                os.remove(os.path.join(folder, name))
    for folder in reversed(folders):  # the deepest first
        if not os.listdir(folder):
            os.rmdir(folder)
    for name in sorted(present):
        src, dst = os.path.join(ROOT, name), os.path.join(scratch, name)
        if os.path.isfile(dst):
            with open(src, 'rb') as a, open(dst, 'rb') as b:
                if a.read() == b.read():
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        # A fresh time, not the checkout's: a copy left mutated by a run that
        # was stopped is newer than its object files, and the checkout's older
        # time would let the build keep them.
        shutil.copyfile(src, dst)
        shutil.copymode(src, dst)


def run(cmd, cwd, timeout=None):
    try:
        done = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        return done.returncode, done.stdout.decode(errors='replace')
    except subprocess.TimeoutExpired:
        return 'timeout', ''


def core_binary(tree):
    return os.path.join(tree, 'build', 'native', 'tests', 'core', 'vbl_core_tests')


def unmatched(tree, test):
    """What of a test's name or core filter matches no test of the scratch
    build: a list of those names or patterns, empty when all match."""
    name, _, gtest_filter = test.partition(':')
    rc, out = run(['ctest', '--preset', 'native', '-N', '-R', '^%s$' % re.escape(name)], tree)
    if rc != 0 or 'Total Tests: 1\n' not in out:
        return [name]
    if name != 'core' or not gtest_filter:
        return []
    missing = []
    for pattern in filter(None, gtest_filter.partition('-')[0].split(':')):
        rc, out = run([core_binary(tree), '--gtest_list_tests', '--gtest_filter=' + pattern], tree)
        if rc != 0 or not any(line.startswith('  ') for line in out.splitlines()):
            missing.append(pattern)
    return missing


def run_test(tree, test):
    """Runs one test of the scratch build; True when it fails."""
    name, _, gtest_filter = test.partition(':')
    if name == 'core' and gtest_filter:
        binary = core_binary(tree)
        rc, _ = run([binary, '--gtest_filter=' + gtest_filter], os.path.dirname(binary), TEST_TIMEOUT)
    else:
        rc, _ = run(['ctest', '--preset', 'native', '-R', '^%s$' % re.escape(name)], tree, TEST_TIMEOUT)
    return rc != 0


def baseline(tree, tests):
    """Runs each test unmutated (all at once, then one by one to name what
    failed); exits naming those that match nothing or fail."""
    missing = {t: unmatched(tree, t) for t in sorted(tests)}
    wrong = ['%s: no test matches %s' % (t, ', '.join(m)) for t, m in missing.items() if m]
    if not wrong:
        names = sorted({t.partition(':')[0] for t in tests if not t.startswith('core:')})
        filters = [t.partition(':')[2] for t in tests if t.startswith('core:')]
        plain = [f for f in filters if '-' not in f]  # those with negative patterns run alone
        rc, _ = run(['ctest', '--preset', 'native', '-j2', '-R', '^(%s)$' % '|'.join(map(re.escape, names))], tree,
                    TEST_TIMEOUT) if names else (0, '')
        if (rc != 0 or (plain and run_test(tree, 'core:' + ':'.join(plain))) or
                any(run_test(tree, 'core:' + f) for f in filters if '-' in f)):
            wrong = ['%s: fails without a fault' % t for t in sorted(tests) if run_test(tree, t)]
    if wrong:
        print('baseline: the faults\' tests must exist and pass unmutated:\n  ' + '\n  '.join(wrong))
        sys.exit(2)


def check_fault(tree, fault):
    """Applies the fault, builds, tests and restores; returns the verdict."""
    path = os.path.join(tree, fault['file'])
    if not os.path.isfile(path):
        return 'NOT-FOUND', 'no such file'
    with open(path, encoding='utf-8', newline='') as f:
        original = f.read()
    lines = original.split('\n')
    hits = [i for i, line in enumerate(lines) if line == fault['line']]
    if len(hits) != 1:
        return 'NOT-FOUND', 'the line is there %d times, not once: the code moved, mend faults.txt' % len(hits)
    lines[hits[0]] = fault['into']
    try:
        with open(path, 'w', encoding='utf-8', newline='') as f:
            f.write('\n'.join(lines))
        name = fault['test'].partition(':')[0]
        missing = unmatched(tree, fault['test'])
        if missing:
            return 'NO-TEST', 'no test matches ' + ', '.join(missing)
        rc, out = run(['cmake', '--build', '--preset', 'native', '-j2', '--target'] + TARGETS.get(name, ['all']), tree)
        if rc != 0:
            return 'NO-BUILD', ' '.join(l for l in out.splitlines() if 'error:' in l)[:300]
        return ('caught' if run_test(tree, fault['test']) else 'SURVIVED'), ''
    finally:
        with open(path, 'w', encoding='utf-8', newline='') as f:
            f.write(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--scratch', default=os.path.join(ROOT, 'build', 'mutation'))
    parser.add_argument('--only', help='the faults whose file or test holds one of these comma-separated words')
    args = parser.parse_args()
    faults = read_faults(os.path.join(HERE, 'faults.txt'))
    if args.only:
        words = args.only.split(',')
        faults = [f for f in faults if any(w in f['file'] or w in f['test'] for w in words)]
    start = time.time()
    tree = os.path.join(os.path.abspath(args.scratch), 'tree')
    os.makedirs(tree, exist_ok=True)
    copy_tree(tree)
    for cmd in (['cmake', '--preset', 'native'], ['cmake', '--build', '--preset', 'native', '-j2']):
        rc, out = run(cmd, tree)
        if rc != 0:
            sys.exit('%s failed in %s:\n%s' % (' '.join(cmd), tree, out[-3000:]))
    print('scratch build ready in %.0f s: %s' % (time.time() - start, tree), flush=True)
    baseline(tree, {fault['test'] for fault in faults})
    print('baseline: %d tests pass unmutated; %.0f s' % (len({f['test'] for f in faults}), time.time() - start),
          flush=True)
    verdicts = []
    for fault in faults:
        began = time.time()
        verdict, detail = check_fault(tree, fault)
        verdicts.append(verdict)
        print('%-9s faults.txt:%-4d %s: %s -> %s (%.0f s)' %
              (verdict, fault['at'], fault['file'], fault['line'].strip()[:50], fault['test'], time.time() - began),
              flush=True)
        if detail:
            print('          ' + detail, flush=True)
    caught = verdicts.count('caught')
    print('%d of %d faults caught, %d survived, %d not applied; %.0f s' %
          (caught, len(verdicts), verdicts.count('SURVIVED'), len(verdicts) - caught - verdicts.count('SURVIVED'),
           time.time() - start))
    return 0 if caught == len(verdicts) else 1


if __name__ == '__main__':
    sys.exit(main())
