# Shell helpers shared by the end-to-end suites and benchmarks that drive a real pump. Source it;
# the checks call the sourcing script's own fail() and read the trace at $work/trace.

# Deadlines are hang detectors: TARNWICK_DEADLINE_SCALE (set by CTest for sanitizer builds)
# stretches every one of them.
deadline_scale=${TARNWICK_DEADLINE_SCALE:-1}

# wait_for SECONDS COMMAND...: polls COMMAND every 50 ms until it succeeds (0) or time runs out
# (1); SECONDS is stretched by the deadline scale.
wait_for() {
    local deadline=$(( $(date +%s) + $1 * deadline_scale )); shift
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

# The committed rows of one table in the trace (or the file $3), one line each: the trace line of
# the row's first cell, the line of its ORBCOMMITROW, then the cell values in column order.
trace_rows() {
    awk -F'\t' -v sym="$1" -v iv="$2" '
        $1 == "ORBSETVALUE" && $2 == sym && $3 == iv {
            if (nv == 0) first = NR
            nv++; v[$4] = $5; if ($4 + 0 > maxc) maxc = $4 + 0
            next
        }
        $1 == "ORBCOMMITROW" && $2 == sym && $3 == iv {
            out = first "\t" NR
            for (k = 1; k <= maxc; k++) out = out "\t" v[k]
            print out
            nv = 0; maxc = 0; split("", v)
        }' "${3:-$work/trace}"
}

# The feed clock (local time plus two hours; TZ set by the caller counts) as days since
# 1899-12-30, and the minute number (days * 1440) that ends its current minute: a live bar's stamp.
feed_clock() {
    local now zone
    read -r now zone < <(date '+%s.%N %z')
    awk -v now="$now" -v zone="$zone" 'BEGIN {
        sign = substr(zone, 1, 1) == "-" ? -1 : 1
        offset = sign * (substr(zone, 2, 2) * 3600 + substr(zone, 4, 2) * 60)
        printf "%.10f\n", (now + offset) / 86400 + 25569 + 2 / 24
    }'
}
live_minute() {
    awk -v fc="$(feed_clock)" 'BEGIN { printf "%d\n", int(fc * 1440) + 1 }'
}

# Times come from the library itself: with ORBFEED_TRACE_TIMES=$work/times it writes the steady
# clock's reading of every trace line, line for line. Timing checks use these, never the moments
# at which this script happened to look.
times_reach() {
    [[ -f $work/times ]] && (( $(wc -l <"$work/times") >= $1 ))
}

