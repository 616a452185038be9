#!/usr/bin/env bash
# The Debian package, checked for real: its control fields, that its Depends name the package of
# every library its programs link and that this system satisfies them, lintian (errors and
# warnings fail), then dpkg installs it into an empty root of its own (a private dpkg database
# and install folder, so the system's packages are never touched), the installed tarnwick runs
# off screen without LD_LIBRARY_PATH, the installed orbfeed requests a history and reads the rows
# back, unloads the pump, and dpkg removes the package: nothing may stay but the pump's list file.
# Usage: check_deb.sh DEB       (dist/tarnwick_<version>_<arch>.deb from scripts/package-linux.sh)
set -u
deb=$(realpath "$1")
source "$(dirname "$0")/installed_pump.sh"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == tarnwick ]] || fail "Package: $(field Package)"
version=$(field Version)
[[ $(basename "$deb") == "tarnwick_${version}_$(field Architecture).deb" ]] ||
    fail "file name $(basename "$deb") for version $version"
[[ -n $(field Description) && $(field Description | wc -l) -ge 3 ]] || fail "no long description"
depends=$(field Depends)
dpkg-checkbuilddeps -d "$depends" /dev/null >"$work/deps" 2>&1 ||
    fail "Depends not satisfied here: $(cat "$work/deps")"

# dpkg as a private root: its own database and install folder.
admin=$work/admin root=$work/root
mkdir -p "$admin/updates" "$admin/info" "$root"
touch "$admin/status"
pkg() { dpkg --admindir="$admin" --instdir="$root" --force-not-root --log=/dev/null "$@"; }
# The system's libraries are not in the private database; their packages were checked above.
pkg --force-depends -i "$deb" >"$work/dpkg.out" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.out")"
bin=$root/usr/bin
for f in "$bin/tarnwick" "$bin/orbfeed"; do [[ -x $f ]] || fail "$f not installed"; done
library=$(find "$root/usr/lib" -path '*/tarnwick/libORBFEED.so')
[[ -f $library ]] || fail "no libORBFEED.so in a private folder under /usr/lib"

# Every library the programs link comes from a package that Depends names.
for elf in "$bin/tarnwick" "$bin/orbfeed" "$library"; do
    LD_LIBRARY_PATH= ldd "$elf" >"$work/ldd" 2>&1 || fail "ldd $elf: $(cat "$work/ldd")"
    grep -q 'not found' "$work/ldd" && fail "$elf: $(grep 'not found' "$work/ldd")"
    for needed in $(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        path=$(awk -v n="$needed" '$1 == n { print $3 }' "$work/ldd")
        # dpkg knows a file by the path its package ships (/lib or /usr/lib, link or file).
        owner=
        for candidate in "$path" "/usr$path" "$(realpath "$path")"; do
            owner=$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1)
            [[ -n $owner ]] && break
        done
        [[ -n $owner ]] || fail "$needed ($path) belongs to no package"
        [[ ", $depends," == *", $owner "* || ", $depends," == *", $owner,"* ]] ||
            fail "$(basename "$elf") links $needed from $owner, which Depends does not name: $depends"
    done
done

if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 ||
        fail "lintian: $(grep -v 'root privileges' "$work/lintian")"
else
    echo "note: lintian is not installed; its checks were skipped"
fi

serve_request "$bin" "$library"

pkg -r tarnwick >"$work/dpkg.out" 2>&1 || fail "dpkg -r: $(cat "$work/dpkg.out")"
left=$(cd "$root" && find . -mindepth 1 -not -type d | sort)
[[ $left == "./usr/bin/Tarnwick List.DAT" ]] || fail "left after removal: $left"
empty=$(cd "$root" && find . -mindepth 1 -type d | sort | paste -sd' ')
[[ $empty == "./usr ./usr/bin" ]] || fail "folders left after removal: $empty"
[[ -z $(dpkg-query --admindir="$admin" -W -f='${Status}' tarnwick 2>/dev/null | grep -v not-installed) ]] ||
    fail "dpkg still lists tarnwick: $(dpkg-query --admindir="$admin" -W tarnwick)"
echo "PASS: $(basename "$deb"): $rows rows through the installed pump; removed, the list file stays"
