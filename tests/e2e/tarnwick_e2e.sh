#!/usr/bin/env bash
# End-to-end cases for the tarnwick binary with the stand-in feed library and the host tool.
# Usage: tarnwick_e2e.sh CASE BIN_DIR
#   sigterm          start, wait for the credentials request in the trace, SIGTERM: exit 0 and
#                    the channel withdrawn as the last library call
#   missing_library  the binary alone in a folder: exit 2 and a message naming libORBFEED.so
#   host_unload      start, then the host tool's unload command: exit 0, channel withdrawn last
#   history_request  a raw request three days back at interval 60: served at 1 minute, six labels,
#                    420 rows a day, the final 100 at least a second after the last history row;
#                    tick (0) and bars-as-ticks (-60) requests drop Open, High and Low
#   live_rows        live rows every 500 ms stamped with the end of the feed clock's minute;
#                    after a remove command the symbol gets no more rows, the others still do
#   main_job         request, rows, tables and unload through the host tool with a real store;
#                    the database holds what the request reported
#   killed_during_transfer
#                    SIGKILL while a long tick history streams into the store: the database
#                    stays sound and keeps the committed rows
#   flood            two tools sending many commands at once: none is lost, the pump still
#                    unloads
#   bad_input        empty, huge, non-UTF-8 and malformed texts: the pump keeps serving, every
#                    malformed request gets its 100 and one line on stderr
#   second_pump      a second pump on the same socket is refused the endpoint; ending it leaves
#                    the first pump's socket working
#   c_locale_dates   under LANG=LC_ALL=C.UTF-8 a request for 11/03/2026 opens its table at
#                    3 November 2026 (month first, as the C library writes dates there)
# Exit status 77 means a piece the case needs is not built.
set -u
case_name=$1
bin=$(cd "$2" && pwd)
# In a sanitizer build, fontconfig's data kept by Qt until exit is not reported as a leak.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
work=$(mktemp -d)
pid=
pid2=
cleanup() {
    local p
    for p in $pid $pid2; do
        if kill -0 "$p" 2>/dev/null; then kill -KILL "$p"; fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -f $work/stderr ]] && { echo "--- tarnwick stderr:" >&2; head -c 4000 "$work/stderr" >&2; }
    [[ -f $work/tool.out ]] && { echo "--- last tool output:" >&2; tail -n 20 "$work/tool.out" >&2; }
    if [[ -f $work/trace ]]; then
        echo "--- trace (calls other than cells, last 40):" >&2
        grep -v -e '^ORBSETVALUE' -e '^ORBGETNUMROWS2' -e '^ORBCOMMITROW' "$work/trace" |
            tail -n 40 >&2
    fi
    exit 1
}

# Polls until the command succeeds or the deadline (seconds) passes.
source "$(dirname "$0")/../support/e2e_common.sh"

need_tool() {
    [[ -x $bin/orbfeed ]] || { echo "SKIP: $bin/orbfeed not built"; exit 77; }
}

[[ -x $bin/tarnwick ]] || { echo "SKIP: $bin/tarnwick not built"; exit 77; }

# The table store used by start_pump; :none: keeps nothing.
db=:none:
# Extra environment settings for the pump started by start_pump (NAME=value words).
pump_env=()

start_pump() {
    [[ -f $bin/libORBFEED.so ]] || { echo "SKIP: $bin/libORBFEED.so not built"; exit 77; }
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u ORBFEED_USER -u ORBFEED_PASSWORD \
        ORBFEED_TRACE="$work/trace" ORBFEED_TRACE_TIMES="$work/times" ORBFEED_SOCKET="$work/sock" \
        ORBFEED_DB="$db" "${pump_env[@]}" \
        "$bin/tarnwick" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    expect_trace_opening
}

finish_pump() {
    expect_clean_exit
    grep -q 'offscreen' "$work/stderr" || fail "no note about running offscreen on stderr"
}

# The host tool against the pump's socket; its output goes to $work/tool.out.
tool() {
    ORBFEED_SOCKET="$work/sock" timeout 60 "$bin/orbfeed" "$@" >"$work/tool.out" 2>&1
}

send() {
    tool send "$@" || fail "orbfeed send $* failed: $(cat "$work/tool.out")"
}

unload_pump() {
    tool unload || fail "orbfeed unload failed (status $?): $(cat "$work/tool.out")"
    finish_pump
}

