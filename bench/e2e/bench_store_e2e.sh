#!/usr/bin/env bash
# One-minute histories through the real pump and the real feed library into SQLite, against a
# plain prepared-statement insert of as many rows (store_bench). See README.md.
#
# Usage: bench_store_e2e.sh [BUILD_DIR]     (default: build/release of this repository)
# Environment: BENCH_TMPDIR  folder for the databases (default /tmp); they are removed at the end.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build/release}" && pwd)
bin=$build/bin
for f in tarnwick orbfeed libORBFEED.so store_bench; do
    [[ -e $bin/$f ]] || {
        echo "missing $bin/$f: build a Release tree with -DTARNWICK_BUILD_BENCH=ON" >&2
        exit 2
    }
done
command -v sqlite3 >/dev/null || { echo "sqlite3 is needed to count the stored rows" >&2; exit 2; }
have_time=0
[[ -x /usr/bin/time ]] && have_time=1

work=$(mktemp -d "${BENCH_TMPDIR:-/tmp}/store-e2e-XXXXXX")
runner=
cleanup() {
    if [[ -n $runner ]] && kill -0 "$runner" 2>/dev/null; then kill -TERM "$runner"; fi
    rm -rf "$work"
}
trap cleanup EXIT

# Polls a command until it succeeds, for at most $1 seconds.
source "$(dirname "$0")/../../tests/support/e2e_common.sh"

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", n / s }'; }

stored_rows() {
    sqlite3 -readonly "$1" \
        "SELECT count(*) FROM rows r JOIN tables t ON t.id = r.table_id WHERE t.symbol = 'SYM'" \
        2>/dev/null || echo 0
}

# run_history NAME START: one pump, one request of SYM at interval 1 from START, then unload.
# Sets: rows, t_final (request to the final 100), t_transfer (request to the transfer's last
# progress report), stored (rows in SQLite right after the final 100), hwm and idle (kB).
run_history() {
    local name=$1 start=$2 dir=$work/$1
    mkdir "$dir"
    local -a launch=()
    (( have_time )) && launch=(/usr/bin/time -v -o "$dir/time.txt")
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u ORBFEED_TRACE \
        ORBFEED_SOCKET="$dir/sock" ORBFEED_DB="$dir/feed.sqlite" \
        ORBFEED_USER=bench ORBFEED_PASSWORD=bench \
        "${launch[@]}" "$bin/tarnwick" >"$dir/stdout" 2>"$dir/stderr" &
    runner=$!
    local pump=$runner
    if (( have_time )); then
        wait_for 10 pgrep -P "$runner" -x tarnwick >/dev/null || { echo "pump did not start" >&2; exit 1; }
        pump=$(pgrep -P "$runner" -x tarnwick)
    fi
    wait_for 30 test -S "$dir/sock" || { echo "no socket from the pump" >&2; cat "$dir/stderr" >&2; exit 1; }
    idle=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pump/status")

    local t0 line
    t0=$(now)
    ORBFEED_SOCKET="$dir/sock" "$bin/orbfeed" request SYM --interval 1 --start "$start" 2>&1 |
        while IFS= read -r line; do echo "$EPOCHREALTIME $line"; done >"$dir/progress"
    local summary
    summary=$(tail -n 1 "$dir/progress")
    [[ $summary =~ SYM\ at\ interval\ 1:\ ([0-9]+)\ rows$ ]] || {
        echo "request failed: $summary" >&2
        exit 1
    }
    rows=${BASH_REMATCH[1]}
    t_final=$(elapsed "$t0" "$(awk 'END { print $1 }' "$dir/progress")")
    t_transfer=$(elapsed "$t0" "$(awk '$2 == "progress" { t = $1 } END { print t }' "$dir/progress")")
    # What SQLite holds once the request has ended (live rows may have added one or two).
    stored=$(stored_rows "$dir/feed.sqlite")

    hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pump/status")
    ORBFEED_SOCKET="$dir/sock" "$bin/orbfeed" unload >/dev/null
    wait "$runner" || true
    runner=
    if (( have_time )); then
        local max
        max=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
        [[ -n $max ]] && (( max > hwm )) && hwm=$max
    fi
    printf '%-10s %-10s %9d %8.3f %9s %8.3f %9s %9d %8d %8d\n' "$name" "$start" "$rows" \
        "$t_final" "$(rate "$rows" "$t_final")" "$t_transfer" "$(rate "$rows" "$t_transfer")" \
        "$stored" "$hwm" "$idle"
    rm -f "$dir/feed.sqlite" "$dir/feed.sqlite-wal" "$dir/feed.sqlite-shm"
}

echo "build: $build    databases in: $work    peak RSS from $( ((have_time)) && echo '/usr/bin/time -v and ' )VmHWM"
echo
printf '%-10s %-10s %9s %8s %9s %8s %9s %9s %8s %8s\n' history start rows 'final s' 'rows/s' \
    'xfer s' 'rows/s' 'in SQLite' 'peak kB' 'idle kB'
run_history since-2003 2003-01-01
main_rows=$rows main_final=$t_final main_transfer=$t_transfer
run_history 1-year "$(date -d '1 year ago' +%F)"
run_history 20-years "$(date -d '20 years ago' +%F)"

echo
echo "store_bench $main_rows (the plain insert and TableStore::PutRow of as many rows):"
mkdir "$work/plain"
"$bin/store_bench" "$main_rows" "$work/plain" | tee "$work/plain.txt" | sed 's/^/  /'
plain=$(awk '/^plain prepared INSERT:/ { print $(NF - 1) }' "$work/plain.txt")
echo
awk -v n="$main_rows" -v f="$main_final" -v x="$main_transfer" -v p="$plain" 'BEGIN {
    printf "plain prepared INSERT:                          %10.0f rows/s\n", p
    printf "pump -> library -> SQLite, to the final 100:    %10.0f rows/s  ratio %.3f\n", n / f, n / f / p
    printf "pump -> library -> SQLite, transfer only:       %10.0f rows/s  ratio %.3f\n", n / x, n / x / p
    printf "(target ratio >= 0.7; the final 100 comes at least 1 s after the last row by design)\n"
}'
