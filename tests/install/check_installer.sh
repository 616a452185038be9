#!/usr/bin/env bash
# The Windows installer, checked for real under Wine and Xvfb. A host folder holds a stand-in
# ORBFEED.DLL (marked, so that any copy over it shows) and the host tool orbfeed.exe:
#   1. silent install (/S /D=host): tarnwick.exe and its uninstaller land there, the DLL is
#      untouched, no testing\ folder, the Add/Remove Programs entry carries version and publisher,
#      tarnwick.exe carries the version resource; the installed tarnwick.exe serves a history
#      request from orbfeed.exe; the uninstaller refuses while it runs; it unloads and writes its
#      list file
#   2. silent uninstall: exactly what was installed goes; the DLL, the tool, the list file stay
#   3. silent install with /TESTING: the stand-ins go into testing\ only; the uninstaller takes
#      testing\ away again and leaves the host's files as they were
# Usage: check_installer.sh INSTALLER BIN_DIR [WINE_LOADER]
#   INSTALLER    dist/tarnwick-<version>-setup.exe or dist/tarnwick-<version>-win64-setup.exe
#   BIN_DIR      the same build's bin folder (its stand-in ORBFEED.DLL and orbfeed.exe)
#   WINE_LOADER  wine (32-bit installer, the default) or /usr/lib/wine/wine64 (64-bit installer,
#                WINEARCH=win64); TARNWICK_WINEPREFIX names a prefix to reuse, else a fresh one
#                is made and removed
# Exit status 77 means Wine or Xvfb is missing.
set -u
installer=$(realpath "$1")
bin=$(cd "$2" && pwd)
loader=${3:-wine}
command -v "$loader" >/dev/null || { echo "SKIP: $loader not installed"; exit 77; }
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not installed"; exit 77; }
done
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[[ $(basename "$loader") == wine64 ]] && arch=win64 || arch=win32
version=$(basename "$installer" | sed -n 's/^tarnwick-\([0-9][0-9.]*\)-\(win64-\)\{0,1\}setup\.exe$/\1/p')
[[ -n $version ]] || { echo "FAIL: no version in the installer's name $(basename "$installer")" >&2; exit 1; }

export WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
work=$(mktemp -d)
# A prefix given keeps the architecture it was made with; a fresh one gets the loader's.
if [[ -n ${TARNWICK_WINEPREFIX:-} ]]; then
    export WINEPREFIX=$TARNWICK_WINEPREFIX
    unset WINEARCH
else
    export WINEPREFIX=$work/prefix WINEARCH=$arch
fi
xvfb=
pid=
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    "$wineserver" -k 2>/dev/null
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [[ -s $work/stderr ]] && { echo "--- tarnwick stderr:" >&2; head -c 2000 "$work/stderr" >&2; }
    [[ -f $work/trace ]] && { echo "--- trace (last 10):" >&2; tail -n 10 "$work/trace" >&2; }
    exit 1
}
source "$(dirname "$0")/../support/e2e_common.sh"
winpath() { echo "Z:${1//\//\\}"; }

mkdir -p "$WINEPREFIX"
[[ -f $WINEPREFIX/system.reg ]] || "$loader" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
start_xvfb 1024x768x24
# A Wine server left from a start without this display refuses new windows: end it first.
"$wineserver" -k 2>/dev/null
"$wineserver" -w 2>/dev/null
# Kept running between the commands below (Debian's server ends with its last program).
"$wineserver" -p 2>/dev/null

