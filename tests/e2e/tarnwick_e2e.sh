#!/usr/bin/env bash
# End-to-end cases for the tarnwick binary. Usage: tarnwick_e2e.sh CASE BIN_DIR
#   sigterm          start, wait for the credentials request in the trace, SIGTERM: exit 0 and
#                    the channel withdrawn as the last library call
#   missing_library  the binary alone in a folder: exit 2 and a message naming libORBFEED.so
#   host_unload      start, then the host tool's unload command: exit 0, channel withdrawn last
# Exit status 77 means a piece the case needs is not built.
set -u
case_name=$1
bin=$(cd "$2" && pwd)
work=$(mktemp -d)
pid=
cleanup() {
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -f $work/stderr ]] && { echo "--- tarnwick stderr:" >&2; cat "$work/stderr" >&2; }
    [[ -f $work/trace ]] && { echo "--- trace:" >&2; cat "$work/trace" >&2; }
    exit 1
}

# Polls until the command succeeds or the deadline (seconds) passes.
wait_for() {
    local deadline=$(( $(date +%s) + $1 )); shift
    until "$@"; do
        (( $(date +%s) < deadline )) || return 1
        sleep 0.05
    done
}

[[ -x $bin/tarnwick ]] || { echo "SKIP: $bin/tarnwick not built"; exit 77; }

start_pump() {
    [[ -f $bin/libORBFEED.so ]] || { echo "SKIP: $bin/libORBFEED.so not built"; exit 77; }
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        ORBFEED_TRACE="$work/trace" ORBFEED_SOCKET="$work/sock" ORBFEED_DB=:none: \
        "$bin/tarnwick" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    wait_for 30 grep -q '^RequireUserIDPassword' "$work/trace" 2>/dev/null ||
        fail "no RequireUserIDPassword in the trace within 30 s"
    local first
    first=$(head -n 1 "$work/trace")
    [[ $first =~ ^SetDataFeedhwnd$'\t'[1-9][0-9]*$ ]] || fail "first trace line: '$first'"
}

finish_pump() {
    local status=0
    wait "$pid" || status=$?
    pid=
    [[ $status -eq 0 ]] || fail "exit status $status, expected 0"
    local last
    last=$(tail -n 1 "$work/trace")
    [[ $last == $'SetDataFeedhwnd\t0' ]] || fail "last trace line: '$last'"
    grep -q 'offscreen' "$work/stderr" || fail "no note about running offscreen on stderr"
}

case $case_name in
sigterm)
    start_pump
    kill -TERM "$pid"
    finish_pump
    ;;
host_unload)
    [[ -x $bin/orbfeed ]] || { echo "SKIP: $bin/orbfeed not built"; exit 77; }
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket at $work/sock"
    ORBFEED_SOCKET="$work/sock" timeout 60 "$bin/orbfeed" unload >"$work/tool.out" 2>&1 ||
        fail "orbfeed unload failed: $(cat "$work/tool.out")"
    finish_pump
    ;;
missing_library)
    mkdir "$work/alone"
    cp "$bin/tarnwick" "$work/alone/"
    status=0
    env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
        timeout 60 "$work/alone/tarnwick" >"$work/stdout" 2>"$work/stderr" || status=$?
    [[ $status -eq 2 ]] || fail "exit status $status, expected 2"
    grep -q '^tarnwick: .*libORBFEED\.so' "$work/stderr" || fail "stderr does not name libORBFEED.so"
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS: $case_name"
