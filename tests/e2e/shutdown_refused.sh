#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every way of shutting down refuses (logind wants a password nobody gives): the program says so
# in a window of its own, with the reason on standard error too, and ends with status 1 once the
# user has closed that window.
source "$(dirname "$0")/lib.sh"

e2e_begin
DBUS_SYSTEM_BUS_ADDRESS=$PRIVATE_SYSTEM_BUS dbus-send --system --print-reply \
    --dest=org.freedesktop.login1 /org/freedesktop/login1 org.freedesktop.DBus.Mock.AddMethod \
    string:org.freedesktop.login1.Manager string:PowerOff string:b string: \
    string:'raise dbus.exceptions.DBusException("Interactive authentication required.", name="org.freedesktop.DBus.Error.AccessDenied")' \
    >/dev/null || e2e_fail "could not make logind's stand-in refuse"
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "a shutdown after a countdown of 1 s and a lead time of 1 s"
e2e_choose_action "$main" 1
e2e_set_lead_time "$main" 1
e2e_confirm_countdown "$main" 1
e2e_wait_window "真的要关闭计算机吗？" 10 >/dev/null

e2e_step "the refusal is told in a window, and the program waits for the user"
message=$(e2e_wait_window "$MAIN_TITLE" 10)
mkdir -p "$E2E_ARTIFACTS"
import -window "$message" "$E2E_ARTIFACTS/$E2E_NAME-message.png" 2>/dev/null || true
grep -q 'org.freedesktop.DBus.Error.AccessDenied: Interactive authentication required' "$E2E_LOG" \
    || e2e_fail "standard error does not name logind's refusal"
sleep 1
e2e_running || e2e_fail "the program ended before the user read why"
"$E2E_CLOSE_WINDOW" "$message"
e2e_expect_exit 1 5
e2e_pass
