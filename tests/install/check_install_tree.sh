#!/usr/bin/env bash
# `cmake --install` for real: installs a build into a temporary prefix, moves the tree elsewhere
# (it must run from anywhere), checks the layout (programs, the private library folder, desktop
# entry, icon sizes, manual pages, docs), then runs the installed pump off screen without
# LD_LIBRARY_PATH: it must find and load the installed library in its private folder, serve a
# history request from the installed orbfeed, unload, and write its list file beside itself.
# Usage: check_install_tree.sh BUILD_DIR      (exit status 77: the build lacks a piece)
set -u
build=$(cd "$1" && pwd)
for f in tarnwick orbfeed libORBFEED.so; do
    [[ -e $build/bin/$f ]] || { echo "SKIP: $build/bin/$f not built"; exit 77; }
done
source "$(dirname "$0")/installed_pump.sh"

cmake --install "$build" --prefix "$work/installed" >"$work/install.out" 2>&1 ||
    fail "cmake --install: $(tail -n 5 "$work/install.out")"
mkdir "$work/elsewhere"
mv "$work/installed" "$work/elsewhere/tree"
prefix=$work/elsewhere/tree

library=$(find "$prefix" -path '*/tarnwick/libORBFEED.so')
[[ -n $library && $(dirname "$(dirname "$library")") == "$prefix"/lib* ]] ||
    fail "no libORBFEED.so in a private folder <libdir>/tarnwick: $(cd "$prefix" && find . -name 'libORBFEED*')"
expected=(
    bin/tarnwick bin/orbfeed
    share/applications/tarnwick.desktop
    share/icons/hicolor/scalable/apps/tarnwick.svg
    share/man/man1/tarnwick.1.gz share/man/man1/orbfeed.1.gz
    share/doc/tarnwick/README.md share/doc/tarnwick/copyright share/doc/tarnwick/changelog.gz
    share/doc/tarnwick/docs/host-tool.md
)
for size in 16 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x$size/apps/tarnwick.png"); done
for f in "${expected[@]}"; do [[ -s $prefix/$f ]] || fail "$f not installed"; done
# Each PNG has the size of its folder (width and height from the PNG header).
for size in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/tarnwick.png
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [[ "$w $h" == "$size $size" ]] || fail "the ${size}x$size icon is $w x $h"
done
grep -qx 'Exec=tarnwick' "$prefix/share/applications/tarnwick.desktop" &&
    grep -qx 'Icon=tarnwick' "$prefix/share/applications/tarnwick.desktop" ||
    fail "the desktop entry does not start tarnwick with its icon"

serve_request "$prefix/bin" "$library"
echo "PASS"
