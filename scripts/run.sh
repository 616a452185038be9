#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the pump, requests a one-minute history
# of the last 30 days with a progress bar, shows what landed in the store, follows live rows for a
# few seconds, unloads the pump and draws the table it requested.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh release tarnwick ORBFEED orbfeed
bin=build/release/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: the pump's window is drawn off screen (QT_QPA_PLATFORM=offscreen)."
  export QT_QPA_PLATFORM=offscreen
fi

work=$(mktemp -d)
export ORBFEED_SOCKET="$work/orbfeed.sock"
export ORBFEED_DB="${ORBFEED_DB:-$work/feed.sqlite}"
export ORBFEED_USER="${ORBFEED_USER:-demo}" ORBFEED_PASSWORD="${ORBFEED_PASSWORD:-secret}"

echo "Starting the pump: $bin/tarnwick (store: $ORBFEED_DB)"
"$bin/tarnwick" &
pump=$!
trap 'kill "$pump" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [ -S "$ORBFEED_SOCKET" ] && break; sleep 0.1; done

symbol=${1:-DEMO}
echo "Requesting one-minute bars of $symbol for the last 30 days:"
"$bin/orbfeed" request "$symbol" --interval 1
echo
echo "Tables in the store:"
"$bin/orbfeed" tables
echo
echo "The last five rows:"
"$bin/orbfeed" rows "$symbol" 1 --last 5
echo
echo "Live rows for five seconds:"
timeout -s INT 5 "$bin/orbfeed" rows "$symbol" 1 --last 1 --follow || true
echo
"$bin/orbfeed" unload
wait "$pump" || true
trap - EXIT
echo "The pump has gone; the store stays at $ORBFEED_DB"
echo
picture="$work/$symbol-1.png"
"$bin/orbfeed" chart "$symbol" 1 -o "$picture"
echo "The picture of $symbol at interval 1 is at $picture"