# Number of trace lines equal to the given text (TAB-separated fields as arguments).
trace_count() {
    local line
    line=$(IFS=$'\t'; echo "$*")
    grep -cxF -e "$line" "$work/trace" 2>/dev/null
}

trace_has_at_least() {
    local n=$1; shift
    (( $(trace_count "$@") >= n ))
}

# Days since 1899-12-30 of a calendar date yyyy-mm-dd.
ole_day() {
    echo $(( $(date -u -d "$1" +%s) / 86400 + 25569 ))
}

history_request() {
    need_tool
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    local start today start_day
    start=$(date -d '3 days ago' +%F)
    start_day=$(ole_day "$start")
    send "ABC!@#Alpha!@#Stock!@#60!@#$start!@#Date/Time,Open,High,Low,Close,Volume"

    # The completion report, a second after the transfer's last row by the library's own times.
    await_completion ABC 1

    local setup
    setup=$(grep '^ORBSETUPDATA' "$work/trace")
    [[ $setup == $'ORBSETUPDATA\tABC\tAlpha\t1\t6\tStock\t'"$start_day" ]] ||
        fail "set-up line: '$setup' (expected interval 1, 6 columns, start $start_day)"
    local labels
    labels=$(grep '^ORBSETLABEL' "$work/trace" | tr '\t' ' ' | paste -sd'|')
    [[ $labels == "ORBSETLABEL ABC 1 1 Date/Time|ORBSETLABEL ABC 1 2 Open|ORBSETLABEL ABC 1 3 High|ORBSETLABEL ABC 1 4 Low|ORBSETLABEL ABC 1 5 Close|ORBSETLABEL ABC 1 6 Volume" ]] ||
        fail "labels: $labels"

    # History rows: the transfer's, up to its last row.
    trace_rows ABC 1 | awk -F'\t' -v last="$last_row" '$2 <= last' >"$work/history"
    local feed_day
    feed_day=$(awk -v fc="$(feed_clock)" 'BEGIN { printf "%d\n", int(fc) }')
    local report
    report=$(awk -F'\t' -v s="$start_day" -v f="$feed_day" '
        NF != 8 { print "row with " NF - 2 " values at trace line " $1; bad = 1; exit }
        {
            day = int($3); minute = int(($3 - day) * 1440 + 0.5)
            if (minute < 540 || minute > 960) { print "row outside 09:00-16:00: " $3; bad = 1; exit }
            if (NR == 1 && $3 != s + 0.375) { print "first row at " $3 ", expected " s + 0.375; bad = 1; exit }
            if (NR > 1 && $3 <= prev) { print "row times not increasing at " $3; bad = 1; exit }
            prev = $3; count[day]++
        }
        END {
            if (bad) exit 1
            for (d = s; d < f; d++) if (count[d] != 420) { print "day " d ": " count[d] + 0 " rows, expected 420"; exit 1 }
            if (count[f] > 420) { print "day " f ": " count[f] " rows"; exit 1 }
            for (d in count) if (d + 0 < s || d + 0 > f) { print "rows on day " d; exit 1 }
        }' "$work/history") || fail "history rows: $report"
    local history_rows
    history_rows=$(wc -l <"$work/history")
    echo "$history_rows history rows from day $start_day, feed clock on day $feed_day"
    (( $(trace_count ORBGETNUMROWS2 ABC 1 1 0 0) >= history_rows )) ||
        fail "fewer ORBGETNUMROWS2 calls than history rows"

    echo "final 100 $pause s after the last history row (the transfer's last report: $transfer_percent)"

    # Ticks and bars as ticks: Open, High and Low are dropped from the field list.
    today=$(date +%F)
    tool request TCK --interval 0 --start "$today" --description Ticks --category Stock \
        --fields Date/Time,Open,High,Low,Close,Volume || fail "tick request failed"
    tool request NEG --interval -60 --start "$today" --description Neg --category Stock \
        --fields Date/Time,Open,High,Low,Close,Volume || fail "bars-as-ticks request failed"
    local day
    day=$(ole_day "$today")
    local kind
    for kind in "TCK Ticks 0" "NEG Neg -60"; do
        set -- $kind
        (( $(trace_count ORBSETUPDATA "$1" "$2" "$3" 3 Stock "$day") == 1 )) ||
            fail "no 3-column set-up for $1 at interval $3"
        labels=$(grep "^ORBSETLABEL"$'\t'"$1"$'\t' "$work/trace" | cut -f4,5 | tr '\t' ' ' | paste -sd'|')
        [[ $labels == "1 Date/Time|2 Close|3 Volume" ]] || fail "labels of $1: $labels"
    done
    # Bars as ticks: the first four rows carry one date/time; only the fourth has a volume.
    trace_rows NEG -60 | head -n 4 | awk -F'\t' '
        { t[NR] = $3; vol[NR] = $5 }
        END {
            if (NR != 4 || t[1] != t[4] || t[2] != t[1] || t[3] != t[1]) exit 1
            if (vol[1] != 0 || vol[2] != 0 || vol[3] != 0) exit 1
        }' || fail "bars as ticks: the first four rows are not one bar: $(trace_rows NEG -60 | head -n 4)"
    unload_pump
}

live_rows() {
    need_tool
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    local today
    today=$(date +%F)
    tool request ABC --interval 1 --start "$today" || fail "request ABC failed"
    tool request XYZ --interval 1 --start "$today" || fail "request XYZ failed"

    # Live rows from the 500 ms timer, stamped with the end of the feed clock's minute.
    expect_live_rows ABC 1 "$(wc -l <"$work/trace")" 6

    tool remove ABC 1 || fail "orbfeed remove failed"
    # Commands are handled in order: once the credentials command has reached the library, the
    # remove command before it has been handled.
    send '*****UserIDPassword*****'
    wait_for 10 grep -q '^GetUserIDPassword' "$work/trace" || fail "no GetUserIDPassword"
    local marker
    marker=$(grep -n '^GetUserIDPassword' "$work/trace" | head -n 1 | cut -d: -f1)
    local xyz_target
    xyz_target=$(( $(trace_rows XYZ 1 | wc -l) + 3 ))
    # XYZ goes on (three more rows, about 1.5 s); ABC must not appear after the marker.
    wait_for 10 eval '(( $(trace_rows XYZ 1 | wc -l) >= xyz_target ))' ||
        fail "XYZ's live rows stopped after removing ABC"
    local late
    late=$(trace_rows ABC 1 | awk -F'\t' -v m="$marker" '$1 > m' | wc -l)
    (( late == 0 )) || fail "$late rows of ABC after it was removed"
    unload_pump
}

main_job() {
    need_tool
    command -v sqlite3 >/dev/null || { echo "SKIP: sqlite3 not installed"; exit 77; }
    db=$work/feed.sqlite
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    local yesterday
    yesterday=$(date -d yesterday +%F)
    local requested=$EPOCHREALTIME
    tool request DEMO --interval 1 --start "$yesterday" || fail "request failed"
    local summary rows
    summary=$(tail -n 1 "$work/tool.out")
    [[ $summary =~ ^DEMO\ at\ interval\ 1:\ ([0-9]+)\ rows$ ]] || fail "request said '$summary'"
    rows=${BASH_REMATCH[1]}
    # Yesterday's full day at least.
    (( rows >= 420 )) || fail "only $rows rows"

    ORBFEED_DB=$db tool rows DEMO 1 --csv --last 3 || fail "orbfeed rows failed"
    (( $(wc -l <"$work/tool.out") == 4 )) || fail "rows --last 3: $(cat "$work/tool.out")"
    local header
    header=$(head -n 1 "$work/tool.out")
    [[ $header == "Date/Time,Open,High,Low,Close,Volume" ]] || fail "CSV header '$header'"
    tail -n 3 "$work/tool.out" | grep -qvE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:.]+(,[-0-9.e+]+){5}$' &&
        fail "CSV rows: $(cat "$work/tool.out")"
    ORBFEED_DB=$db tool tables || fail "orbfeed tables failed"
    grep -qw DEMO "$work/tool.out" || fail "tables does not list DEMO: $(cat "$work/tool.out")"

    unload_pump
    kill -0 "$pid" 2>/dev/null && fail "the pump is still running"
    # Live rows may have been stored after the request reported its count: at most one per
    # 500 ms timer event since the request began, and one more.
    local live_allowed
    live_allowed=$(awk -v from="$requested" -v to="$EPOCHREALTIME" 'BEGIN { printf "%d", (to - from) * 2 + 1 }')
    local stored
    stored=$(sqlite3 -readonly "$db" \
        "SELECT count(*) FROM rows r JOIN tables t ON t.id = r.table_id WHERE t.symbol = 'DEMO'") ||
        fail "sqlite3 cannot read $db"
    (( stored >= rows && stored <= rows + live_allowed )) ||
        fail "$stored rows stored, the request said $rows (live rows since: at most $live_allowed)"
    echo "request said $rows rows, the store holds $stored"
}

