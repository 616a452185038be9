#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need. Only what is missing
# is installed; running it again costs one dpkg query.
#   scripts/install-deps.sh            what the Linux program, its tests and benchmarks need
#   scripts/install-deps.sh --windows  that, plus the 32-bit Windows cross build and Wine
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
# The Windows build: MinGW-w64 for i686 with posix threads, GoogleTest's sources to build for it,
# and Wine (with its 32-bit part) to run the tests.
windows_packages=(
  g++-mingw-w64-i686-posix googletest wine wine32:i386 wine64 xvfb nsis
)
if [ "${1:-}" = "--windows" ]; then packages+=("${windows_packages[@]}"); fi

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
if [ "${1:-}" = "--windows" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
