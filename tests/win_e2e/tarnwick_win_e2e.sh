#!/usr/bin/env bash
# End to end under Wine and Xvfb: tarnwick.exe with the Windows stand-in ORBFEED.DLL, driven by
# orbfeed.exe (the host's side) and win_probe.exe (looks at the window from another process).
# Usage: tarnwick_win_e2e.sh BIN_DIR     (the bin folder of the windows or windows64 build; the
#                                         width of its tarnwick.exe picks the Wine loader)
#   run 1: start (channel registered, credentials asked for), credentials into the status bar,
#          a history request with the feed clock during trading hours (rows per day, labels, the
#          transfer's own 100, the completion 100 a second after the last row), live rows from
#          the 500 ms timer, a description with é (one byte in code page 1252), a host removal
#          that stops a symbol's rows, a real header click that sorts, the Add dialog, and the
#          close box: exit 0, SetDataFeedhwnd 0 last, the list file in sorted order
#   run 2: the host's unload command: exit 0, channel withdrawn last, the list file untouched
#   run 3: no ORBFEED.DLL beside the program: exit 2 and a message naming it on stderr
#   run 4: a history request with the feed clock after 16:00 (the transfer's last report below
#          100, then the completion 100 a second after the last row), then unload
# The feed clock is pinned through the time zone (TZ) this script and the programs share: run 1
# at TARNWICK_E2E_FEED_HOUR (default 11) and the current minute, run 4 at 18 (at 11 when run 1
# was moved out of trading hours), so the suite passes, and checks the same, at any hour.
# Timing checks use the stand-in's own times of the trace lines (ORBFEED_TRACE_TIMES).
# TARNWICK_SCREENSHOTS=DIR keeps screenshots of the window and the dialog there.
# Exit status 77 means Wine, Xvfb, xdotool or a program of the build is missing.
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env.sh"
for tool in wineserver Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
for f in tarnwick.exe ORBFEED.DLL orbfeed.exe win_probe.exe; do
    [[ -f $bin/$f ]] || { echo "SKIP: $bin/$f not built"; exit 77; }
done
bits=$(pe_bits "$bin/tarnwick.exe") || { echo "FAIL: $bin/tarnwick.exe is no x86 Windows program"; exit 1; }
use_wine "$bits" || { echo "SKIP: no Wine for $bits-bit programs"; exit 77; }
wine=$wine_loader
feed_hour=${TARNWICK_E2E_FEED_HOUR:-11}

export WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
# A prefix of our own (of this build's width), kept beside the build so that later runs skip
# Wine's first start.
export WINEPREFIX=${TARNWICK_WINEPREFIX:-$bin/../wine-e2e}
work=$(mktemp -d)
xvfb=
pid=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    wineserver -k 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
    [[ -n $wine_wrappers ]] && rm -rf "$wine_wrappers"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -s $work/stderr ]] && { echo "--- tarnwick stderr:" >&2; head -c 2000 "$work/stderr" >&2; }
    if [[ -f $work/trace ]]; then
        echo "--- trace (calls other than cells, last 30):" >&2
        grep -av -e '^ORBSETVALUE' -e '^ORBGETNUMROWS2' -e '^ORBCOMMITROW' "$work/trace" |
            tail -n 30 >&2
    fi
    exit 1
}

source "$(dirname "$0")/../support/e2e_common.sh"

# A Unix path as Wine's Z: drive sees it.
winpath() { echo "Z:${1//\//\\}"; }

mkdir -p "$WINEPREFIX"
[[ -f $WINEPREFIX/system.reg ]] || "$wine" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"

# An X server of our own, so xdotool can only ever talk to this server.
start_xvfb 1024x768x24
# Wine's desktop belongs to its server: one left running from a start without this display (the
# prefix's first boot) refuses every new top-level window (error 1400). End it, so that the
# pump's first start brings up a server and a desktop on this display.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wine_server_persist

app=$work/app
mkdir -p "$app"
cp "$bin"/tarnwick.exe "$bin"/ORBFEED.DLL "$bin"/orbfeed.exe "$bin"/win_probe.exe "$app"/
export ORBFEED_TRACE ORBFEED_TRACE_TIMES
ORBFEED_TRACE=$(winpath "$work/trace")
ORBFEED_TRACE_TIMES=$(winpath "$work/times")
unset ORBFEED_USER ORBFEED_PASSWORD

