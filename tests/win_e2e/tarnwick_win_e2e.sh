#!/usr/bin/env bash
# End to end under Wine and Xvfb: tarnwick.exe with the Windows stand-in ORBFEED.DLL, driven by
# orbfeed.exe (the host's side) and win_probe.exe (looks at the window from another process).
# Usage: tarnwick_win_e2e.sh BIN_DIR     (the windows build's bin folder)
#   run 1: start (channel registered, credentials asked for), credentials into the status bar,
#          a history request (rows per day, labels, the final 100 a second after the last row),
#          live rows twice a second, a description with é (one byte in code page 1252), a host
#          removal that stops a symbol's rows, a real header click that sorts, the Add dialog,
#          and the close box: exit 0, SetDataFeedhwnd 0 last, the list file in sorted order
#   run 2: the host's unload command: exit 0, channel withdrawn last, the list file untouched
#   run 3: no ORBFEED.DLL beside the program: exit 2 and a message naming it on stderr
# TARNWICK_SCREENSHOTS=DIR keeps screenshots of the window and the dialog there.
# Exit status 77 means Wine, Xvfb or xdotool is missing.
set -u
bin=$(cd "$1" && pwd)
for tool in wine wineboot wineserver Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
for f in tarnwick.exe ORBFEED.DLL orbfeed.exe win_probe.exe; do
    [[ -f $bin/$f ]] || { echo "SKIP: $bin/$f not built"; exit 77; }
done

export WINEDEBUG=-all WINEARCH=win32 LANG=C.UTF-8 LC_ALL=C.UTF-8
# A prefix of our own, kept beside the build so that later runs skip Wine's first start.
export WINEPREFIX=${TARNWICK_WINEPREFIX:-$bin/../wine-e2e}
work=$(mktemp -d)
xvfb=
pid=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    wineserver -k 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
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
[[ -f $WINEPREFIX/system.reg ]] || wineboot -i >/dev/null 2>&1 || fail "wineboot failed"

display=:$(( 100 + RANDOM % 400 ))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
wait_for 10 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"
# Wine's desktop belongs to its server: one left running from a start without this display (the
# prefix's first boot) refuses every new top-level window (error 1400). End it, so that the
# pump's first start brings up a server and a desktop on this display.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

app=$work/app
mkdir -p "$app"
cp "$bin"/tarnwick.exe "$bin"/ORBFEED.DLL "$bin"/orbfeed.exe "$bin"/win_probe.exe "$app"/
export ORBFEED_TRACE
ORBFEED_TRACE=$(winpath "$work/trace")
unset ORBFEED_USER ORBFEED_PASSWORD