store_rows() {
    sqlite3 -readonly "$db" "SELECT count(*) FROM rows" 2>/dev/null
}

killed_during_transfer() {
    need_tool
    command -v sqlite3 >/dev/null || { echo "SKIP: sqlite3 not installed"; exit 77; }
    db=$work/feed.sqlite
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    local start
    start=$(date -d '1 year ago' +%F)
    send "TCK!@#Ticks!@#Stock!@#0!@#$start!@#Date/Time,Price,Volume"
    wait_for 20 eval '(( $(store_rows || echo 0) > 0 ))' || fail "no rows committed within 20 s"
    # Kill it while the rows keep streaming in: after a further commit has landed.
    local first_seen
    first_seen=$(store_rows)
    wait_for 20 eval '(( $(store_rows || echo 0) > first_seen ))' ||
        fail "the store stopped growing at $first_seen rows"
    kill -0 "$pid" 2>/dev/null || fail "the pump ended during the transfer"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    pid=
    local check count seqs
    check=$(sqlite3 "$db" "PRAGMA integrity_check") || fail "sqlite3 cannot open $db"
    [[ $check == ok ]] || fail "integrity check: $check"
    read -r count seqs < <(sqlite3 -separator ' ' "$db" "SELECT count(*), max(seq) FROM rows")
    (( count > 0 )) || fail "no rows kept"
    # Rows are numbered without gaps, so every committed row is there.
    (( count == seqs )) || fail "$count rows but the highest seq is $seqs"
    local table
    table=$(sqlite3 -separator ' ' "$db" "SELECT symbol, interval, columns FROM tables")
    [[ $table == "TCK 0.0 3" ]] || fail "tables: '$table'"
    echo "$count rows kept after SIGKILL"
}