# await_completion SYMBOL INTERVAL: waits for the completion report of the history request for
# that table: the UpdatePercent 100 that comes at least one second (by the trace's own times)
# after the transfer's last row. Whether the transfer reports a 100 of its own depends on the
# hour (after the day's last row at 15:59 the feed clock runs on and its last report is lower),
# so the transfer's reports are told apart by their place, not their value. The history rows are
# those before the first live row (a live bar's first row is one tick: open, high, low and close
# alike, which a bar of twenty ticks never is). Sets last_row (the trace line of the transfer's
# last ORBCOMMITROW), completion (the report's line), pause (seconds between the two) and
# transfer_percent (the transfer's last report, "-" when it made none). Fails when any report
# comes between the transfer's last row (and the report that may follow it) and the completion.
await_completion() {
    local sym=$1 iv=$2 found=
    completion_seen() {
        found=$(awk -F'\t' -v sym="$sym" -v iv="$iv" '
            FNR == NR { t[FNR] = $1; nt = FNR; next }
            FNR > nt { exit }
            $1 == "ORBSETVALUE" && $2 == sym && $3 == iv { v[$4] = $5; next }
            $1 == "ORBCOMMITROW" && $2 == sym && $3 == iv {
                if (!live && v[2] == v[3] && v[3] == v[4] && v[4] == v[5]) live = FNR
                if (!live) last = FNR
                split("", v)
                next
            }
            $1 == "UpdatePercent" && last {
                if (t[FNR] - t[last] >= 0.999998) {
                    printf "%d %d %.6f %s\n", last, FNR, t[FNR] - t[last], report == "" ? "-" : report; exit
                }
                # The report of the last row follows its ORBGETNUMROWS2; anything later is early.
                if (FNR > last + 2 || live) { printf "early %d %s\n", FNR, $2; exit }
                report = $2
            }' "$work/times" "$work/trace" 2>/dev/null)
        [[ -n $found ]]
    }
    wait_for 60 completion_seen ||
        fail "no UpdatePercent 100 a second after the last row of $sym at $iv within 60 s"
    [[ $found != early* ]] ||
        fail "a progress report (line ${found#early }) between the transfer's last row and the completion"
    read -r last_row completion pause transfer_percent <<<"$found"
    [[ $(sed -n "${completion}p" "$work/trace") == $'UpdatePercent\t100' ]] ||
        fail "the report a second after the transfer (line $completion) is not 100: $(sed -n "${completion}p" "$work/trace")"
}

# expect_live_rows SYMBOL INTERVAL AFTER COUNT: waits for COUNT live rows of a bar table (interval
# above 0.01) committed after trace line AFTER, then checks them by the trace alone: each stamped
# with the end of the feed clock's minute (whole minutes, never decreasing, within the minutes
# the wait saw), and sent by the 500 ms timer. A timer never fires ahead of its schedule, and a
# late firing does not move the schedule, so COUNT rows span at least COUNT - 2 periods (less the
# 5 % a coarse timer may fire early); how late they come is not checked.
expect_live_rows() {
    local sym=$1 iv=$2 after=$3 count=$4 from_minute to_minute rows report
    from_minute=$(( $(live_minute) - 1 ))
    live_count() {
        rows=$(trace_rows "$sym" "$iv" | awk -F'\t' -v a="$after" '$2 > a' | head -n "$count")
        (( $(grep -c . <<<"$rows") >= count ))
    }
    wait_for 30 live_count || fail "fewer than $count live rows of $sym within 30 s"
    to_minute=$(live_minute)
    wait_for 10 times_reach "$(tail -n 1 <<<"$rows" | cut -f2)" || fail "no times for the live rows"
    report=$(awk -F'\t' -v lo="$from_minute" -v hi="$to_minute" -v n="$count" '
        FNR == NR { t[FNR] = $1; next }
        bad { next }
        {
            m = $3 * 1440; r = int(m + 0.5); d = m - r; if (d < 0) d = -d
            if (d > 1e-6) bad = "row at line " $2 " stamped " $3 ": no whole minute"
            else if (r < lo || r > hi) bad = "row at line " $2 " stamped minute " r ", the feed clock ended minutes " lo " to " hi
            else if (FNR > 1 && r < prev) bad = "stamps go back at line " $2
            prev = r
            if (FNR == 1) first = t[$2]
            span = t[$2] - first
        }
        END {
            if (!bad && span < (n - 2) * 0.475) bad = sprintf("%d rows within %.3f s: faster than every 500 ms", n, span)
            if (bad) { print bad; exit 1 }
            printf "%d live rows over %.3f s\n", n, span
        }' "$work/times" - <<<"$rows") ||
        fail "live rows of $sym: $report"
    echo "$report"
}

# start_xvfb GEOMETRY: an X server of our own, for this script alone; sets xvfb (its process id)
# and exports DISPLAY. Xvfb picks a free display and writes its number once it is ready; then a
# client must really reach it: where a server this script cannot see holds that number (a sandbox
# that shares its network, and so the abstract X sockets, with others), the connection fails, and
# another server is tried on a display number of our own choosing. Xvfb's own messages go to
# $work/xvfb.log and are shown when no server can be reached.
start_xvfb() {
    local geometry=$1 attempt display_arg=() number
    for attempt in 1 2 3 4 5; do
        rm -f "$work/display"
        Xvfb "${display_arg[@]}" -displayfd 3 -screen 0 "$geometry" -nolisten tcp \
            3>"$work/display" >>"$work/xvfb.log" 2>&1 &
        xvfb=$!
        local deadline=$(( $(date +%s) + 20 * deadline_scale ))
        until [[ -s $work/display ]] && (( $(wc -l <"$work/display") >= 1 )); do
            kill -0 "$xvfb" 2>/dev/null && (( $(date +%s) < deadline )) || break
            sleep 0.05
        done
        if [[ -s $work/display ]]; then
            number=$(head -n 1 "$work/display")
            export DISPLAY=:$number
            if wait_for 5 xdotool getdisplaygeometry >/dev/null 2>&1; then
                return 0
            fi
            echo "Xvfb on :$number cannot be reached (attempt $attempt)" >>"$work/xvfb.log"
        fi
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
        display_arg=(":$((100 + RANDOM % 800))")
    done
    xvfb=
    echo "--- Xvfb's messages:" >&2
    tail -n 30 "$work/xvfb.log" >&2
    fail "no X server of our own could be reached"
}
