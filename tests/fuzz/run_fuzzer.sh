#!/usr/bin/env bash
# run_fuzzer.sh <target> <work corpus> <seed folder> <seconds>
# Fuzzes from the seeds into a corpus of the build tree. A crash leaves its
# input in the work folder; keep it under regressions/<name>/ once fixed.
set -euo pipefail
target=$1 work=$2 seeds=$3 seconds=$4
mkdir -p "$work"
dirs=("$work")
[ -d "$seeds" ] && dirs+=("$seeds")
cd "$work"
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -malloc_limit_mb=2048 \
  -print_final_stats=1 "${dirs[@]}"
