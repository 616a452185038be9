# Shared by the Linux install checks: a work folder removed on exit, fail(), and a run of an
# installed pump. Source it; it sets $work.
source "$(dirname "${BASH_SOURCE[0]}")/../support/e2e_common.sh"
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work=$(mktemp -d)
pid=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [[ -s $work/stderr ]] && { echo "--- tarnwick stderr:" >&2; head -c 2000 "$work/stderr" >&2; }
    exit 1
}

# serve_request BIN LIBRARY: BIN/tarnwick, started off screen from elsewhere without
# LD_LIBRARY_PATH, must load LIBRARY (the installed one) and serve BIN/orbfeed's request for two
# days of ABC at one minute; the rows are read back, the pump unloads and leaves its list file
# beside itself. Sets $rows to the number of rows the request reported.
serve_request() {
    local bin=$1 library
    library=$(realpath "$2")
    cd "$work" || fail "no work folder"
    export ORBFEED_SOCKET=$work/sock ORBFEED_DB=$work/feed.sqlite ORBFEED_TRACE=$work/trace
    env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u ORBFEED_USER -u ORBFEED_PASSWORD \
        QT_QPA_PLATFORM=offscreen "$bin/tarnwick" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    expect_trace_opening
    grep -qF "$library" "/proc/$pid/maps" ||
        fail "the pump did not load $library: $(grep -i orbfeed "/proc/$pid/maps" | head -n 1)"
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    local start
    start=$(date -d '2 days ago' +%F)
    timeout 120 "$bin/orbfeed" request ABC --interval 1 --start "$start" >"$work/request" 2>&1 ||
        fail "orbfeed request: $(tail -n 3 "$work/request")"
    rows=$(sed -n 's/^ABC at interval 1: \([0-9]*\) rows$/\1/p' "$work/request")
    # Two whole days of 420 one-minute bars, and what today has so far.
    (( rows >= 840 )) || fail "request: $(tail -n 1 "$work/request")"
    "$bin/orbfeed" rows ABC 1 --last 3 >"$work/rows" 2>&1 || fail "orbfeed rows: $(cat "$work/rows")"
    [[ $(sed -n 1p "$work/rows") == Date/Time*Open*High*Low*Close*Volume ]] ||
        fail "rows header: $(sed -n 1p "$work/rows")"
    (( $(grep -cE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}' "$work/rows") == 3 )) ||
        fail "rows: $(cat "$work/rows")"
    timeout 60 "$bin/orbfeed" unload >"$work/unload" 2>&1 || fail "orbfeed unload: $(cat "$work/unload")"
    expect_clean_exit
    local list=$bin/"Tarnwick List.DAT"
    [[ $(cat "$list" 2>/dev/null) == "ABC!@#ABC!@#Stock!@#$start!@#1"$'\r' ]] ||
        fail "list file: $(od -c "$list" | head -n 3)"
}
