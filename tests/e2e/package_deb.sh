#!/usr/bin/env bash
# The Debian package, built by CPack from the existing build folder: its control fields,
# lintian (errors fail, warnings are listed), and the programs run from the unpacked
# package.
# Usage: package_deb.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
build=$(dirname "$bin")
source "$(dirname "$0")/lib/common.bash"

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    exit 1
}
deb=$(ls "$work"/out/kelvanor_*.deb)
echo "package: $(basename "$deb")"
field() { dpkg-deb -f "$deb" "$1"; }
arch=$(dpkg --print-architecture)
version=$(sed -n 's/^project(kelvanor VERSION \([0-9.]*\).*/\1/p' "$2/CMakeLists.txt")
check "Package" test "$(field Package)" = kelvanor
check "Version $version" test "$(field Version)" = "$version"
check "Architecture $arch" test "$(field Architecture)" = "$arch"
check "file name" test "$(basename "$deb")" = "kelvanor_${version}_${arch}.deb"
check "Maintainer" bash -c "dpkg-deb -f '$deb' Maintainer | grep -q '<.*@.*>'"
check "Section" test "$(field Section)" = science
check "Description" bash -c "dpkg-deb -f '$deb' Description | grep -q 'side-scan sonar'"
depends=$(field Depends)
echo "Depends: $depends"
# The libraries the programs link, found by dpkg-shlibdeps, and the panel's font.
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libpng16-16 \
    fonts-dejavu-extra; do
    check "Depends on $needed" grep -qxF "$needed" < <(tr ',' '\n' <<<"$depends" | awk '{print $1}')
done

lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
check "lintian finds no error" bash -c "! grep -q '^E: ' '$work/lintian.txt'"

# Installed by dpkg into a throw-away root (its own empty package database; the libraries
# it depends on are the build machine's).
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
check "dpkg --root installs the package" dpkg --root="$root" --force-not-root --force-depends \
    --log=/dev/null --install "$deb"
check "dpkg lists what it installed" bash -c "dpkg --root='$root' -L kelvanor | grep -qx /usr/bin/kelvanor"
export XDG_RUNTIME_DIR="$work/xdg"
check "kelvanor --version" bash -c "'$root/usr/bin/kelvanor' --version | grep -qx 'kelvanor $version'"
check "vkd --help" bash -c "'$root/usr/bin/vkd' --help | grep -qE '^ +synth '"
check "marlinray-sim --help" bash -c "'$root/usr/bin/marlinray-sim' --help | grep -q -- --model"
check "stripped" bash -c "file -b '$root/usr/bin/kelvanor' | grep -q ', stripped'"
# The packaged program does its work: a synthetic recording played back to a picture.
check "vkd synth and render" bash -c "'$root/usr/bin/vkd' synth -o '$work/line.vkd' --pings 50 \
    && '$root/usr/bin/vkd' render '$work/line.vkd' -o '$work/line.png'"

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package: ok"
