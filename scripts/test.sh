#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything: the formatting of every source, the
# normal build with warnings as errors and its tests, the naming rule on the core (clang-tidy),
# the address+undefined sanitizer build, the feed library and store tests under ThreadSanitizer,
# then every fuzz target for a bounded time, then the core cross-built for 32-bit Windows with its
# test suites run under Wine. Each step prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --windows
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

# Wine gets a fresh prefix of its own; its first start (~15 s) runs while the cross build does,
# and every test program then runs under that one wineserver.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1 &
boot=$!
step "windows build" bash scripts/build.sh windows
wait "$boot"
step "windows tests (Wine)" ctest --preset windows -j "$jobs"
# Windows end to end under Wine and Xvfb (skips with status 77 when Wine or the build is missing).
win_e2e() {
  local status=0
  TARNWICK_WINEPREFIX=$WINEPREFIX bash tests/win_e2e/tarnwick_win_e2e.sh build/windows/bin || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || return "$status"
}
step "windows end-to-end (Wine)" win_e2e
