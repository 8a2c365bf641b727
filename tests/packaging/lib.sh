# SPDX-License-Identifier: MIT
# Shared by the packaging tests: each is run as  bash TEST.sh BUILD_DIR  against the build tree
# it belongs to, and works in a scratch folder of its own that is removed at the end.
set -euo pipefail

BUILD_DIR=$1
readonly APP_ID=org.example.Veltrask
readonly VERSION=3.0.0.3
readonly DESCRIPTION="一个可以自动为您关机、注销、重启的程序，还可以设置提醒。"
readonly TEST_NAME=$(basename "$0" .sh)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() {
    echo "FAIL: $TEST_NAME: $*" >&2
    exit 1
}

# Installs the build tree into PREFIX, quietly unless it fails.
install_into() {
    local prefix=$1
    cmake --install "$BUILD_DIR" --prefix "$prefix" >"$WORK/install.log" 2>&1 \
        || { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }
}

# The files under a folder, relative to it, sorted.
files_under() {
    (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort)
}

# Compares two lists given as strings, showing the difference when they are not the same.
same_list() {
    local what=$1 expected=$2 actual=$3
    if [[ $expected != "$actual" ]]; then
        diff -u <(echo "$expected") <(echo "$actual") >&2 || true
        fail "$what differs from what is expected (- expected, + actual)"
    fi
}

# The value of KEY in the [Desktop Entry] group of a .desktop file.
desktop_value() {
    sed -n "/^\[Desktop Entry\]/,/^\[/{s/^$2=//p}" "$1"
}