host() { (cd "$app" && timeout 60 "$wine" orbfeed.exe "$@") 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
probe() { (cd "$app" && timeout 30 "$wine" win_probe.exe "$@") | tr -d '\r'; }
send() { host send "$@" >/dev/null || fail "orbfeed send $* failed"; }
shot() { [[ -n ${TARNWICK_SCREENSHOTS:-} ]] && import -window root "$TARNWICK_SCREENSHOTS/$1"; }

start_pump() {
    rm -f "$work/trace" "$work/times"
    (cd "$app" && exec "$wine" tarnwick.exe) >/dev/null 2>"$work/stderr" &
    pid=$!
    expect_trace_opening
}

finish_pump() {
    expect_clean_exit
}

# pin_feed_clock HOUR: sets TZ (for this script and the programs it starts) so that the feed
# clock, local time plus two hours, reads HOUR and the current minute. Whole-hour offsets from
# -11 to +12 hours; POSIX counts zones east of Greenwich negative.
pin_feed_clock() {
    local offset
    offset=$(( (($1 - 2 - $(date -u +%-H)) % 24 + 24 + 11) % 24 - 11 ))
    export TZ
    TZ=$(printf '<%+03d>%d' "$offset" "$(( -offset ))")
    echo "feed clock pinned at $(TZ=$TZ date -d '2 hours' '+%H:%M') (TZ=$TZ)"
}

ole_day() { echo $(( $(date -u -d "$1" +%s) / 86400 + 25569 )); }
us_date() { date -d "$1" +%-m/%-d/%Y; }

# A 48 KiB and a 1 MiB command (history requests without a separator, which the pump refuses and
# answers with its 100) are taken whole, the field empties, and ABC's live rows go on before and
# after. Then credentials that the library hands over as strings of its own, longer and shorter
# than 21 characters: the panels show them cut, or filled up with spaces, to 21.
long_commands_and_replaced_credentials() {
    local kib rows hundreds started
    for kib in 48 1024; do
        { printf 'LONG'; yes 'lorem ipsum' | tr '\n' ' ' | head -c $(( kib * 1024 - 4 )); } \
            >"$work/long.txt"
        rows=$(trace_rows ABC 1 | wc -l)
        wait_for 10 eval '(( $(trace_rows ABC 1 | wc -l) >= rows + 2 ))' ||
            fail "no live rows of ABC before the $kib KiB command"
        hundreds=$(grep -c '^UpdatePercent'$'\t''100$' "$work/trace")
        started=$EPOCHREALTIME
        send --file "$(winpath "$work/long.txt")"
        echo "$kib KiB command taken: orbfeed.exe returned after" \
            "$(awk -v s="$started" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.2f", e - s }') s"
        wait_for 10 eval '(( $(grep -c "^UpdatePercent.100$" "$work/trace") > hundreds ))' ||
            fail "no 100 for the $kib KiB command"
        [[ $(probe channel) == 0 ]] || fail "Text1 holds $(probe channel) characters after $kib KiB"
        rows=$(trace_rows ABC 1 | wc -l)
        wait_for 10 eval '(( $(trace_rows ABC 1 | wc -l) >= rows + 2 ))' ||
            fail "no live rows of ABC after the $kib KiB command"
    done
    local calls
    calls=$(grep -c '^GetUserIDPassword' "$work/trace")
    host credentials --user bob --password pw --replace >/dev/null || fail "orbfeed credentials failed"
    wait_for 10 eval '(( $(grep -c "^GetUserIDPassword" "$work/trace") > calls ))' ||
        fail "no GetUserIDPassword for the replaced credentials"
    [[ $(grep '^GetUserIDPassword' "$work/trace" | tail -n 1) == $'GetUserIDPassword\tbob\t**' ]] ||
        fail "trace: $(grep '^GetUserIDPassword' "$work/trace" | tail -n 1)"
    [[ $(probe status | paste -sd'|') == "UserID: bob$(printf '%18s')|Password: pw$(printf '%19s')" ]] ||
        fail "status panels after shorter strings: '$(probe status | paste -sd'|')'"
    host credentials --user ABCDEFGHIJKLMNOPQRSTUVWXYZ --password 1234567890123456789012345 \
        --replace >/dev/null || fail "orbfeed credentials failed"
    wait_for 10 grep -q '^GetUserIDPassword'$'\t''ABCDEFGHIJKLMNOPQRSTUVWXYZ'$'\t' "$work/trace" ||
        fail "no GetUserIDPassword for the longer credentials"
    [[ $(probe status | paste -sd'|') == "UserID: ABCDEFGHIJKLMNOPQRSTU|Password: 123456789012345678901" ]] ||
        fail "status panels after longer strings: '$(probe status | paste -sd'|')'"
}