host() { (cd "$app" && timeout 60 wine orbfeed.exe "$@") 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
probe() { (cd "$app" && timeout 30 wine win_probe.exe "$@") | tr -d '\r'; }
send() { host send "$@" >/dev/null || fail "orbfeed send $* failed"; }
shot() { [[ -n ${TARNWICK_SCREENSHOTS:-} ]] && import -window root "$TARNWICK_SCREENSHOTS/$1"; }

start_pump() {
    rm -f "$work/trace"
    (cd "$app" && exec wine tarnwick.exe) >/dev/null 2>"$work/stderr" &
    pid=$!
    expect_trace_opening
}

finish_pump() {
    expect_clean_exit
}

# Committed rows of one table: trace line of the commit, then the cells (as the Linux suite).
trace_rows() {
    awk -F'\t' -v sym="$1" -v iv="$2" '
        $1 == "ORBSETVALUE" && $2 == sym && $3 == iv { v[$4] = $5; if ($4 + 0 > m) m = $4 + 0; next }
        $1 == "ORBCOMMITROW" && $2 == sym && $3 == iv {
            out = NR; for (k = 1; k <= m; k++) out = out "\t" v[k]; print out; m = 0; split("", v)
        }' "${3:-$work/trace}"
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

# ---- run 1
start_pump
shot tarnwick-main-empty.png

host credentials --user alice --password s3cret >/dev/null || fail "orbfeed credentials failed"
wait_for 10 grep -qxF $'GetUserIDPassword\talice\t******' "$work/trace" ||
    fail "no GetUserIDPassword with the credentials, the password masked"
grep -aq s3cret "$work/trace" && fail "the password in clear in the trace"
[[ $(probe status | paste -sd'|') == "UserID: alice|Password: s3cret" ]] ||
    fail "status panels: $(probe status | paste -sd'|')"

start=$(date -d '2 days ago' +%F)
start_day=$(ole_day "$start")
polls=$work/polls
: >"$polls"
send "ABC!@#Alpha!@#Stock!@#1!@#$(us_date "$start")!@#Date/Time,Open,High,Low,Close,Volume" &
sender=$!
# Note when trace lines became visible, until the final 100 is there.
deadline=$(( $(date +%s) + 30 ))
# The transfer reports its own 100 with its last row; the request's final 100 follows the pause.
hundreds() { grep -c '^UpdatePercent'$'\t''100$' "$work/trace"; }
until (( $(hundreds) >= 2 )); do
    echo "$EPOCHREALTIME $(wc -l <"$work/trace")" >>"$polls"
    (( $(date +%s) < deadline )) || fail "no UpdatePercent 100 within 30 s"
    sleep 0.02
done
echo "$EPOCHREALTIME $(wc -l <"$work/trace")" >>"$polls"
wait "$sender" || fail "the history request was not taken"
read -r first_hundred final < <(grep -n '^UpdatePercent'$'\t''100$' "$work/trace" | cut -d: -f1 | head -n 2 | paste -sd' ')
last_row=$(awk -F'\t' -v f="$first_hundred" 'NR < f && $1 == "ORBCOMMITROW" { n = NR } END { print n }' "$work/trace")
gap=$(awk -v l="$last_row" -v f="$final" '$2 >= l && tl == "" { tl = $1 } $2 >= f && tf == "" { tf = $1 }
    END { printf "%.3f\n", tf - tl }' "$polls")
awk -v g="$gap" 'BEGIN { exit !(g >= 0.75) }' || fail "final 100 only $gap s after the last row (line $last_row, final $final): $(tail -n 5 "$polls" | paste -sd" ")"
[[ $(grep '^ORBSETUPDATA' "$work/trace") == $'ORBSETUPDATA\tABC\tAlpha\t1\t6\tStock\t'"$start_day" ]] ||
    fail "set-up: $(grep '^ORBSETUPDATA' "$work/trace")"
labels=$(grep '^ORBSETLABEL' "$work/trace" | cut -f4,5 | tr '\t' ' ' | paste -sd'|')
[[ $labels == "1 Date/Time|2 Open|3 High|4 Low|5 Close|6 Volume" ]] || fail "labels: $labels"
trace_rows ABC 1 | awk -F'\t' -v f="$first_hundred" '$1 < f' >"$work/history"
report=$(awk -F'\t' -v s="$start_day" '
    { day = int($2); count[day]++ }
    END { for (d = s; d < s + 2; d++) if (count[d] != 420) { print "day " d ": " count[d] + 0 " rows"; exit 1 } }' \
    "$work/history") || fail "history rows: $report"
echo "history: $(wc -l <"$work/history") rows, final 100 seen $gap s after the last row"

# Live rows: twice a second.
before=$(trace_rows ABC 1 | wc -l)
sleep 2
live=$(( $(trace_rows ABC 1 | wc -l) - before ))
(( live >= 3 && live <= 6 )) || fail "$live live rows of ABC in 2 s, expected about 4"

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
late=$(trace_rows DEL 1 | awk -F'\t' -v m="$marker" '$1 > m' | wc -l)
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
(cd "$work/alone" && timeout 30 wine tarnwick.exe) >/dev/null 2>"$work/stderr" || status=$?
(( status == 2 )) || fail "without ORBFEED.DLL: exit status $status, expected 2"
grep -qi 'ORBFEED.DLL' "$work/stderr" || fail "no message naming ORBFEED.DLL: $(cat "$work/stderr")"
echo "PASS"
