#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need. Only what is missing
# is installed; running it again costs one dpkg query.
#   scripts/install-deps.sh            what the Linux program, its tests and benchmarks need
#   scripts/install-deps.sh --windows  that, plus both Windows cross builds (32 and 64 bits), Wine,
#                                      Xvfb and xdotool for the Windows tests, zip for packaging
set -euo pipefail
packages=(
  build-essential g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl1-mesa-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3 libcli11-dev
  clang-14 libclang-rt-14-dev llvm-14 clang-format-14 clang-tidy-14
  xvfb xauth x11-apps imagemagick xdotool
  file lintian
  fonts-liberation2
)
# The Windows builds: MinGW-w64 for i686 and x86-64 with posix threads, GoogleTest's sources to
# build for them, Wine to run the tests (64-bit; the 32-bit part below), Xvfb and xdotool for the
# end-to-end suite's window and real clicks, zip and nsis for the packages and installers.
windows_packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb xdotool zip nsis
)
# Wine's 32-bit part runs the 32-bit build's tests where the machine runs 32-bit code. Elsewhere
# it may be useless, or fail to install: that is said, and the tests run from the 64-bit build.
wine32=wine32:i386
if [ "${1:-}" = "--windows" ]; then packages+=("${windows_packages[@]}"); fi

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
if [ "${1:-}" = "--windows" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
updated=
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ "${1:-}" = "--windows" ] && ! installed "$wine32"; then
  echo "Installing: $wine32"
  [ -n "$updated" ] || $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$wine32" ||
    echo "install-deps: $wine32 could not be installed; Windows tests will run from the 64-bit build"
fi
