#!/usr/bin/env bash
# The history transfer benchmark (one-minute bars from 01/01/2003 into a library that does
# nothing) built twice, 64-bit Linux (release preset) and Windows (run under Wine), and run one
# after the other; prints both figures and the ratio. Windows is the build this machine runs
# (scripts/wine-env.sh): the 32-bit one (preset windows) where 32-bit code runs, else the 64-bit
# one (windows64) under wine64; TARNWICK_WINDOWS_BUILD=windows64 picks the 64-bit one anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
choose_windows_build
preset=$windows_preset
bits=32
[[ $preset == windows ]] || bits=64
wine_for "$bits"
bash scripts/build.sh release bench_history ORBFEED_noop >/dev/null
cmake --preset "$preset" -DTARNWICK_BUILD_BENCH=ON >/dev/null
cmake --build --preset "$preset" --target bench_history ORBFEED_noop >/dev/null

WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
# Leave the Windows build as its preset has it (no benchmarks).
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; cmake --preset "$preset" >/dev/null' EXIT
"$wine_loader" wineboot -i >/dev/null 2>&1

linux=$(build/release/bin/bench_history --interval-1-only)
windows=$("$wine_loader" "build/$preset/bin/bench_history.exe" --interval-1-only | tr -d '\r')
printf '== Linux, 64-bit ==\n%s\n== Windows, %s-bit (%s), under Wine ==\n%s\n' "$linux" "$bits" \
    "$preset" "$windows"

# CPU seconds of row (2), the transfer through the binding.
cpu() { sed -n 's/^  (2) .* cpu *\([0-9.]*\) s .*/\1/p' <<<"$1"; }
rows() { sed -n 's/^  (2) .* \([0-9][0-9]*\) rows .*/\1/p' <<<"$1"; }
awk -v lc="$(cpu "$linux")" -v lr="$(rows "$linux")" -v wc="$(cpu "$windows")" \
    -v wr="$(rows "$windows")" -v bits="$bits" 'BEGIN {
  printf "\nHistory transfer, 2003 one-minute bars (cpu time, best of 3)\n"
  printf "  Linux 64-bit:            %8.3f s  %6.2f million rows/s\n", lc, lr / lc / 1e6
  printf "  Windows %s-bit (Wine):   %8.3f s  %6.2f million rows/s\n", bits, wc, wr / wc / 1e6
  printf "  ratio Windows/Linux per row: %.2f  (target <= 1.5)\n", (wc / wr) / (lc / lr)
}'
