#!/usr/bin/env bash
# Line and branch coverage of the portable code (src/preview, src/vbltool,
# src/launcher, src/catalogue) by the native tests. Run by hand, like the
# mutation check (a few minutes): builds the native preset with gcov in a
# folder of its own (build/coverage), runs every native test there and prints,
# per file, the lines and branches reached, then each line not reached with
# why it is not (tools/coverage-reasons.txt), and the portable folders' files
# that only the Windows programs build.
# Usage: tools/coverage.sh [--html]   (--html: also build/coverage/html/index.html)
# Exits 1 when the build or a test fails, fewer than 97 % of the lines are
# reached, or a line not reached has no reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/coverage
dirs=(src/preview src/vbltool src/launcher src/catalogue)
command -v gcovr >/dev/null || { echo "missing gcovr (Debian package gcovr: tools/install-deps.sh)"; exit 1; }

flags="--coverage -O0 -g"
cmake --preset native -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j2 >/dev/null || { cmake --build "$build" -j1 | tail -30; exit 1; }
# The write test runs vbltool as an unprivileged user too: every count file
# starts empty and writable by all, so that its runs count and say nothing.
find "$build" -name '*.gcda' -delete
find "$build" -name '*.gcno' -exec sh -c 'for f; do : > "${f%.gcno}.gcda"; chmod 666 "${f%.gcno}.gcda"; done' sh {} +
status=0
ctest --test-dir "$build" -j2 --output-on-failure --no-tests=error | tail -15 || status=1
find "$build" -name '*.gcda' -empty -delete  # objects no test ran

filters=()
for d in "${dirs[@]}"; do filters+=(--filter "$d/"); done
gcovr_args=(-r "$root" --object-directory "$build" "${filters[@]}" --exclude-throw-branches
  --exclude-unreachable-branches --exclude-directories '.*/CMakeFiles/[0-9.]+' -j2)
gcovr "${gcovr_args[@]}" --sort-percentage --fail-under-line 97 || status=1
gcovr "${gcovr_args[@]}" --branches --sort-percentage | tail -n +6
if [ "${1:-}" = --html ]; then
  mkdir -p "$build/html" && gcovr "${gcovr_args[@]}" --html-details "$build/html/index.html"
fi

# Each stretch of lines not reached (no line reached between them), with its
# reason: the first row of coverage-reasons.txt whose file and pattern match
# one of its lines or the line just above it.
gcovr "${gcovr_args[@]}" --json "$build/coverage.json"
python3 - "$build/coverage.json" "$root/tools/coverage-reasons.txt" <<'PY' || status=1
import json, re, sys
data = json.load(open(sys.argv[1]))
reasons = []
for raw in open(sys.argv[2], encoding='utf-8'):
    if raw.strip() and not raw.startswith('#'):
        name, pattern, why = raw.rstrip('\n').split('|', 2)
        reasons.append((name, re.compile(pattern), why))
unexplained = 0
print('\nLines not reached, and why:')
for entry in sorted(data['files'], key=lambda e: e['file']):
    source = open(entry['file'], encoding='utf-8').read().split('\n')
    stretches, current = [], []
    for line in sorted(entry['lines'], key=lambda l: l['line_number']):
        if line.get('gcovr/noncode'):
            continue
        if line['count']:
            current = []
        else:
            if not current:
                stretches.append(current)
            current.append(line['line_number'])
    for numbers in stretches:
        texts = [source[n - 1].strip() for n in numbers]
        tested = [source[numbers[0] - 2].strip()] + texts  # with the condition just above
        why = next((w for n, p, w in reasons if entry['file'].endswith(n) and any(p.search(t) for t in tested)), None)
        if why is None:
            unexplained += 1
            why = 'NO REASON: test it, or say in tools/coverage-reasons.txt why it cannot be'
        where = '%d' % numbers[0] if len(numbers) == 1 else '%d-%d' % (numbers[0], numbers[-1])
        print('  %s:%s: %s\n      %s' % (entry['file'], where, texts[0][:90], why))
sys.exit(1 if unexplained else 0)
PY
echo
echo "Windows only (built into the Windows programs and tested there, under Wine):"
for d in "${dirs[@]}"; do
  for f in "$d"/*.cpp; do
    [ -n "$(find "$build" -name "$(basename "$f").gcno" -print -quit)" ] || echo "  $f"
  done
done
exit $status
