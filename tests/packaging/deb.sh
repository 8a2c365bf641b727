#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package: built by CPack from this build tree, it depends on the libraries the
# program links (found by dpkg-shlibdeps) and on what it loads at run time, it holds the
# installed files under /usr with a copyright, a changelog and a manual page, and lintian finds
# nothing to object to.
source "$(dirname "$0")/lib.sh"

cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 \
    || { cat "$WORK/cpack.log" >&2; fail "cpack -G DEB failed"; }
shopt -s nullglob
packages=("$WORK"/out/*.deb)
((${#packages[@]} == 1)) || fail "expected one package, found ${#packages[@]}"
deb=${packages[0]}
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "veltrask_${VERSION}_$arch.deb" ]] || fail "package file $(basename "$deb")"

field() {
    dpkg-deb -f "$deb" "$1"
}
[[ $(field Package) == veltrask ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$VERSION" ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Description) == *"$DESCRIPTION"* ]] || fail "the description is missing"

# Depends, one alternative group a line, without version constraints.
depends=$(field Depends | tr ',' '\n' | sed -e 's/([^)]*)//g' -e 's/  */ /g' -e 's/^ //' -e 's/ $//')
echo "Depends:"
echo "$depends" | sed 's/^/  /'
# From dpkg-shlibdeps: the libraries the binary really links, by the names of the release it was
# built on (t64 where the 64-bit time transition renamed them).
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6dbus6 libqt6widgets6; do
    grep -qxF -e "$library" -e "${library}t64" <<<"$depends" || fail "Depends lacks $library"
done
grep -qE 'libqt6core6(t64)? \(>= ' <<<"$(field Depends)" \
    || fail "shlibdeps gave no versioned Qt dependency"
# Loaded at run time, seen by no linker: the sound library is opened at the first beep.
for needed in "qt6-svg-plugins | libqt6svg6" qt6-qpa-plugins "libcanberra0 | libcanberra0t64" \
    "fonts-wqy-microhei | fonts-noto-cjk"; do
    grep -qxF "$needed" <<<"$depends" || fail "Depends lacks $needed"
done
# Every run-time group can be installed here, on the release the package was built for.
while read -r group; do
    [[ -n $group ]] || continue
    installable=false
    for alternative in ${group//|/ }; do
        apt-cache show "$alternative" >/dev/null 2>&1 && installable=true
    done
    $installable || fail "no package of \"$group\" exists on this system's release"
done <<<"$depends"

expected="./usr/bin/veltrask
./usr/share/applications/$APP_ID.desktop
./usr/share/doc/veltrask/changelog.gz
./usr/share/doc/veltrask/copyright
./usr/share/icons/hicolor/scalable/apps/$APP_ID.svg
./usr/share/man/man1/veltrask.1.gz
./usr/share/metainfo/$APP_ID.metainfo.xml"
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
same_list "the package's files" "$expected" "$actual"
dpkg-deb -c "$deb" | awk '$6 == "./usr/bin/veltrask" && !($1 == "-rwxr-xr-x" && $2 == "root/root") {exit 1}' \
    || fail "the program is not an executable owned by root"

# Stripped: the package carries no debugging information.
dpkg-deb -x "$deb" "$WORK/root"
if readelf -S "$WORK/root/usr/bin/veltrask" | grep -q '\.debug_info'; then
    fail "the packaged program is not stripped"
fi

# What dpkg reads as the package's changelog.
gzip -t "$WORK/root/usr/share/doc/veltrask/changelog.gz" || fail "the changelog is no gzip file"
zcat "$WORK/root/usr/share/doc/veltrask/changelog.gz" | head -n1 | grep -qF "veltrask ($VERSION)" \
    || fail "the changelog's first entry is not version $VERSION"

# Every error and warning counts, at Debian's default level.
lintian --no-cfg --fail-on error,warning "$deb" >"$WORK/lintian.log" 2>&1 \
    || { cat "$WORK/lintian.log" >&2; fail "lintian reports errors or warnings"; }
cat "$WORK/lintian.log"

echo "PASS: $TEST_NAME"
