#!/usr/bin/env bash
# Drawing the 2003 one-minute table (some 3.7 million rows) with `orbfeed chart`, against
# reading the same table with `orbfeed rows SYM 1 --csv > /dev/null`, in one run. See README.md.
#
# Usage: bench_chart.sh [BUILD_DIR]     (default: build/release of this repository)
# Environment: BENCH_DB       an existing store holding SYM at interval 1 (default: a fresh one
#                             filled through the real pump, which takes some 10 to 20 s)
#              BENCH_TMPDIR   folder for the fresh store and the pictures (default /tmp)
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build/release}" && pwd)
bin=$build/bin
for f in tarnwick orbfeed libORBFEED.so; do
    [[ -e $bin/$f ]] || { echo "missing $bin/$f: build a Release tree first" >&2; exit 2; }
done
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is needed for the figures" >&2; exit 2; }

source "$repo/bench/e2e/fill_store.sh"
bench_store chart-bench
export ORBFEED_DB=$db

# run NAME COMMAND...: wall seconds and peak RSS (kB) of one run, appended to $work/NAME.
run() {
    local name=$1; shift
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@"
    cat "$work/time.txt" >>"$work/$name"
}
median() { sort -n "$1" | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
peak() { sort -n -k2 "$1" | awk 'END { print $2 }'; }

rows=$("$bin/orbfeed" tables | awk '$1 == "SYM" && $2 == "1" { print $3 }')
echo "table SYM at interval 1: $rows rows in $db"
for round in 1 2 3; do
    run rows sh -c "'$bin/orbfeed' rows SYM 1 --csv > /dev/null"
    run chart "$bin/orbfeed" chart SYM 1 -o "$work/sym.png" >/dev/null
    run svg "$bin/orbfeed" chart SYM 1 -o "$work/sym.svg" >/dev/null
done
printf '%-40s %8s %10s\n' "median of 3 runs" seconds "peak kB"
printf '%-40s %8s %10s\n' "orbfeed rows SYM 1 --csv > /dev/null" "$(median "$work/rows")" "$(peak "$work/rows")"
printf '%-40s %8s %10s\n' "orbfeed chart SYM 1 (PNG, 1200 x 700)" "$(median "$work/chart")" "$(peak "$work/chart")"
printf '%-40s %8s %10s\n' "orbfeed chart SYM 1 -o sym.svg" "$(median "$work/svg")" "$(peak "$work/svg")"
awk -v c="$(median "$work/chart")" -v r="$(median "$work/rows")" \
    'BEGIN { printf "ratio chart / rows: %.2f (target <= 1)\n", c / r }'
