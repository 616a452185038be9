#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build with warnings as
# errors, then the address+undefined sanitizer build, then every fuzz target for a bounded time,
# then the core cross-built for 32-bit Windows with its test suites run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --windows
export TARNWICK_WERROR=1
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
for preset in debug sanitize; do
  echo "== $preset build =="
  bash scripts/build.sh "$preset"
  echo "== $preset tests =="
  ctest --preset "$preset" -j "$jobs"
done
echo "== fuzz targets (15 s each) =="
bash fuzz/run.sh 15

# Wine gets a fresh prefix of its own; its first start (~15 s) runs while the cross build does,
# and every test program then runs under that one wineserver.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1 &
boot=$!
echo "== windows build =="
bash scripts/build.sh windows
wait "$boot"
echo "== windows tests (Wine) =="
ctest --preset windows -j "$jobs"
# Windows end to end under Wine and Xvfb (skips with status 77 when Wine or the build is missing).
if [ -f build/windows/bin/tarnwick.exe ]; then
  echo "== Windows end-to-end (Wine) =="
  status=0; TARNWICK_WINEPREFIX=$WINEPREFIX bash tests/win_e2e/tarnwick_win_e2e.sh build/windows/bin || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
fi
