#!/usr/bin/env bash
# How long a long command takes to be taken by a running pump with three symbols listed, and how
# long the live rows stop meanwhile.
#   bench_long_command.sh linux BIN_DIR      tarnwick (Qt, off screen) with libORBFEED.so
#   bench_long_command.sh windows BIN_DIR    tarnwick.exe with ORBFEED.DLL under Wine and Xvfb
#                                            (the 64-bit build runs under wine64)
# Each command is a removal of an unlisted symbol padded with words to its size, so the pump
# answers it without the one-second pause of a history request. "taken" is the time from sending
# to the command having been handled, less the same for a 40-byte command measured in the same
# run (the baseline); Windows: orbfeed.exe's SendMessage returns once the handler has run; Linux:
# a credentials command sent right after it reaches the library. "cpu" is the CPU time the
# pump's process used meanwhile (less sensitive to a busy machine than the wall clock). "stall"
# is the longest time without a new live row while the command was on its way (live rows come
# every 500 ms).
# Sizes: LONG_COMMAND_SIZES (KiB, default "16 32 48 64 1024"); a size taking longer than
# LONG_COMMAND_LIMIT seconds (default 300) ends the run.
set -u
mode=$1
bin=$(cd "$2" && pwd)
sizes=${LONG_COMMAND_SIZES:-16 32 48 64 1024}
limit=${LONG_COMMAND_LIMIT:-300}
work=$(mktemp -d)
pid=
xvfb=
wine_loader=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    [[ -n $wine_loader ]] && wineserver -k 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    tail -c 2000 "$work/stderr" >&2 2>/dev/null
    exit 1
}
source "$(dirname "$0")/../../tests/support/e2e_common.sh"

# ---- starting the pump and sending, per platform
if [[ $mode == windows ]]; then
    export WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8 WINEPREFIX=$work/prefix
    if file "$bin/tarnwick.exe" | grep -q 'PE32+'; then
        export WINEARCH=win64
        wine_loader=/usr/lib/wine/wine64
        [[ -x $wine_loader ]] || wine_loader=wine64
    else
        export WINEARCH=win32
        wine_loader=wine
    fi
    "$wine_loader" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
    start_xvfb 1024x768x24
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    app=$work/app
    mkdir -p "$app"
    cp "$bin"/tarnwick.exe "$bin"/ORBFEED.DLL "$bin"/orbfeed.exe "$app"/
    export ORBFEED_TRACE="Z:${work//\//\\}\\trace"
    (cd "$app" && exec "$wine_loader" tarnwick.exe) >/dev/null 2>"$work/stderr" &
    pid=$!
    host() { (cd "$app" && timeout "$limit" "$wine_loader" orbfeed.exe "$@") >/dev/null 2>&1; }
    send_file() { host send --file "Z:${1//\//\\}"; }
    taken() { send_file "$1"; }
else
    export QT_QPA_PLATFORM=offscreen ORBFEED_TRACE=$work/trace ORBFEED_SOCKET=$work/sock \
        ORBFEED_DB=:none:
    unset ORBFEED_USER ORBFEED_PASSWORD
    "$bin/tarnwick" >/dev/null 2>"$work/stderr" &
    pid=$!
    host() { timeout "$limit" "$bin/orbfeed" "$@" >/dev/null 2>&1; }
    send_file() { host send --file "$1"; }
    # The library hands commands over in order: once the credentials command after the long one
    # reaches it, the long one has been handled.
    taken() {
        local before
        before=$(grep -c '^GetUserIDPassword' "$work/trace")
        send_file "$1" && host send '*****UserIDPassword*****' &&
            wait_for "$limit" eval '(( $(grep -c "^GetUserIDPassword" "$work/trace") > before ))'
    }
fi
expect_trace_opening

today=$(date +%-m/%-d/%Y)
for s in LA LB LC; do
    host send "$s!@#Listed!@#Stock!@#1!@#$today!@#Date/Time,Open,High,Low,Close,Volume" ||
        fail "request $s not taken"
done
commits() { grep -c '^ORBCOMMITROW' "$work/trace"; }
# Every request ends with a 100; a transfer may report its own 100 before that one, so the last
# request may still be pausing when three are seen: its pause is over a second later.
wait_for 30 eval '(( $(grep -c "^UpdatePercent.100$" "$work/trace") >= 3 ))' ||
    fail "the three requests did not complete"
sleep 1.2

# A command of about `bytes` bytes: a removal of a symbol nobody lists, then words.
make_command() {
    local bytes=$1 out=$2
    printf '*****RemoveTicker*****!@#NOPE!@#1 ' >"$out"
    local words=$(( (bytes - 34) / 12 + 1 ))
    yes 'lorem ipsum' | head -n "$words" | tr '\n' ' ' | head -c $(( bytes - 34 )) >>"$out"
}

# CPU seconds the pump's process has used so far (user and system).
hz=$(getconf CLK_TCK)
pump_cpu() { awk -v hz="$hz" '{ printf "%.3f\n", ($14 + $15) / hz }' "/proc/$pid/stat"; }

# Seconds the command file takes to be taken, the pump's CPU seconds meanwhile, and the longest
# stall of live rows.
measure() {
    local file=$1 polls=$work/polls start end status cpu0 cpu1
    : >"$polls"
    (while :; do echo "$EPOCHREALTIME $(commits)"; sleep 0.02; done) >>"$polls" &
    local poller=$!
    sleep 0.6  # a live row or two before
    cpu0=$(pump_cpu)
    start=$EPOCHREALTIME
    taken "$file"
    status=$?
    end=$EPOCHREALTIME
    cpu1=$(pump_cpu)
    sleep 0.6  # and after
    kill "$poller" 2>/dev/null
    wait "$poller" 2>/dev/null
    (( status == 0 )) || return 1
    # Gaps between the polls at which the row count grew, those that overlap the sending.
    awk -v s="$start" -v e="$end" -v cpu="$(awk -v a="$cpu0" -v b="$cpu1" 'BEGIN { print b - a }')" '
        NR == 1 || $2 != last {
            if (NR > 1 && $1 > s && prev < e && $1 - prev > stall) stall = $1 - prev
            prev = $1
        }
        { last = $2; final = $1 }
        END {
            if (prev < e && final - prev > stall) stall = final - prev
            printf "%.3f %.3f %.3f\n", e - s, cpu, stall
        }' "$polls"
}

make_command 40 "$work/base"
read -r base base_cpu base_stall < <(measure "$work/base") || fail "the baseline was not taken"
printf '%s, three symbols listed; load average %s\n' "$mode" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-10s %8s %8s %8s %8s\n' size sent-s taken-s cpu-s stall-s
printf '  %-10s %8.3f %8s %8.3f %8.3f\n' "40 B" "$base" "(base)" "$base_cpu" "$base_stall"
for kib in $sizes; do
    make_command $(( kib * 1024 )) "$work/cmd"
    if ! read -r wall cpu stall < <(measure "$work/cmd"); then
        printf '  %-10s not taken within %s s\n' "$kib KiB" "$limit"
        break
    fi
    printf '  %-10s %8.3f %8.3f %8.3f %8.3f  ratio to base %.1f\n' "$kib KiB" "$wall" \
        "$(awk -v w="$wall" -v b="$base" 'BEGIN { print w - b }')" "$cpu" "$stall" \
        "$(awk -v w="$wall" -v b="$base" 'BEGIN { print w / b }')"
done
kill -0 "$pid" 2>/dev/null || fail "the pump ended"
host unload
wait "$pid" 2>/dev/null
pid=
