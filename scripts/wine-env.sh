# Windows programs under Wine on either kind of machine. Source it; it defines functions only.
#
# Some machines run no 32-bit x86 code at all: there the 32-bit Windows build (preset windows) can
# be built but not run, and its tests run from the 64-bit build (preset windows64) instead. Debian
# starts every Wine program through /usr/bin/wine (or wine-stable, which wineboot, winecfg and
# the other tools call), and those pick the 32-bit loader whenever wine32 is installed, even where
# it cannot run; the 64-bit loader /usr/lib/wine/wine64 is not on PATH.
#
#   TARNWICK_WINDOWS_BUILD=windows64  run the Windows tests from the 64-bit build even where
#                                     32-bit code runs (to try that path on any machine)
#   TARNWICK_WINDOWS_BUILD=windows    run them from the 32-bit build without asking the machine

# Whether this machine runs 32-bit x86 programs: the 32-bit dynamic loader answers. A missing
# loader (no libc6:i386, so no wine32 either) means no as well.
runs_32bit_code() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Sets windows_preset (windows or windows64) to the build whose Windows programs this machine
# runs, and windows_reason to one line that says why.
choose_windows_build() {
    case ${TARNWICK_WINDOWS_BUILD:-} in
    windows | windows64)
        windows_preset=$TARNWICK_WINDOWS_BUILD
        windows_reason="TARNWICK_WINDOWS_BUILD=$TARNWICK_WINDOWS_BUILD: the Windows suites run from the $windows_preset build"
        ;;
    "")
        if runs_32bit_code; then
            windows_preset=windows
            windows_reason="this machine runs 32-bit code: the Windows suites run from the 32-bit build under wine"
        else
            windows_preset=windows64
            windows_reason="this machine runs no 32-bit code: the Windows suites run from the 64-bit build under wine64"
        fi
        ;;
    *)
        echo "TARNWICK_WINDOWS_BUILD must be windows or windows64, not '$TARNWICK_WINDOWS_BUILD'" >&2
        return 1
        ;;
    esac
}

# Prints 32 or 64: the width of the Windows program FILE, from the machine field of its PE header
# (i386 or x86-64). Fails for any other file.
pe_bits() {
    local offset signature machine
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [[ -n $offset ]] || return 1
    signature=$(od -An -tx1 -j"$offset" -N6 "$1" 2>/dev/null | tr -d ' \n')
    [[ ${signature:0:8} == 50450000 ]] || return 1
    machine=${signature:10:2}${signature:8:2}
    case $machine in
    014c) echo 32 ;;
    8664) echo 64 ;;
    *) return 1 ;;
    esac
}

# wine_for BITS: Wine for programs of that width: exports WINEARCH (win32 or win64) and sets
# wine_loader to the loader that starts them (for 64 bits also exported as WINELOADER, which
# Wine uses for the programs those start in turn).
wine_for() {
    if [[ $1 == 32 ]]; then
        export WINEARCH=win32
        unset WINELOADER
        wine_loader=$(command -v wine) || { echo "wine is not installed" >&2; return 1; }
        return 0
    fi
    export WINEARCH=win64
    wine_loader=/usr/lib/wine/wine64
    [[ -x $wine_loader ]] || wine_loader=$(command -v wine64) ||
        { echo "the 64-bit Wine loader (package wine64) is not installed" >&2; return 1; }
    export WINELOADER=$wine_loader
}

# wine_on_path: after wine_for 64, a folder (wine_wrappers, for the caller to remove) with
# `wine`, `wine-stable` and `wine64` that start the 64-bit loader, first on PATH, so that plain
# `wine PROGRAM` and Debian's tools (`wineboot`, `winecfg`, ... start `wine-stable`) work
# unchanged. Nothing to do for 32 bits.
wine_on_path() {
    wine_wrappers=
    [[ $WINEARCH == win64 ]] || return 0
    wine_wrappers=$(mktemp -d)
    local name
    for name in wine wine-stable wine64; do
        printf '#!/bin/sh\nexec %s "$@"\n' "$wine_loader" >"$wine_wrappers/$name"
        chmod +x "$wine_wrappers/$name"
    done
    export PATH="$wine_wrappers:$PATH"
}

# use_wine BITS: both of the above.
use_wine() {
    wine_for "$1" && wine_on_path
}

# wine_server_persist: starts the prefix's Wine server, kept running until `wineserver -k`.
# Debian's `wineserver` ends the server the moment its last program exits (-p0), so a program
# started just then (the next suite, the next command of a script) meets a server shutting down
# and fails with "wine client error: recvmsg: Connection reset by peer". Once a server runs, this
# does nothing.
wine_server_persist() {
    wineserver -p 2>/dev/null || true
}
