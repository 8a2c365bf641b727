#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# On a desktop without a notification area, a confirmed countdown hides the main window; launching
# the program again brings that window back, still armed, and the second launch ends at once.
source "$(dirname "$0")/lib.sh"

e2e_make_stubs
e2e_start_xvfb
e2e_start_buses
e2e_start_program
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "a countdown of 99 s hides the main window"
e2e_confirm_countdown "$main" 99
e2e_wait_gone "$MAIN_TITLE" 3

e2e_step "a second launch hands over to the first and ends with status 0"
e2e_sandbox
status=0
timeout 10 env -i "${E2E_SANDBOX[@]}" DISPLAY="$DISPLAY" XDG_ACTIVATION_TOKEN=token-of-the-launcher \
    "$E2E_PROGRAM" >"$E2E_WORK/second.log" 2>&1 || status=$?
((status == 0)) || e2e_fail "the second launch ended with status $status: $(cat "$E2E_WORK/second.log")"

e2e_step "the first one shows its main window again"
main=$(e2e_wait_window "$MAIN_TITLE" 5)
[[ $(e2e_windows_titled "$MAIN_TITLE" | wc -l) == 1 ]] \
    || e2e_fail "more than one main window shows"
e2e_running || e2e_fail "the first launch ended"
[[ -z $(e2e_recorded) ]] || e2e_fail "a program was started"
e2e_pass
