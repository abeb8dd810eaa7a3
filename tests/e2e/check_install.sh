#!/bin/bash
# Builds the Debian package with CPack and checks it: its files and Depends line, lintian, the
# desktop entry and AppStream metadata it installs, and that the binary unpacked from it shows
# its window on a private X server and ends cleanly.
#   usage: check_install.sh CPACK BUILD_DIR VERSION
set -euo pipefail

CPACK=${1:?usage: $0 cpack build-dir version}
BUILD=${2:?usage: $0 cpack build-dir version}
VERSION=${3:?usage: $0 cpack build-dir version}

source "$(dirname "$0")/common.sh"
begin_e2e package

for tool in dpkg-shlibdeps file lintian desktop-file-validate appstreamcli Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (make deps installs it)"
done

# A private umask, as many users have, must not leak into the package's folder modes.
ARCH=$(dpkg --print-architecture)
step "cpack builds lorvane_${VERSION}_${ARCH}.deb"
(umask 077 && "$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out") \
    >"$WORK/cpack.log" 2>&1 || fail "cpack failed"
DEB=$WORK/out/lorvane_${VERSION}_${ARCH}.deb
[[ -f $DEB ]] || fail "no $(basename "$DEB") among: $(ls "$WORK/out")"

step "the product's files, owned by root, and no program but lorvane"
dpkg-deb -c "$DEB" >"$WORK/contents"
for file in bin/lorvane share/applications/io.github.lorvane.Lorvane.desktop \
    share/icons/hicolor/scalable/apps/lorvane.svg \
    share/metainfo/io.github.lorvane.Lorvane.metainfo.xml share/man/man1/lorvane.1.gz; do
    grep -q " \./usr/$file\$" "$WORK/contents" || fail "the package lacks /usr/$file"
done
grep ' \./usr/bin/.' "$WORK/contents" | grep -v ' \./usr/bin/lorvane$' && fail "other programs"
grep -v ' root/root ' "$WORK/contents" && fail "entries not owned by root"
dpkg-deb --fsys-tarfile "$DEB" | tar -xOf - ./usr/share/doc/lorvane/changelog.gz | zcat \
    | head -n1 | grep -qF "lorvane ($VERSION)" || fail "the changelog does not start at $VERSION"

step "Depends names the Qt libraries, the fonts and the platform plugins"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for package in libqt6widgets6 fonts-material-design-icons-iconfont fonts-quicksand \
    qt6-qpa-plugins; do
    grep -qE "(^|, )$package( |,|$)" <<<"$DEPENDS" || fail "Depends lacks $package: $DEPENDS"
done

step "lintian finds no error or warning"
lintian --tag-display-limit 0 --fail-on error,warning "$DEB" || fail "lintian complains"

step "the unpacked desktop entry, icon and metadata validate"
ROOT=$WORK/root
dpkg -x "$DEB" "$ROOT"
DESKTOP=$ROOT/usr/share/applications/io.github.lorvane.Lorvane.desktop
desktop-file-validate "$DESKTOP"
for line in 'Name=Lorvane' 'Exec=lorvane' 'Icon=lorvane' 'Categories=Utility;' \
    'StartupWMClass=lorvane'; do
    grep -qxF "$line" "$DESKTOP" || fail "the desktop entry lacks '$line'"
done
# validate-tree also checks that the metadata's launchable desktop entry is there.
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/io.github.lorvane.Lorvane.metainfo.xml"
appstreamcli validate-tree --no-net "$ROOT/usr"
grep -q '<svg' "$ROOT/usr/share/icons/hicolor/scalable/apps/lorvane.svg" || fail "icon not SVG"

step "the unpacked binary shows its window and ends on SIGTERM with status 0"
start_x 1280 800
LORVANE=$ROOT/usr/bin/lorvane
start_lorvane
stop_lorvane
echo "PASS"
