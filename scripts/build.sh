#!/usr/bin/env bash
# Configures and builds one preset (debug, release, sanitize, or windows: the core and its tests
# cross-built for 32-bit Windows): scripts/build.sh PRESET [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}
shift || true
extra=()
if [ "${CI:-}" = "true" ] || [ "${TARNWICK_WERROR:-}" = "1" ]; then extra+=(-DTARNWICK_WERROR=ON); fi
cmake --preset "$preset" "${extra[@]}" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
