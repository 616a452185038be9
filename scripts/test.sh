#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build with warnings as
# errors, then the address+undefined sanitizer build, then every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
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
# Windows end to end under Wine and Xvfb (skips with status 77 when Wine or the build is missing).
if [ -f build/windows/bin/tarnwick.exe ]; then
  echo "== Windows end-to-end (Wine) =="
  status=0; bash tests/win_e2e/tarnwick_win_e2e.sh build/windows/bin || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
fi
