#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything: the formatting of every source, the
# normal build with warnings as errors and its tests, the naming rule on the core (clang-tidy),
# the address+undefined sanitizer build, the feed library and store tests under ThreadSanitizer,
# then every fuzz target for a bounded time. Each step prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export TARNWICK_WERROR=1
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
step() {
  local name=$1
  shift
  echo "== $name =="
  local start=$SECONDS
  "$@"
  echo "== $name: $((SECONDS - start)) s =="
}
step "format check" bash scripts/check-format.sh
step "debug build" bash scripts/build.sh debug
step "debug tests" ctest --preset debug -j "$jobs"
step "clang-tidy (core)" bash scripts/check-tidy.sh
step "sanitize build" bash scripts/build.sh sanitize
step "sanitize tests" ctest --preset sanitize -j "$jobs"
step "tsan build" bash scripts/build.sh tsan
step "tsan tests" ctest --preset tsan -j "$jobs"
step "fuzz targets (15 s each)" bash fuzz/run.sh 15
