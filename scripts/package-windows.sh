#!/usr/bin/env bash
# Builds the Windows program and packs dist/tarnwick-<version>-win32.zip:
#   tarnwick.exe and README.txt at the top (they go next to the host's ORBFEED.DLL),
#   testing/ORBFEED.DLL and testing/orbfeed.exe: the stand-in library and host tool, kept apart
#   so that nobody mistakes the stand-in for the host's library.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh windows tarnwick ORBFEED orbfeed
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
bin=build/windows/bin
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
name=tarnwick-$version-win32
mkdir -p "$stage/$name/testing"
cp "$bin/tarnwick.exe" "$stage/$name/"
cp "$bin/ORBFEED.DLL" "$bin/orbfeed.exe" "$stage/$name/testing/"
sed 's/$/\r/' >"$stage/$name/README.txt" <<TEXT
Tarnwick $version for Windows (32-bit)

Install: copy tarnwick.exe into the folder that holds your host application's ORBFEED.DLL and
start it there (or let the host start it). Tarnwick writes its list file "Tarnwick List.DAT"
into the same folder when it closes, so the folder must be writable.

The folder testing\\ holds a stand-in ORBFEED.DLL and its host tool orbfeed.exe, for trying
Tarnwick without the host. Never copy the stand-in over the host's own ORBFEED.DLL. To try it:
copy tarnwick.exe into testing\\, start it, then in a console in that folder:
    orbfeed send "ABC!@#Alpha!@#Stock!@#1!@#1/2/2024!@#Date/Time,Open,High,Low,Close,Volume"
    orbfeed credentials --user me --password secret
    orbfeed unload
Set ORBFEED_TRACE to a file path before starting tarnwick.exe to get a trace of every call.
TEXT
mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage/$name" && zip -qr "$OLDPWD/dist/$name.zip" .)
echo "dist/$name.zip"

# The installers (scripts/make-installer.sh): a 32-bit one of the 32-bit program, the one we ship,
# and a 64-bit one of the 64-bit program.
bash scripts/build.sh windows64 tarnwick ORBFEED orbfeed
bash scripts/make-installer.sh win32
bash scripts/make-installer.sh win64
