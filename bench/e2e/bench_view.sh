#!/usr/bin/env bash
# The chart window's redraws on the 2003 one-minute table (some 3.7 million rows): bench_view
# reads the table as `orbfeed view` does (the baseline), then zooms and pans through it, painting
# each step as the window does, and prints the times and the memory the window's timeline adds.
# See README.md.
#
# Usage: bench_view.sh [BUILD_DIR]     (default: build/release of this repository)
# Environment: BENCH_DB       an existing store holding SYM at interval 1 (default: a fresh one
#                             filled through the real pump, which takes some 10 to 20 s)
#              BENCH_TMPDIR   folder for the fresh store (default /tmp)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build/release}" && pwd)
bin=$build/bin
for f in tarnwick orbfeed libORBFEED.so bench_view; do
    [[ -e $bin/$f ]] || { echo "missing $bin/$f: build a Release tree first" >&2; exit 2; }
done

source "$repo/bench/e2e/fill_store.sh"
bench_store view-bench
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
"$bin/bench_view" "$db" SYM 1
