#!/usr/bin/env bash
# Builds both Windows programs and packs one zip for each width of the host's feed library:
#   dist/tarnwick-<version>-win32.zip  for a 32-bit ORBFEED.DLL (the host's usual library)
#   dist/tarnwick-<version>-win64.zip  for a 64-bit ORBFEED.DLL
# Each holds tarnwick.exe and README.txt at the top (they go next to the host's ORBFEED.DLL), and
# testing/ORBFEED.DLL and testing/orbfeed.exe of the same width: the stand-in library and host
# tool, kept apart so that nobody mistakes the stand-in for the host's library.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p dist

# package_zip PRESET BITS OTHER_BITS: builds the preset's programs and packs their zip.
package_zip() {
  local preset=$1 bits=$2 other=$3 bin=build/$1/bin name=tarnwick-$version-win$2 f
  bash scripts/build.sh "$preset" tarnwick ORBFEED orbfeed
  for f in tarnwick.exe ORBFEED.DLL orbfeed.exe; do
    [ "$(pe_bits "$bin/$f")" = "$bits" ] || { echo "$bin/$f is not a $bits-bit program" >&2; return 1; }
  done
  mkdir -p "$stage/$name/testing"
  cp "$bin/tarnwick.exe" "$stage/$name/"
  cp "$bin/ORBFEED.DLL" "$bin/orbfeed.exe" "$stage/$name/testing/"
  sed 's/$/\r/' >"$stage/$name/README.txt" <<TEXT
Tarnwick $version for Windows ($bits-bit)

This build is for a host whose ORBFEED.DLL is a $bits-bit library: a program can load only a
library of its own width. Most hosts ship a 32-bit ORBFEED.DLL; for a host with a $other-bit
library take tarnwick-$version-win$other.zip instead. Both builds send the same rows.

Install: copy tarnwick.exe into the folder that holds your host application's ORBFEED.DLL and
start it there (or let the host start it). Tarnwick writes its list file "Tarnwick List.DAT"
into the same folder when it closes, so the folder must be writable.

The folder testing\\ holds a stand-in ORBFEED.DLL ($bits-bit) and its host tool orbfeed.exe, for
trying Tarnwick without the host. Never copy the stand-in over the host's own ORBFEED.DLL. To try
it: copy tarnwick.exe into testing\\, start it, then in a console in that folder:
    orbfeed send "ABC!@#Alpha!@#Stock!@#1!@#1/2/2024!@#Date/Time,Open,High,Low,Close,Volume"
    orbfeed credentials --user me --password secret
    orbfeed unload
Set ORBFEED_TRACE to a file path before starting tarnwick.exe to get a trace of every call.
TEXT
  rm -f "dist/$name.zip"
  (cd "$stage/$name" && zip -qr "$OLDPWD/dist/$name.zip" .)
  echo "dist/$name.zip"
}

package_zip windows 32 64
package_zip windows64 64 32

# The installers (scripts/make-installer.sh): a 32-bit one of the 32-bit program, the one we ship,
# and a 64-bit one of the 64-bit program.
bash scripts/make-installer.sh win32
bash scripts/make-installer.sh win64