host=$work/host
mkdir -p "$host"
cp "$bin/ORBFEED.DLL" "$bin/orbfeed.exe" "$host/"
# The host's library: the stand-in with trailing bytes of its own, so that a stand-in copied over
# it would show.
printf 'host library' >>"$host/ORBFEED.DLL"
fingerprint() { (cd "$host" && find . -type f -printf '%P\n' | sort | xargs -d '\n' -r sha256sum); }
host_files() { (cd "$host" && find . -mindepth 1 -printf '%P\n' | sort | paste -sd' '); }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick'
reg_value() { "$loader" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'; }

install() {
    "$loader" "$installer" /S "$@" "/D=$(winpath "$host")" >"$work/install.out" 2>&1 ||
        fail "silent install $* failed with status $?: $(cat "$work/install.out")"
}
# The uninstaller runs from a copy of itself, so the call returns at once: wait until it has
# removed itself, its last step.
uninstall() {
    "$loader" "$host/tarnwick-uninstall.exe" /S >/dev/null 2>&1 || fail "silent uninstall failed"
    wait_for 60 test ! -e "$host/tarnwick-uninstall.exe" || fail "the uninstaller did not finish"
}
# The text, as UTF-16 in the file's version resource, followed by the version.
has_version() {
    local pattern= c
    for ((c = 0; c < ${#2}; c++)); do pattern+="${2:c:1}"'\x00'; done
    pattern+='\x00\x00(\x00\x00)?'
    for ((c = 0; c < ${#version}; c++)); do pattern+="${version:c:1}"'\x00'; done
    LC_ALL=C grep -qaP "${pattern//./\\.}" "$1"
}
before=$(fingerprint)

# ---- 1. install, then serve a request from the installed program
start=$SECONDS
install
[[ $(host_files) == "ORBFEED.DLL orbfeed.exe tarnwick-uninstall.exe tarnwick.exe" ]] ||
    fail "host folder after install: $(host_files)"
cmp -s "$bin/tarnwick.exe" "$host/tarnwick.exe" || fail "the installed tarnwick.exe is not the build's"
[[ $(fingerprint | grep -v -e tarnwick.exe -e tarnwick-uninstall.exe) == "$before" ]] ||
    fail "the install changed the host's files"
[[ $(reg_value DisplayVersion) == "$version" ]] || fail "DisplayVersion: '$(reg_value DisplayVersion)'"
[[ $(reg_value Publisher) == "Tarnwick developers" ]] || fail "Publisher: '$(reg_value Publisher)'"
[[ $(reg_value UninstallString) == *tarnwick-uninstall.exe* ]] ||
    fail "UninstallString: '$(reg_value UninstallString)'"
has_version "$host/tarnwick.exe" ProductVersion || fail "tarnwick.exe has no version resource $version"
has_version "$installer" ProductVersion || fail "the installer has no version resource $version"
echo "installed in $((SECONDS - start)) s"

export ORBFEED_TRACE
ORBFEED_TRACE=$(winpath "$work/trace")
unset ORBFEED_USER ORBFEED_PASSWORD
(cd "$host" && exec "$loader" tarnwick.exe) >/dev/null 2>"$work/stderr" &
pid=$!
expect_trace_opening
tool() { (cd "$host" && timeout 60 "$loader" orbfeed.exe "$@") >"$work/tool.out" 2>&1 ||
    fail "orbfeed.exe $*: $(tr -d '\r' <"$work/tool.out")"; }
day=$(date -d '2 days ago' +%-m/%-d/%Y)
tool send "ABC!@#Alpha!@#Stock!@#1!@#$day!@#Date/Time,Open,High,Low,Close,Volume"
# orbfeed.exe hands the text over with WM_SETTEXT, which returns once the pump has handled it: the
# whole transfer, the pause and the completion report, which the trace shows within moments.
completed() { [[ $(grep -a '^UpdatePercent' "$work/trace" | tail -n 1) == $'UpdatePercent\t100' ]]; }
wait_for 10 completed || fail "no completion report after the request"
rows=$(grep -c $'^ORBCOMMITROW\tABC\t1$' "$work/trace")
(( rows >= 840 )) || fail "$rows rows of ABC, expected two days of 420 at least"
# The uninstaller refuses while the program runs (run in place with _?=, so that its status is
# the one it ends with), and removes nothing.
if "$loader" "$host/tarnwick-uninstall.exe" /S "_?=$(winpath "$host")" >/dev/null 2>&1; then
    fail "the uninstaller succeeded while tarnwick.exe was running"
fi
[[ $(host_files) == "ORBFEED.DLL orbfeed.exe tarnwick-uninstall.exe tarnwick.exe" && -n $(reg_value DisplayName) ]] ||
    fail "the refused uninstall removed something: $(host_files)"
tool unload
expect_clean_exit
[[ -f $host/"Tarnwick List.DAT" ]] || fail "no list file in the host folder"

# ---- 2. uninstall: only what was installed goes
with_list=$(fingerprint | grep -v -e tarnwick.exe -e tarnwick-uninstall.exe)
start=$SECONDS
uninstall
[[ $(host_files) == "ORBFEED.DLL Tarnwick List.DAT orbfeed.exe" ]] ||
    fail "host folder after uninstall: $(host_files)"
[[ $(fingerprint) == "$with_list" ]] || fail "the uninstall changed the host's files"
[[ -z $(reg_value DisplayName) ]] || fail "the Add/Remove Programs entry stays"
echo "uninstalled in $((SECONDS - start)) s"

# ---- 3. the stand-ins, when asked for, go into testing\ only
install /TESTING
[[ $(host_files) == "ORBFEED.DLL Tarnwick List.DAT orbfeed.exe tarnwick-uninstall.exe tarnwick.exe testing testing/ORBFEED.DLL testing/orbfeed.exe testing/tarnwick.exe" ]] ||
    fail "host folder after install /TESTING: $(host_files)"
cmp -s "$bin/ORBFEED.DLL" "$host/testing/ORBFEED.DLL" || fail "testing\\ORBFEED.DLL is not the stand-in"
[[ $(fingerprint | grep -v -e tarnwick.exe -e tarnwick-uninstall.exe -e testing/) == "$with_list" ]] ||
    fail "the install with the stand-ins changed the host's files"
uninstall
[[ $(host_files) == "ORBFEED.DLL Tarnwick List.DAT orbfeed.exe" ]] ||
    fail "host folder after the second uninstall: $(host_files)"
[[ $(fingerprint) == "$with_list" ]] || fail "the second uninstall changed the host's files"
echo "PASS: $(basename "$installer"): $rows rows through the installed program; uninstalled twice, the host's files stay"
