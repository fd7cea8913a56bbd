#!/usr/bin/env bash
# Runs one fuzz target for a while from its seed corpus; new inputs go to a
# scratch corpus, crashes to ARTIFACTS. Usage: smoke.sh TARGET SEEDS ARTIFACTS SECONDS
set -euo pipefail
target=$1 seeds=$2 artifacts=$3 seconds=${4:-60}
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# ASan aborts are what libFuzzer reports; leak checking stays on.
exec "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work" "$seeds"