# history_request SYMBOL DAYS_BACK: requests one-minute bars from DAYS_BACK days ago and waits
# for the request's completion (await_completion); sets start and start_day.
history_request() {
    start=$(date -d "$2 days ago" +%F)
    start_day=$(ole_day "$start")
    send "$1!@#Alpha!@#Stock!@#1!@#$(us_date "$start")!@#Date/Time,Open,High,Low,Close,Volume"
    await_completion "$1" 1
}

# The transfer's last report: 100 when its last row lies within half a percent of the span from
# the feed clock (the feed clock in trading hours), lower once the clock has run on well past
# the day's last row at 15:59 (here from 17:00 to 08:59); no check at the hours between.
expect_transfer_percent() {
    local hour=$1
    if (( hour >= 10 && hour <= 15 )); then
        [[ $transfer_percent == 100 ]] ||
            fail "feed clock at $hour h: the transfer's last report is $transfer_percent, expected 100"
    elif (( hour >= 17 || hour <= 8 )); then
        [[ $transfer_percent != 100 && $transfer_percent != - ]] ||
            fail "feed clock at $hour h: the transfer's last report is $transfer_percent, expected below 100"
    fi
}

# ---- run 1
pin_feed_clock "$feed_hour"
start_pump
shot tarnwick-main-empty.png

host credentials --user alice --password s3cret >/dev/null || fail "orbfeed credentials failed"
wait_for 10 grep -qxF $'GetUserIDPassword\talice\t******' "$work/trace" ||
    fail "no GetUserIDPassword with the credentials, the password masked"
grep -aq s3cret "$work/trace" && fail "the password in clear in the trace"
[[ $(probe status | paste -sd'|') == "UserID: alice|Password: s3cret" ]] ||
    fail "status panels: $(probe status | paste -sd'|')"

history_request ABC 2
[[ $(grep '^ORBSETUPDATA' "$work/trace") == $'ORBSETUPDATA\tABC\tAlpha\t1\t6\tStock\t'"$start_day" ]] ||
    fail "set-up: $(grep '^ORBSETUPDATA' "$work/trace")"
