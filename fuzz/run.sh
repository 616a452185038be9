#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (address + undefined sanitizers) into build/fuzz and
# runs each for the given number of seconds (default 30) over its seed corpus in
# fuzz/corpus/<target>/. New corpus entries go to a temporary folder, never into the repository.
# Exits non-zero when a target finds a fault; the crashing input is kept in build/fuzz/findings/.
#
#   fuzz/run.sh [seconds] [target...]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
seconds="${1:-30}"
shift || true
build="${TARNWICK_FUZZ_BUILD:-$root/build/fuzz}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_numbers fuzz_dates fuzz_list_file fuzz_protocol fuzz_dispatcher)
fi

for tool in clang-14 clang++-14; do
  if ! command -v "$tool" >/dev/null; then
    echo "fuzz: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 2
  fi
done

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
CC=clang-14 CXX=clang++-14 cmake -S "$here" -B "$build" "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

work="$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT
findings="$build/findings"
mkdir -p "$findings"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
symbolizer="$(command -v llvm-symbolizer-14 || true)"
[ -z "$symbolizer" ] && [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ] && symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -n "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"

# One target's run; its log is kept in the work folder.
run_target() {
  local t=$1 dict=()
  mkdir -p "$work/$t"
  [ -f "$here/$t.dict" ] && dict=(-dict="$here/$t.dict")
  # The first folder receives new entries; the seeds are only read.
  "$build/$t" "$work/$t" "$here/corpus/$t" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=4096 \
    -print_final_stats=1 "${dict[@]}" -artifact_prefix="$findings/$t-" >"$work/$t.log" 2>&1
}

# The targets run side by side, as many at once as there are cores (TARNWICK_FUZZ_JOBS), each for
# its full time; their reports follow in the targets' order.
jobs="${TARNWICK_FUZZ_JOBS:-$(nproc)}"
declare -A pids=()
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "== $t: ${seconds}s =="
  run_target "$t" &
  pids[$t]=$!
  running=$((running + 1))
done

failed=()
for t in "${targets[@]}"; do
  if ! wait "${pids[$t]}"; then
    failed+=("$t")
    tail -n 60 "$work/$t.log" >&2
    echo "fuzz: $t found a fault; the input is in $findings/" >&2
  else
    echo "$t:"
    grep -E "^stat::number_of_executed_units|^Done" "$work/$t.log" || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: faults found by: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no faults found"
