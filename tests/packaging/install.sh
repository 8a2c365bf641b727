#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# cmake --install into a scratch prefix puts exactly the program, its menu entry, its icon and
# its software-centre entry in the places the desktop looks for them, and the three agree.
source "$(dirname "$0")/lib.sh"

prefix=$WORK/prefix
install_into "$prefix"

expected="bin/veltrask
share/applications/$APP_ID.desktop
share/icons/hicolor/scalable/apps/$APP_ID.svg
share/metainfo/$APP_ID.metainfo.xml"
same_list "the installed files" "$expected" "$(files_under "$prefix")"

[[ -x $prefix/bin/veltrask ]] || fail "the program is not executable"

desktop=$prefix/share/applications/$APP_ID.desktop
[[ $(desktop_value "$desktop" Exec) == veltrask ]] || fail "Exec is not the installed program"
[[ -x $prefix/bin/$(desktop_value "$desktop" Exec) ]] || fail "Exec names no installed program"
[[ $(desktop_value "$desktop" Icon) == "$APP_ID" ]] || fail "Icon is not the installed icon"
[[ $(desktop_value "$desktop" Comment) == "$DESCRIPTION" ]] || fail "Comment is not the description"
[[ -n $(desktop_value "$desktop" Name) ]] || fail "no Name"
[[ -n $(desktop_value "$desktop" GenericName) ]] || fail "no GenericName"
[[ $(desktop_value "$desktop" Categories) == *Utility\;* ]] || fail "not in the Utility menu"

icon=$prefix/share/icons/hicolor/scalable/apps/$APP_ID.svg
grep -q '<svg' "$icon" || fail "the icon is no SVG image"

metainfo=$prefix/share/metainfo/$APP_ID.metainfo.xml
grep -q "<id>$APP_ID</id>" "$metainfo" || fail "the metainfo has another id"
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" \
    || fail "the metainfo does not launch the installed menu entry"
grep -q "<release version=\"$VERSION\"" "$metainfo" || fail "the metainfo lacks release $VERSION"
grep -q "<screenshot" "$metainfo" || fail "the metainfo has no screenshot"
grep -qF "$DESCRIPTION" "$metainfo" || fail "the metainfo lacks the description"
grep -q '@[A-Z_]*@' "$metainfo" "$desktop" && fail "a placeholder was left unreplaced"

# Nothing the program needs is searched for beside it.
if readelf -d "$prefix/bin/veltrask" | grep -qE 'RPATH|RUNPATH'; then
    fail "the installed program carries a library search path"
fi

echo "PASS: $TEST_NAME"
