#!/usr/bin/env bash
# The install rules: everything lands under a DESTDIR where a desktop expects it, and the
# desktop entry, the AppStream metadata and the manual pages pass the field's own checkers.
# Every option a program's --help lists is described in its manual page.
# Usage: install_files.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
build=$(dirname "$bin")
source "$(dirname "$0")/lib/common.bash"

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log"
share="$root/usr/share"
app=org.kelvanor.Kelvanor
for f in usr/bin/kelvanor usr/bin/vkd usr/bin/marlinray-sim \
    "usr/share/applications/$app.desktop" "usr/share/icons/hicolor/scalable/apps/$app.svg" \
    "usr/share/metainfo/$app.metainfo.xml" usr/share/man/man1/kelvanor.1.gz \
    usr/share/man/man1/vkd.1.gz usr/share/man/man1/marlinray-sim.1.gz \
    usr/share/doc/kelvanor/README usr/share/doc/kelvanor/copyright \
    usr/share/doc/kelvanor/changelog.gz; do
    check "installed $f" test -s "$root/$f"
done

check "desktop-file-validate" desktop-file-validate "$share/applications/$app.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml"
# The entry starts the installed program and names the installed icon.
check "desktop entry runs kelvanor" grep -qx 'Exec=kelvanor' "$share/applications/$app.desktop"
check "desktop entry icon" grep -qx "Icon=$app" "$share/applications/$app.desktop"
check "icon is SVG" bash -c "file -b '$share/icons/hicolor/scalable/apps/$app.svg' | grep -q SVG"
check "package README names the dialout group" grep -q dialout "$share/doc/kelvanor/README"

export XDG_RUNTIME_DIR="$work/xdg"
for program in kelvanor vkd marlinray-sim; do
    page="$share/man/man1/$program.1.gz"
    # man reports what groff finds wrong on stderr; a clean page says nothing.
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$work/$program.txt" 2>"$work/$program.warn"
    check "$program(1) formats without warnings" test ! -s "$work/$program.warn"
    cat "$work/$program.warn"
    help=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/$program" --help 2>&1)
    for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        check "$program(1) describes $option" grep -q -- "$option" "$work/$program.txt"
    done
done

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "install files: ok"
