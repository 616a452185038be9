#!/usr/bin/env bash
# Installs what is missing, then checks and tests everything: the formatting of every source, the
# address+undefined sanitizer build with warnings as errors and every test suite, the naming rule on
# the core (clang-tidy), the feed library and store tests under ThreadSanitizer, every fuzz target
# for a bounded time, then the Windows programs cross-built for 32 and 64 bits, with the core's
# suites and the end-to-end suite run under Wine. Each step prints its time; a step that fails
# prints its name and status, and the run ends with that status. A test that is skipped fails its
# step (everything the tests need is installed here), but for the flat-memory case under the
# address sanitizer, which runs under ThreadSanitizer instead.
#
# Windows: the suites run from the build this machine can run, the 32-bit one where 32-bit code
# runs, else the 64-bit one under wine64; one line says which. TARNWICK_WINDOWS_BUILD=windows64
# takes the 64-bit path on any machine (scripts/wine-env.sh).
set -eEuo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
# Whatever fails outside a step still says what failed before the run ends.
trap 'echo "test.sh: \"$BASH_COMMAND\" failed with status $? (line $LINENO)" >&2' ERR

# step NAME COMMAND...: one step, with its time; a failure ends the run, saying so.
step() {
  local name=$1
  shift
  echo "== $name =="
  local start=$SECONDS status=0
  "$@" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "== $name: FAILED with status $status after $((SECONDS - start)) s ==" >&2
    exit "$status"
  fi
  echo "== $name: $((SECONDS - start)) s =="
}

# run_ctest PRESET [ALLOWED]: every test of the preset. A test that was skipped or did not run
# fails, unless its name matches the extended regular expression ALLOWED.
run_ctest() {
  local preset=$1 allowed=${2:-} log status=0 skipped
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log" || status=$?
  skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" |
    grep -E '^[[:space:]]+[0-9]+ - ' | { if [ -n "$allowed" ]; then grep -Ev -e "$allowed"; else cat; fi } || true)
  rm -f "$log"
  [ "$status" -eq 0 ] || return "$status"
  if [ -n "$skipped" ]; then
    echo "tests that did not run (everything they need is installed, so this is a failure):" >&2
    echo "$skipped" >&2
    return 1
  fi
}

bash scripts/install-deps.sh --windows
export TARNWICK_WERROR=1
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

step "format check" bash scripts/check-format.sh
# The sanitizer build is the test build: warnings as errors, every suite under the address and
# undefined-behaviour sanitizers. (A plain debug build would compile everything a second time for
# no extra check; the one test the address sanitizer cannot run, flat memory, runs under TSan.)
step "sanitize build" bash scripts/build.sh sanitize
step "sanitize tests" run_ctest sanitize '- TableStore\.MemoryStaysFlat \(Skipped\)$'
# clang-tidy needs only the compile commands of a configured build.
step "clang-tidy (core)" bash -c 'cmake --preset debug >/dev/null && bash scripts/check-tidy.sh'
step "tsan build" bash scripts/build.sh tsan
step "tsan tests" run_ctest tsan
step "fuzz targets (10 s each)" bash fuzz/run.sh 10

# ---- Windows steps
# Both Windows programs are cross-built (that runs none of their code). The build this machine
# runs is built whole, the other one its programs only; the suites run from the first.
choose_windows_build
echo "$windows_reason"
windows_bin=build/$windows_preset/bin
if [ "$windows_preset" = windows ]; then
  windows_bits=32 other_preset=windows64 other_bits=64
else
  windows_bits=64 other_preset=windows other_bits=32
fi
# A fresh Wine prefix of that width; every Windows step runs under its one wineserver, started
# by wine_loader. (Plain `wine` starts that loader too once the builds are configured: see below.)
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
wine_for "$windows_bits"
wine_wrappers=
wine_boot_log=$(mktemp)
package_build=
package_log=
windows_cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$package_build" ] || kill -- "-$package_build" 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$wine_boot_log" ${wine_wrappers:+"$wine_wrappers"} ${package_log:+"$package_log"}
}
trap windows_cleanup EXIT
# Wine's first start in the prefix (~15 s) runs while the programs build, on a server that stays.
wine_server_persist
"$wine_loader" wineboot -i >"$wine_boot_log" 2>&1 &
wine_boot=$!

wine_prefix_ready() {
  wait "$wine_boot" && return 0
  local status=$?
  echo "wineboot -i ($wine_loader, $WINEARCH) failed with status $status:" >&2
  tail -n 20 "$wine_boot_log" >&2
  return "$status"
}
# The Windows programs of both builds, each of its width.
windows_widths() {
  local f bits failed=0
  for f in tarnwick.exe ORBFEED.DLL orbfeed.exe; do
    bits=$(pe_bits "build/windows/bin/$f") || bits=none
    [ "$bits" = 32 ] || { echo "build/windows/bin/$f: $bits bits, expected 32" >&2; failed=1; }
    bits=$(pe_bits "build/windows64/bin/$f") || bits=none
    [ "$bits" = 64 ] || { echo "build/windows64/bin/$f: $bits bits, expected 64" >&2; failed=1; }
  done
  return "$failed"
}
# The end-to-end suite under Wine and Xvfb; its skip (77, Wine or a tool missing) is a failure.
windows_e2e() {
  local status=0
  TARNWICK_WINEPREFIX=$WINEPREFIX bash tests/win_e2e/tarnwick_win_e2e.sh "$windows_bin" || status=$?
  [ "$status" -ne 77 ] || echo "the Windows end-to-end suite skipped (status 77)" >&2
  return "$status"
}

step "$windows_preset build ($windows_bits-bit, whole)" bash scripts/build.sh "$windows_preset"
step "$other_preset build ($other_bits-bit, programs)" \
  bash scripts/build.sh "$other_preset" tarnwick ORBFEED orbfeed
step "windows program widths" windows_widths
# Only now `wine` on PATH may become the 64-bit loader: the 32-bit build's configuration looks
# for its test emulator there, and must keep finding the system's `wine`.
wine_on_path
step "wine prefix ($WINEARCH)" wine_prefix_ready
# The Debian package builds meanwhile: the Windows suites mostly wait on Wine and on timers.
# Its own session, so that a run that ends early takes the whole build down with it.
package_log=$(mktemp)
setsid bash scripts/package-linux.sh >"$package_log" 2>&1 &
package_build=$!
step "windows tests ($windows_preset, Wine)" run_ctest "$windows_preset"
step "windows end-to-end ($windows_preset, Wine)" windows_e2e

# ---- Installing for real: the Windows installer of the build the suites ran from, under Wine
# and Xvfb in the same prefix, and the Debian package into a private dpkg root.
debian_package() {
  local status=0
  wait "$package_build" || status=$?
  cat "$package_log"
  [ "$status" -eq 0 ] || return "$status"
  bash tests/install/check_deb.sh "$(tail -n 1 "$package_log")"
}
windows_installer() {
  local setup
  setup=$(bash scripts/make-installer.sh "win$windows_bits" "$windows_bin" | tail -n 1) &&
    TARNWICK_WINEPREFIX=$WINEPREFIX bash tests/install/check_installer.sh "$setup" "$windows_bin" "$wine_loader"
}
step "windows installer ($windows_preset, Wine)" windows_installer
step "debian package" debian_package
package_build=
