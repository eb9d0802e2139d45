#!/usr/bin/env bash
# GDAL for the ARM64 cross build. Debian's libgdal32, and a few libraries it needs, cannot be
# installed for two architectures at once (they are not Multi-Arch: same): installing their
# arm64 form would remove the host's GDAL. Those are unpacked into DIR instead; every other
# arm64 library they need goes in through apt as a :arm64 package beside the host's. The
# headers are the host's: GDAL's configuration header is the same for both 64-bit
# little-endian machines. The ARM64 binaries find the unpacked libraries through
# LD_LIBRARY_PATH under qemu (scripts/arm64.sh); DIR/shlibs names the packages they come from.
# Usage: scripts/arm64_gdal.sh DIR
set -euo pipefail
dir=$1
sudo=$([ "$(id -u)" = 0 ] || echo sudo)
lib="$dir/usr/lib/aarch64-linux-gnu"
[ -e "$lib/libgdal.so" ] && [ -e "$dir/shlibs" ] && exit 0

# One question to apt a package: its arm64 form's fields, or for a package shared by every
# architecture (which apt does not know under :arm64) the shared one's.
# apt's binary cache is kept for these questions even where the system has it turned off (as
# container images do): without it every question reads all the package lists again.
cache=$(mktemp -d)
trap 'rm -rf "$cache"' EXIT
apt_cache() {
    apt-cache -o Dir::Cache::pkgcache="$cache/pkgcache.bin" \
        -o Dir::Cache::srcpkgcache="$cache/srcpkgcache.bin" "$@"
}
fields_of() {
    apt_cache show --no-all-versions "$1:arm64" 2>/dev/null ||
        apt_cache show --no-all-versions "$1" 2>/dev/null || true
}
depends_in() {  # the run-time dependencies in a package's fields, one name a line
    awk '/^(Pre-)?Depends:/ { sub(/^(Pre-)?Depends: /, ""); print }' <<<"$1" | tr ',' '\n' |
        sed 's/(.*)//; s/|.*//; s/:any//; s/ //g' | grep -v -e '^gdal-' -e '^$' || true
}

# gdal-data and the format plugins are left out: the data is the host's, the plugins unused.
unpack=(libgdal32)
install=()
seen=" libgdal32 "
declare -A fields=([libgdal32]="$(fields_of libgdal32)")
queue=(libgdal32)
while [ ${#queue[@]} -gt 0 ]; do
    package=${queue[0]}
    queue=("${queue[@]:1}")
    for dep in $(depends_in "${fields[$package]}"); do
        case "$seen" in *" $dep "*) continue ;; esac
        seen="$seen$dep "
        fields[$dep]=$(fields_of "$dep")
        if grep -q '^Architecture: all' <<<"${fields[$dep]}"; then
            install+=("$dep")  # shared by every architecture
        elif grep -q '^Multi-Arch: \(same\|foreign\)' <<<"${fields[$dep]}"; then
            install+=("$dep:arm64")  # beside the host's own
        else
            unpack+=("$dep")
            queue+=("$dep")
        fi
    done
done

missing=$(for p in "${install[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
done)
if [ -n "$missing" ]; then
    # An arm64 package that conflicts with the host's own would have apt remove the host's:
    # ask apt first, and refuse rather than break the native build.
    # shellcheck disable=SC2086 # the names are words
    removed=$(apt-get -s install --no-install-recommends $missing | grep '^Remv' || true)
    if [ -n "$removed" ]; then
        echo "arm64_gdal.sh: installing$(printf ' %s' $missing) would remove:" >&2
        echo "$removed" >&2
        exit 1
    fi
    echo "Installing for GDAL on ARM64:" $missing
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends $missing
fi

download=$(mktemp -d)
chmod 777 "$download"  # apt fetches as its own user
trap 'rm -rf "$download" "$cache"' EXIT
echo "Unpacking for GDAL on ARM64: ${unpack[*]}"
(cd "$download" && apt-get download -qq $(printf '%s:arm64 ' "${unpack[@]}"))
mkdir -p "$dir"
for deb in "$download"/*.deb; do dpkg-deb -x "$deb" "$dir"; done
# What the unpacked libraries tell dpkg-shlibdeps when installed, for the arm64 package's
# dependencies (make package-arm64): one shlibs file for all of them.
for deb in "$download"/*.deb; do
    rm -rf "$download/control"
    dpkg-deb -e "$deb" "$download/control"
    [ ! -e "$download/control/shlibs" ] || cat "$download/control/shlibs"
done >"$dir/shlibs"
ln -sfn "$(cd "$lib" && ls libgdal.so.* | sort | head -n 1)" "$lib/libgdal.so"
echo "GDAL for ARM64 in $dir"
