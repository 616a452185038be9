#!/usr/bin/env bash
# Builds the Linux program for /usr in a build folder of its own (build/package: the release
# preset with CMAKE_INSTALL_PREFIX=/usr, so that the private library folder is Debian's
# /usr/lib/<multiarch>/tarnwick) and makes dist/tarnwick_<version>_<arch>.deb with CPack.
# Usage: scripts/package-linux.sh         prints the package's path as its last line
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build/package
# Warnings are checked (as errors) by the test builds; this one only makes the package, so a
# compiler's false positive at these optimisation levels does not stop it.
# Debian's own hardening flags (fortified functions, stack protector, full RELRO with immediate
# binding), without debug information: CPack strips the binaries anyway.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed 's/\(^\| \)-g\( \|$\)/ /'; }
compile="$(flags CPPFLAGS) $(flags CXXFLAGS)"
link=$(flags LDFLAGS)
cmake --preset release -B "$build" -DCMAKE_INSTALL_PREFIX=/usr -DTARNWICK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$compile" -DCMAKE_C_FLAGS="$compile" \
  -DCMAKE_EXE_LINKER_FLAGS="$link" -DCMAKE_SHARED_LINKER_FLAGS="$link" >/dev/null
cmake --build "$build" --target tarnwick ORBFEED orbfeed
rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB -B "$PWD/cpack" >/dev/null)
deb=$(ls "$build"/cpack/tarnwick_*.deb)
mkdir -p dist
cp "$deb" dist/
echo "dist/$(basename "$deb")"