labels=$(grep '^ORBSETLABEL' "$work/trace" | cut -f4,5 | tr '\t' ' ' | paste -sd'|')
[[ $labels == "1 Date/Time|2 Open|3 High|4 Low|5 Close|6 Volume" ]] || fail "labels: $labels"
trace_rows ABC 1 | awk -F'\t' -v l="$last_row" '$2 <= l' >"$work/history"
report=$(awk -F'\t' -v s="$start_day" '
    { day = int($3); count[day]++ }
    END { for (d = s; d < s + 2; d++) if (count[d] != 420) { print "day " d ": " count[d] + 0 " rows"; exit 1 } }' \
    "$work/history") || fail "history rows: $report"
expect_transfer_percent "$feed_hour"
echo "history: $(wc -l <"$work/history") rows, the transfer's last report $transfer_percent," \
    "the completion $pause s after the last row"

# Live rows: from the 500 ms timer, stamped with the end of the feed clock's minute.
expect_live_rows ABC 1 "$completion" 4

# A description with é, sent as code page 1252 bytes.
today=$(date +%F)
printf 'CAF!@#Caf\xe9 au lait!@#Stock!@#1!@#%s!@#Date/Time,Close' "$(us_date "$today")" >"$work/cafe.txt"
send --file "$(winpath "$work/cafe.txt")"
grep -aq $'^ORBSETUPDATA\tCAF\tCaf\xe9 au lait\t1\t' "$work/trace" ||
    fail "the description did not reach the library as code page 1252"

# A removal stops the symbol's rows; commands are handled in order, so once the marker command
# after it has reached the library, the removal has been handled.
send "DEL!@#Gone!@#Stock!@#1!@#$(us_date "$today")!@#Date/Time,Close"
send '*****RemoveTicker*****!@#DEL!@#1'
send '*****UserIDPassword*****'
wait_for 10 eval '(( $(grep -c "^GetUserIDPassword" "$work/trace") >= 2 ))' ||
    fail "the second credentials command did not reach the library"
marker=$(grep -n '^GetUserIDPassword' "$work/trace" | tail -n 1 | cut -d: -f1)
caf_target=$(( $(trace_rows CAF 1 | wc -l) + 2 ))
wait_for 10 eval '(( $(trace_rows CAF 1 | wc -l) >= caf_target ))' || fail "CAF's live rows stopped"
late=$(trace_rows DEL 1 | awk -F'\t' -v m="$marker" '$2 > m' | wc -l)
(( late == 0 )) || fail "$late rows of DEL after its removal"
[[ $(probe rows) == 2 ]] || fail "rows in the list: $(probe rows)"

# A real click on the Symbol header: the first click sorts descending.
read -r x y < <(probe header 1)
xdotool mousemove "$x" "$y" click 1
shot tarnwick-main-sorted.png

# The Add dialog, through the hidden button made visible.
probe add
wait_for 10 eval '[[ -n $(xdotool search --name "Add New Ticker Symbol" 2>/dev/null) ]]' ||
    fail "the Add dialog did not open"
sleep 0.3
shot tarnwick-add-dialog.png
probe dialog NEW "New Co" "$(us_date "$today")" 1
wait_for 10 eval '[[ $(probe rows) == 3 ]]' || fail "the Add dialog did not add its row"
wait_for 10 grep -q $'^ORBSETUPDATA\tNEW\tNew Co\t1\t6\tMiscellaneous Instrument' "$work/trace" ||
    fail "no history for the added symbol"

long_commands_and_replaced_credentials

probe close
finish_pump
d=$(us_date "$today")
expected=$(printf 'NEW!@#New Co!@#Miscellaneous Instrument!@#%s!@#1\r\nCAF!@#Caf\xe9 au lait!@#Stock!@#%s!@#1\r\nABC!@#Alpha!@#Stock!@#%s!@#1\r\n' \
    "$d" "$d" "$(us_date "$start")" | od -An -tx1)
[[ $(od -An -tx1 <"$app/Tarnwick List.DAT") == "$expected" ]] ||
    fail "list file: $(od -c "$app/Tarnwick List.DAT" | head -n 12)"

# ---- run 2: the unload command; nothing changed, so the list file keeps its bytes.
cp "$app/Tarnwick List.DAT" "$work/list.before"
start_pump
host unload >/dev/null || fail "orbfeed unload failed"
finish_pump
cmp -s "$app/Tarnwick List.DAT" "$work/list.before" || fail "the list file changed"
host send hello >"$work/no_pump" && fail "orbfeed send without a pump succeeded"
grep -q 'no registered pump' "$work/no_pump" || fail "orbfeed without a pump: $(cat "$work/no_pump")"

# ---- run 3: no library beside the program.
mkdir -p "$work/alone"
cp "$bin/tarnwick.exe" "$work/alone/"
status=0
(cd "$work/alone" && timeout 30 "$wine" tarnwick.exe) >/dev/null 2>"$work/stderr" || status=$?
(( status == 2 )) || fail "without ORBFEED.DLL: exit status $status, expected 2"
grep -qi 'ORBFEED.DLL' "$work/stderr" || fail "no message naming ORBFEED.DLL: $(cat "$work/stderr")"

# ---- run 4: the other side of the day's last row.
if (( feed_hour >= 10 && feed_hour <= 15 )); then other_hour=18; else other_hour=11; fi
pin_feed_clock "$other_hour"
start_pump
history_request AFT 2
expect_transfer_percent "$other_hour"
echo "history at $other_hour h: the transfer's last report $transfer_percent, the completion $pause s after the last row"
host unload >/dev/null || fail "orbfeed unload failed"
finish_pump
echo "PASS"
