#!/usr/bin/env bash
# Makes a Windows installer with makensis (packaging/windows/tarnwick.nsi) from a Windows build:
#   scripts/make-installer.sh win32 [BIN_DIR]   dist/tarnwick-<version>-setup.exe: the 32-bit
#                                               installer of the 32-bit program (build/windows/bin)
#   scripts/make-installer.sh win64 [BIN_DIR]   dist/tarnwick-<version>-win64-setup.exe: the 64-bit
#                                               installer of the 64-bit program (build/windows64/bin)
# BIN_DIR must hold tarnwick.exe, ORBFEED.DLL and orbfeed.exe. Prints the installer's path.
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${1:?usage: make-installer.sh win32|win64 [BIN_DIR]}
case $arch in
  win32) bin=${2:-build/windows/bin} name_arch= ;;
  win64) bin=${2:-build/windows64/bin} name_arch=-win64 ;;
  *) echo "make-installer: win32 or win64, not $arch" >&2; exit 2 ;;
esac
command -v makensis >/dev/null || { echo "make-installer: makensis is missing (apt-get install nsis)" >&2; exit 1; }
for f in tarnwick.exe ORBFEED.DLL orbfeed.exe; do
  [ -f "$bin/$f" ] || { echo "make-installer: $bin/$f is missing; build it first" >&2; exit 1; }
done
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=dist/tarnwick-$version$name_arch-setup.exe
mkdir -p dist
makensis -V2 -DVERSION="$version" -DARCH="$arch" -DBINDIR="$(realpath "$bin")" \
  -DOUTFILE="$(realpath dist)/$(basename "$out")" packaging/windows/tarnwick.nsi
echo "$out"
