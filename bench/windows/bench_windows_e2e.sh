#!/usr/bin/env bash
# The Windows figures beside the Linux ones, in one run:
#   history  the 2003 one-minute history (01/01/2003 to the feed clock) requested from the real
#            tarnwick.exe by orbfeed.exe, under Wine and Xvfb, into a do-nothing ORBFEED.DLL
#            (bench/windows/orbfeed_noop_channel.cpp) that times each transfer itself, from its
#            ORBSETUPDATA to the last row's ORBCOMMITROW (wall, and the thread's CPU time);
#            best of 3 requests.
#            Beside it: bench_history's transfer (2) on 64-bit Linux and on Windows.
#   live     one live update over 32,766 rows (bench_live), 64-bit Linux and Windows.
# Windows is the build this machine runs (scripts/wine-env.sh): the 32-bit one where 32-bit code
# runs, else the 64-bit one under wine64; TARNWICK_WINDOWS_BUILD=windows64 picks the 64-bit one
# anywhere. The output names the build.
# Prints the figures, the targets (history < 1.5 s, live update < 25 ms) and the ratios.
# Usage: bench/windows/bench_windows_e2e.sh      (exit 77 when Wine or Xvfb is missing)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/wine-env.sh
for tool in wineserver Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
choose_windows_build
preset=$windows_preset
bits=32
[[ $preset == windows ]] || bits=64
wine_for "$bits" || { echo "SKIP: no Wine for $bits-bit programs"; exit 77; }
echo "Windows figures from the $bits-bit build ($preset)"

bash scripts/build.sh release bench_history bench_live ORBFEED_noop >/dev/null
cmake --preset "$preset" -DTARNWICK_BUILD_BENCH=ON >/dev/null
cmake --build --preset "$preset" --target bench_history bench_live ORBFEED_noop \
    orbfeed_noop_channel tarnwick orbfeed >/dev/null
win=build/$preset
wine_on_path

work=$(mktemp -d)
WINEPREFIX=$work/prefix
export WINEPREFIX WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
xvfb=
pid=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work" ${wine_wrappers:+"$wine_wrappers"}
    # Leave the windows build as its preset has it (no benchmarks).
    cmake --preset "$preset" >/dev/null 2>&1 || true
}
trap cleanup EXIT
"$wine_loader" wineboot -i >/dev/null 2>&1

# ---- the benchmark programs, Linux then Windows
linux_history=$(build/release/bin/bench_history --interval-1-only)
linux_live=$(build/release/bin/bench_live)
windows_history=$("$wine_loader" $win/bin/bench_history.exe --interval-1-only | tr -d '\r')
windows_live=$("$wine_loader" $win/bin/bench_live.exe | tr -d '\r')

# ---- tarnwick.exe end to end
# An X server of our own.
fail() { echo "FAIL: $*"; exit 1; }
source tests/support/e2e_common.sh
start_xvfb 1024x768x24
# A Wine server started without this display (by the runs above) would refuse the window.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
app=$work/app
mkdir -p "$app"
cp $win/bin/tarnwick.exe $win/bin/orbfeed.exe $win/bench-noop/ORBFEED.DLL "$app"/
export TARNWICK_BENCH_TIMES="Z:${work//\//\\}\\times"
times=$work/times
: >"$times"
(cd "$app" && exec "$wine_loader" tarnwick.exe) >/dev/null 2>"$work/stderr" &
pid=$!
host() { (cd "$app" && timeout 60 "$wine_loader" orbfeed.exe "$@") >/dev/null 2>&1; }
fields="Date/Time,Open,High,Low,Close,Volume"
for run in 1 2 3; do
    # The first request also waits for the window to register its channel.
    deadline=$(( $(date +%s) + 60 ))
    until host send "HIS$run!@#History!@#Stock!@#1!@#1/1/2003!@#$fields"; do
        (( $(date +%s) < deadline )) || { echo "FAIL: tarnwick.exe took no request"; exit 1; }
        sleep 0.2
    done
    until (( $(wc -l <"$times") >= run )); do
        (( $(date +%s) < deadline )) || { echo "FAIL: no timing from the library"; exit 1; }
        sleep 0.1
    done
done
host unload || true
wait "$pid" 2>/dev/null || true
pid=

# ---- figures
row2() { sed -n 's/^  (2) .* \([0-9][0-9]*\) rows  wall *\([0-9.]*\) s  cpu *\([0-9.]*\) s .*/\1 \2 \3/p' <<<"$1"; }
live() { sed -n 's/^  Timer1_Timer.*median wall *\([0-9.]*\) ms, cpu *\([0-9.]*\) ms.*/\1 \2/p' <<<"$1"; }
read -r lrows lwall lcpu < <(row2 "$linux_history")
read -r wrows wwall wcpu < <(row2 "$windows_history")
read -r erows ewall _ < <(sort -k2 -g "$times" | head -n 1)
read -r _ _ ecpu < <(sort -k3 -g "$times" | head -n 1)
read -r llive_wall llive_cpu < <(live "$linux_live")
read -r wlive_wall _ < <(live "$windows_live")
printf '== bench_history, Linux 64-bit ==\n%s\n== bench_history, Windows %s-bit (Wine) ==\n%s\n' \
    "$linux_history" "$bits" "$windows_history"
printf '== bench_live, Linux 64-bit ==\n%s\n== bench_live, Windows %s-bit (Wine) ==\n%s\n' \
    "$linux_live" "$bits" "$windows_live"
printf '== tarnwick.exe history transfers (rows, wall s, cpu s) ==\n%s\n' "$(cat "$times")"
awk -v lr="$lrows" -v lw="$lwall" -v lc="$lcpu" -v wr="$wrows" -v ww="$wwall" -v wc="$wcpu" \
    -v er="$erows" -v ew="$ewall" -v ec="$ecpu" -v llw="$llive_wall" -v llc="$llive_cpu" -v wlw="$wlive_wall" \
    -v bits="$bits" '
BEGIN {
  printf "\nSummary (history: 2003 one-minute bars; Windows is the %s-bit build under Wine)\n", bits
  printf "  history, Linux bench_history (2):     %7.3f s wall  %7.3f s cpu  %9d rows\n", lw, lc, lr
  printf "  history, Windows bench_history (2):   %7.3f s wall  %7.3f s cpu  %9d rows\n", ww, wc, wr
  printf "  history, Windows tarnwick.exe:        %7.3f s wall  %7.3f s cpu  %9d rows  (target < 1.5 s)\n", ew, ec, er
  printf "  ratio Windows/Linux per row, wall:    bench_history %.2f  tarnwick.exe %.2f  (target <= 1.5)\n", \
         (ww / wr) / (lw / lr), (ew / er) / (lw / lr)
  printf "  ratio Windows/Linux per row, cpu:     bench_history %.2f  tarnwick.exe %.2f\n", \
         (wc / wr) / (lc / lr), (ec / er) / (lc / lr)
  printf "  live update, Linux:                   %7.3f ms wall  %7.3f ms cpu\n", llw, llc
  printf "  live update, Windows:                 %7.3f ms wall  (target < 25 ms)\n", wlw
  printf "  ratio live Windows/Linux (wall):      %.2f\n", wlw / llw
}'
