#!/bin/bash
# Installs the build into a scratch prefix and validates what a desktop needs from it: the
# binary, the desktop entry, the icon and the AppStream metadata.
#   usage: check_install.sh CMAKE BUILD_DIR
set -euo pipefail

CMAKE=${1:?usage: $0 cmake build-dir}
BUILD=${2:?usage: $0 cmake build-dir}
PREFIX=$(mktemp -d /tmp/lorvane-install.XXXXXX)
trap 'rm -rf "$PREFIX"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || fail "$tool is missing (make deps installs it)"
done

"$CMAKE" --install "$BUILD" --prefix "$PREFIX" >/dev/null

for file in bin/lorvane \
    share/applications/lorvane.desktop \
    share/icons/hicolor/scalable/apps/lorvane.svg \
    share/metainfo/io.github.lorvane.Lorvane.metainfo.xml; do
    [[ -f $PREFIX/$file ]] || fail "$file was not installed"
done
[[ -x $PREFIX/bin/lorvane ]] || fail "bin/lorvane is not executable"

DESKTOP=$PREFIX/share/applications/lorvane.desktop
desktop-file-validate "$DESKTOP"
for line in 'Name=Lorvane' 'Exec=lorvane' 'Icon=lorvane' 'Categories=Utility;'; do
    grep -qxF "$line" "$DESKTOP" || fail "the desktop entry lacks '$line'"
done
grep -q '^Comment=.' "$DESKTOP" || fail "the desktop entry has no comment"

# validate-tree also checks that the metadata's launchable desktop entry is installed.
appstreamcli validate --no-net "$PREFIX/share/metainfo/io.github.lorvane.Lorvane.metainfo.xml"
appstreamcli validate-tree --no-net "$PREFIX"

grep -q '<svg' "$PREFIX/share/icons/hicolor/scalable/apps/lorvane.svg" \
    || fail "the icon is not an SVG"

echo "PASS"
