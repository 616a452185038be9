#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything: the formatting of every source, the
# address+undefined sanitizer build with warnings as errors and every test suite, the naming rule on
# the core (clang-tidy), the feed library and store tests under ThreadSanitizer, every fuzz target
# for a bounded time, then the Windows program cross-built for 32 bits with the core's suites and
# the end-to-end suite run under Wine. Each step prints how long it took.
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
# The sanitizer build is the test build: warnings as errors, every suite under the address and
# undefined-behaviour sanitizers. (A plain debug build would compile everything a second time for
# no extra check; the one test the address sanitizer cannot run, flat memory, runs under TSan.)
step "sanitize build" bash scripts/build.sh sanitize
step "sanitize tests" ctest --preset sanitize -j "$jobs"
# clang-tidy needs only the compile commands of a configured build.
step "clang-tidy (core)" bash -c 'cmake --preset debug >/dev/null && bash scripts/check-tidy.sh'
step "tsan build" bash scripts/build.sh tsan
step "tsan tests" ctest --preset tsan -j "$jobs"
step "fuzz targets (10 s each)" bash fuzz/run.sh 10

# Wine gets a fresh prefix of its own; its first start (~15 s) runs while the cross build does,
# and every test program then runs under that one wineserver.
# A 32-bit prefix: every Windows program here is 32-bit, and the end-to-end suite needs one.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all WINEARCH=win32
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

# Installing for real: the Debian package into a private dpkg root, and the Windows installer
# under Wine and Xvfb (the 32-bit one where 32-bit code runs, else the 64-bit one under wine64).
step "debian package" bash -c 'set -eo pipefail
  deb=$(bash scripts/package-linux.sh | tail -n 1); bash tests/install/check_deb.sh "$deb"'
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then installer=(win32 build/windows/bin wine)
else installer=(win64 build/windows64/bin /usr/lib/wine/wine64); fi
step "windows installer (Wine)" bash -c 'set -eo pipefail
  setup=$(bash scripts/make-installer.sh "$1" | tail -n 1); bash tests/install/check_installer.sh "$setup" "$2" "$3"' \
  _ "${installer[@]}"
