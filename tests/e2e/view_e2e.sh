#!/usr/bin/env bash
# End to end: `orbfeed view` under Xvfb on a table that a running pump fills, with real input.
# Without a display the command refuses in one line; on one, the window opens on the whole table,
# the wheel zooms it to a finer period, a drag pans it, it follows the live rows (its picture
# changes, its memory stays steady), Escape closes it with status 0, and the pump and its store
# carry on untouched.
# Usage: view_e2e.sh BIN_DIR [FOLLOW_SECONDS] [SHOT_DIR]
#   FOLLOW_SECONDS  how long the window follows the live rows (default 6)
#   SHOT_DIR        where the screenshots are kept (default: removed with the work folder)
# Exit status 77 means Xvfb, xdotool, ImageMagick's import or a built piece is missing.
set -u
bin=$(cd "$1" && pwd)
follow=${2:-6}
for tool in Xvfb xdotool import compare; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
for f in tarnwick orbfeed libORBFEED.so; do
    [[ -e $bin/$f ]] || { echo "SKIP: $bin/$f not built"; exit 77; }
done
# In a sanitizer build, fontconfig's data kept by Qt until exit is not reported as a leak.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work=$(mktemp -d)
shots=${3:-$work}
mkdir -p "$shots"
pump= xvfb= view=
cleanup() {
    local p
    for p in $view $pump $xvfb; do
        if kill -0 "$p" 2>/dev/null; then kill -TERM "$p"; fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for f in view.err pump.err xvfb.log; do
        [[ -s $work/$f ]] && { echo "--- $f:" >&2; head -c 3000 "$work/$f" >&2; }
    done
    exit 1
}
source "$(dirname "$0")/../support/e2e_common.sh"

export ORBFEED_SOCKET=$work/sock ORBFEED_DB=$work/feed.sqlite
unset ORBFEED_TRACE ORBFEED_USER ORBFEED_PASSWORD

# Without a display: one line, exit 1.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/orbfeed" view LIVE 1 2>&1)
status=$?
[[ $status -eq 1 && $out == *"needs a display"* && $(wc -l <<<"$out") -eq 1 ]] ||
    fail "without a display: status $status, '$out'"

# A pump off screen, with a month of one-minute bars and its live rows.
env -u DISPLAY QT_QPA_PLATFORM=offscreen "$bin/tarnwick" >"$work/pump.out" 2>"$work/pump.err" &
pump=$!
wait_for 30 test -S "$ORBFEED_SOCKET" || fail "the pump's socket did not appear"
"$bin/orbfeed" request LIVE --interval 1 >"$work/request.out" 2>&1 || fail "request failed"

# An X server of our own.
start_xvfb 1280x860x24

# On the X server even where the test run asks Qt for its offscreen platform.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$bin/orbfeed" view LIVE 1 --width 1200 --height 800 \
    >"$work/view.out" 2>"$work/view.err" &
view=$!
window=
# The view's end (it could not open its window) ends the wait at once.
find_window() {
    kill -0 "$view" 2>/dev/null || fail "orbfeed view ended before its window showed"
    window=$(xdotool search --onlyvisible --name 'LIVE at interval 1' | head -n 1)
    [[ -n $window ]]
}
wait_for 60 find_window || fail "no window named LIVE at interval 1"
title() { xdotool getwindowname "$window"; }
# The period in the title, as its place among the periods (finer is smaller).
rank() {
    local p
    p=$(title | sed -n 's/.* \([0-9]*[a-z]*\) candles.*/\1/p')
    case $p in 1m) echo 1 ;; 5m) echo 2 ;; 15m) echo 3 ;; 1h) echo 4 ;; 4h) echo 5 ;;
        1d) echo 6 ;; 1w) echo 7 ;; 1mo) echo 8 ;; *) echo 0 ;; esac
}
shot() { import -window "$window" "$shots/$1.png" || fail "no screenshot $1"; }
differ() { [[ $(compare -metric AE "$shots/$1.png" "$shots/$2.png" null: 2>&1) != 0 ]]; }
# shot_differs NAME OTHER: takes screenshot NAME and succeeds when it differs from OTHER (polled,
# since the window redraws in its own time).
shot_differs() { shot "$1" && differ "$2" "$1"; }
# The table is read and drawn once the title names a period.
wait_for 30 test "$(rank)" -gt 0 || fail "no period in the title '$(title)'"
shot whole
first=$(rank)

# The wheel, twelve notches in near the right edge: a finer period.
xdotool mousemove --window "$window" 1000 330 click --repeat 12 --delay 40 4
wait_for 10 test "$(rank)" -lt "$first" || fail "the wheel did not zoom in: '$(title)'"
wait_for 10 shot_differs zoomed whole || fail "zooming did not change the picture"

# A drag 300 pixels to the right shows earlier candles.
xdotool mousemove --window "$window" 500 330 mousedown 1 mousemove --window "$window" 650 335 \
    mousemove --window "$window" 800 340 mouseup 1
wait_for 10 shot_differs panned zoomed || fail "dragging did not change the picture"

# Back to the whole table, in at the newest candle (the plot's last pixel column) to minutes, the
# pointer off the chart: the live rows move the picture.
xdotool key --window "$window" Home
xdotool mousemove --window "$window" 1119 330 click --repeat 30 --delay 30 4
xdotool mousemove --window "$window" 600 10
wait_for 10 test "$(rank)" -eq 1 || fail "no one-minute candles: '$(title)'"
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$view/status"; }
shot live-start
rss_start=$(rss)
# The window follows the live rows for this long (a span to watch, not a wait for an event).
sleep "$follow"
rss_end=$(rss)
wait_for 10 shot_differs live-end live-start || fail "the window did not follow the live rows"
echo "view memory: ${rss_start} kB, ${rss_end} kB after following ${follow} s"
(( rss_end - rss_start < 20000 )) || fail "memory grew from ${rss_start} kB to ${rss_end} kB"

# Escape closes the window and ends the command; the pump serves on and unloads cleanly.
# (through the input extension, at the focused window: a key sent to the window would outlive it)
xdotool windowfocus --sync "$window" key Escape
status=0
wait_for 10 bash -c "! kill -0 $view 2>/dev/null" || fail "the window did not close on Escape"
wait "$view" || status=$?
view=
[[ $status -eq 0 ]] || fail "view exit status $status"
kill -0 "$pump" 2>/dev/null || fail "the pump ended with the window"
"$bin/orbfeed" tables | grep -q '^LIVE ' || fail "the table is gone"
"$bin/orbfeed" unload >/dev/null || fail "the pump did not unload"
wait "$pump" || fail "pump exit status $?"
pump=
echo "PASS"
