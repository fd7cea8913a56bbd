#!/usr/bin/env bash
# Runs one fuzz target for a while from its corpora; new inputs go to a
# scratch corpus, crashes to ARTIFACTS. FLAGS (such as -dict=FILE) go to
# libFuzzer as they stand.
# Usage: smoke.sh TARGET ARTIFACTS SECONDS [-FLAG...] CORPUS_DIR...
set -euo pipefail
target=$1 artifacts=$2 seconds=$3
shift 3
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# ASan aborts are what libFuzzer reports; leak checking stays on. Not exec'd,
# so that the scratch corpus is removed.
"$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work" "$@"