flood() {
    need_tool
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    local today requests=16 credentials=100
    today=$(date +%F)
    # One tool process per command, two senders at once: credentials on one side, requests for
    # distinct symbols on the other.
    (
        for ((i = 0; i < credentials; i++)); do
            ORBFEED_SOCKET="$work/sock" timeout 60 "$bin/orbfeed" send '*****UserIDPassword*****' ||
                echo "credentials $i: status $?"
        done
    ) >"$work/sender1" 2>&1 &
    local sender1=$!
    (
        for ((i = 0; i < requests; i++)); do
            ORBFEED_SOCKET="$work/sock" timeout 60 "$bin/orbfeed" send \
                "S$i!@#Flood $i!@#Stock!@#1!@#$today!@#Date/Time,Open,High,Low,Close,Volume" ||
                echo "request $i: status $?"
        done
    ) >"$work/sender2" 2>&1 &
    local sender2=$!
    wait "$sender1"; wait "$sender2"
    [[ ! -s $work/sender1 && ! -s $work/sender2 ]] ||
        fail "senders failed: $(cat "$work/sender1" "$work/sender2")"
    # A pause lasts a second and at most eight nest, so the commands take some seconds. Every
    # request ends with a 100 (its transfer may report one of its own as well).
    flood_done() {
        (( $(grep -c '^GetUserIDPassword' "$work/trace") >= credentials &&
           $(grep -c '^ORBSETUPDATA' "$work/trace") >= requests )) &&
            trace_has_at_least "$requests" UpdatePercent 100
    }
    wait_for 25 flood_done ||
        fail "not all handled within 25 s: $(grep -c '^GetUserIDPassword' "$work/trace") credentials calls," \
            "$(grep -c '^ORBSETUPDATA' "$work/trace") set-ups, $(trace_count UpdatePercent 100) reports of 100"
    (( $(grep -c '^GetUserIDPassword' "$work/trace") == credentials )) ||
        fail "$(grep -c '^GetUserIDPassword' "$work/trace") credentials calls of $credentials"
    for ((i = 0; i < requests; i++)); do
        (( $(grep -c "^ORBSETUPDATA"$'\t'"S$i"$'\t' "$work/trace") == 1 )) ||
            fail "symbol S$i set up $(grep -c "^ORBSETUPDATA"$'\t'"S$i"$'\t' "$work/trace") times"
    done
    (( $(grep -c '^ORBSETUPDATA' "$work/trace") == requests )) || fail "unexpected set-ups"
    unload_pump
}

