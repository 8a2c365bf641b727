#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installed menu entry and software-centre entry pass the freedesktop.org validators, offline.
source "$(dirname "$0")/lib.sh"

prefix=$WORK/prefix
install_into "$prefix"

desktop-file-validate "$prefix/share/applications/$APP_ID.desktop" \
    || fail "desktop-file-validate found errors"
# Warnings count as failures; the reverse-DNS id with capitals is only a pedantic hint.
appstreamcli validate --no-net --no-color "$prefix/share/metainfo/$APP_ID.metainfo.xml" \
    >"$WORK/metainfo.log" 2>&1 || { cat "$WORK/metainfo.log" >&2; fail "appstreamcli validate"; }
cat "$WORK/metainfo.log"
if grep -qE '^ *[EW]:' "$WORK/metainfo.log"; then
    fail "appstreamcli reports errors or warnings"
fi
# The whole tree: the launchable menu entry and the icon are found where the metainfo says.
appstreamcli validate-tree --no-net --no-color "$prefix" >"$WORK/tree.log" 2>&1 \
    || { cat "$WORK/tree.log" >&2; fail "appstreamcli validate-tree"; }

echo "PASS: $TEST_NAME"
