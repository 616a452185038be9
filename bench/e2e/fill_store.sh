# Sourced by the benchmark scripts that need the 2003 one-minute table. bench_store NAME makes a
# work folder ($work, under BENCH_TMPDIR or /tmp) removed on exit and sets $db: BENCH_DB when set,
# else a fresh store in $work filled with SYM at interval 1 from 2003-01-01 through the real pump
# in $bin (some 10 to 20 s; a pump still running on exit is ended).
pump=
bench_store() {
    work=$(mktemp -d "${BENCH_TMPDIR:-/tmp}/$1-XXXXXX")
    trap bench_cleanup EXIT
    db=${BENCH_DB:-}
    [[ -n $db ]] && return 0
    db=$work/feed.sqlite
    echo "filling $db with SYM at interval 1 from 2003-01-01 through the pump..."
    env -u DISPLAY -u WAYLAND_DISPLAY -u ORBFEED_TRACE QT_QPA_PLATFORM=offscreen \
        ORBFEED_SOCKET="$work/sock" ORBFEED_DB="$db" ORBFEED_USER=bench ORBFEED_PASSWORD=bench \
        "$bin/tarnwick" >"$work/pump.out" 2>&1 &
    pump=$!
    for _ in $(seq 1 300); do [[ -S $work/sock ]] && break; sleep 0.1; done
    ORBFEED_SOCKET="$work/sock" "$bin/orbfeed" request SYM --interval 1 --start 2003-01-01 | tail -n 1
    ORBFEED_SOCKET="$work/sock" "$bin/orbfeed" unload
    wait "$pump" || true
    pump=
}
bench_cleanup() {
    if [[ -n $pump ]] && kill -0 "$pump" 2>/dev/null; then kill -TERM "$pump"; fi
    rm -rf "$work"
}
