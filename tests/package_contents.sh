#!/bin/sh
# Builds the Debian package of a build tree and checks what it would install.
#   package_contents.sh CPACK BUILD_DIR QT_MAJOR CLI_MAN_PAGES(yes|no)
set -eu

cpack=$1
build=$2
qt=$3
cli_man_pages=$4

command -v dpkg-deb >/dev/null 2>&1 || exit 77

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log" >&2
    fail "cpack"
fi
set -- "$out"/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one .deb, got: $*"
deb=$1

[ "$(dpkg-deb -f "$deb" Package)" = quarvex ] || fail "package name"

id=org.quarvex.quarvex
contents=$(dpkg-deb --contents "$deb")
for path in ./usr/bin/quarvex \
            ./usr/share/applications/$id.desktop \
            ./usr/share/metainfo/$id.metainfo.xml \
            ./usr/share/doc/quarvex/copyright \
            ./usr/share/doc/quarvex/changelog.gz \
            ./usr/share/man/man1/quarvex.1.gz \
            ./usr/share/icons/hicolor/32x32/apps/quarvex.png \
            ./usr/share/icons/hicolor/64x64/apps/quarvex.png \
            ./usr/share/icons/hicolor/256x256/apps/quarvex.png; do
    printf '%s\n' "$contents" | grep -q " $path\$" || fail "$path missing"
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in core gui widgets serialport network; do
    printf '%s\n' "$depends" | grep -Eq "(^|, )libqt${qt}${lib}${qt}a? " || fail "Depends lacks Qt $lib: $depends"
done
# The window's texts need a CJK face, Qt's own menus and dialogs its translations.
printf '%s\n' "$depends" | grep -Eq "(^|, )fonts-wqy-microhei( \| [a-z0-9-]+)*(,|$)" ||
    fail "Depends lacks a CJK font: $depends"
[ "$qt" = 6 ] && translations=qt6-translations-l10n || translations=qttranslations5-l10n
printf '%s\n' "$depends" | grep -Eq "(^|, )$translations(,|$)" ||
    fail "Depends lacks $translations: $depends"

# What lands on disk: the program, a launcher that names it and the icon, a 64 x 64 PNG.
dpkg-deb -x "$deb" "$out/root"
root=$out/root
[ -x "$root/usr/bin/quarvex" ] || fail "program not executable"
desktop=$root/usr/share/applications/$id.desktop
grep -qx 'Exec=quarvex' "$desktop" || fail "desktop Exec"
grep -qx 'Icon=quarvex' "$desktop" || fail "desktop Icon"
grep -qx 'Type=Application' "$desktop" || fail "desktop Type"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop file not valid"
fi
# Software centres pair the metadata with the launcher by this id.
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "metainfo does not launch $id.desktop"
# Every program on the PATH has its page (the command-line ones need help2man).
for program in "$root"/usr/bin/*; do
    name=$(basename "$program")
    [ "$name" = quarvex ] || [ "$cli_man_pages" = yes ] || continue
    gzip -t "$root/usr/share/man/man1/$name.1.gz" 2>/dev/null || fail "no man page for $name"
done
gzip -t "$root/usr/share/doc/quarvex/changelog.gz" || fail "changelog.gz"
# PNG width and height sit at bytes 16-23 of the IHDR chunk.
size=$(od -An -tx1 -j16 -N8 "$root/usr/share/icons/hicolor/64x64/apps/quarvex.png" | tr -d ' \n')
[ "$size" = 0000004000000040 ] || fail "64x64 icon is $size"

echo "ok: $deb"
echo "Depends: $depends"