bad_input() {
    need_tool
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    head -c 1048576 /dev/zero | tr '\0' 'x' >"$work/huge"
    printf 'bad \xff\xfe\xc3\x28 utf-8' >"$work/invalid"
    send ''
    send --file "$work/huge"
    send --file "$work/invalid"
    send 'no separators at all'
    send '*****RemoveTicker*****'
    send 'ABC!@#Alpha!@#Stock!@#1!@#not a date!@#Close'
    send 'ABC!@#too!@#few'
    # Five malformed requests, each with its completion report; the empty text and the remove
    # command report nothing.
    wait_for 20 trace_has_at_least 5 UpdatePercent 100 ||
        fail "$(trace_count UpdatePercent 100) completion reports, expected 5"
    send '*****UserIDPassword*****'
    wait_for 10 grep -q '^GetUserIDPassword' "$work/trace" ||
        fail "the pump no longer handles commands"
    kill -0 "$pid" 2>/dev/null || fail "the pump has gone"
    (( $(trace_count UpdatePercent 100) == 5 )) ||
        fail "$(trace_count UpdatePercent 100) completion reports, expected 5"
    grep -q '^ORBSETUPDATA' "$work/trace" && fail "a malformed request set up a table"
    local requests removes dates
    requests=$(grep -c '^tarnwick: history request ignored: it needs 5 "!@#" separators, found [0-9]*: ' "$work/stderr")
    removes=$(grep -c '^tarnwick: remove command ignored' "$work/stderr")
    dates=$(grep -c '^tarnwick: history request for "ABC" ignored: the start date "not a date" is no date' "$work/stderr")
    (( requests == 4 && removes == 1 && dates == 1 )) ||
        fail "diagnostics: $requests for separators (4), $removes for remove (1), $dates for the date (1)"
    # One line each: the huge text is cut short in its diagnostic.
    (( $(wc -c <"$work/stderr") < 4096 )) || fail "stderr holds $(wc -c <"$work/stderr") bytes"
    unload_pump
}

second_pump() {
    need_tool
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        ORBFEED_TRACE="$work/trace2" ORBFEED_SOCKET="$work/sock" ORBFEED_DB=:none: \
        "$bin/tarnwick" >"$work/stdout2" 2>"$work/stderr2" &
    pid2=$!
    wait_for 30 grep -q '^RequireUserIDPassword' "$work/trace2" 2>/dev/null ||
        fail "second pump: no RequireUserIDPassword within 30 s: $(cat "$work/stderr2")"
    wait_for 10 grep -q "another pump is already serving $work/sock" "$work/stderr2" ||
        fail "second pump: no 'another pump is already serving' on stderr: $(cat "$work/stderr2")"
    # The second pump runs on without an endpoint: it stays up until told to end.
    kill -0 "$pid2" 2>/dev/null || fail "the second pump ended by itself"
    kill -TERM "$pid2"
    local status=0
    wait "$pid2" || status=$?
    pid2=
    (( status == 0 )) || fail "second pump: exit status $status after SIGTERM"
    [[ $(tail -n 1 "$work/trace2") == $'SetDataFeedhwnd\t0' ]] || fail "second pump: channel not withdrawn"
    test -S "$work/sock" || fail "the first pump's socket file is gone"
    send '*****UserIDPassword*****'
    wait_for 10 grep -q '^GetUserIDPassword' "$work/trace" ||
        fail "the first pump no longer gets commands"
    grep -q '^GetUserIDPassword' "$work/trace2" && fail "the second pump got the command"
    unload_pump
}

c_locale_dates() {
    need_tool
    pump_env=(LANG=C.UTF-8 LC_ALL=C.UTF-8)
    start_pump
    wait_for 30 test -S "$work/sock" || fail "no host socket"
    send "CLOC!@#C locale!@#Stock!@#1!@#11/03/2026!@#Date/Time,Close"
    wait_for 20 grep -q '^ORBSETUPDATA' "$work/trace" || fail "no set-up within 20 s"
    local setup
    setup=$(grep '^ORBSETUPDATA' "$work/trace" | head -n 1 | cut -f7)
    [[ -n $setup && $setup == "$(ole_day 2026-11-03)" ]] ||
        fail "table opened at day $setup, expected $(ole_day 2026-11-03) (3 November 2026)"
    unload_pump
}

case $case_name in
sigterm)
    start_pump
    kill -TERM "$pid"
    finish_pump
    ;;
host_unload)
    need_tool
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
history_request | live_rows | main_job | killed_during_transfer | flood | bad_input | second_pump | \
    c_locale_dates)
    $case_name
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "PASS: $case_name"
