# Shell helpers shared by the end-to-end suites and benchmarks that drive a real pump. Source it;
# the checks call the sourcing script's own fail() and read the trace at $work/trace.

# wait_for SECONDS COMMAND...: polls COMMAND every 50 ms until it succeeds (0) or time runs out (1).
wait_for() {
    local deadline=$(( $(date +%s) + $1 )); shift
    until "$@"; do
        (( $(date +%s) < deadline )) || return 1
        sleep 0.05
    done
}

# The pump registered its channel with a real handle first, and asked for the credentials.
expect_trace_opening() {
    wait_for 30 grep -q '^RequireUserIDPassword' "$work/trace" 2>/dev/null ||
        fail "no RequireUserIDPassword in the trace within 30 s"
    local first
    first=$(head -n 1 "$work/trace")
    [[ $first =~ ^SetDataFeedhwnd$'\t'[1-9][0-9]*$ ]] || fail "first trace line: '$first'"
}

# The pump with process id $pid ended with status 0, withdrawing the channel as its last call.
expect_clean_exit() {
    local status=0
    wait "$pid" || status=$?
    pid=
    [[ $status -eq 0 ]] || fail "exit status $status, expected 0"
    local last
    last=$(tail -n 1 "$work/trace")
    [[ $last == $'SetDataFeedhwnd\t0' ]] || fail "last trace line: '$last'"
}
