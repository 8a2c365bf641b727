#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A two-second countdown reminder: the main window hides, the reminder pops up, and
# acknowledging it brings the main window back.
source "$(dirname "$0")/lib.sh"

e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "countdown of 2 s, reminder"
e2e_confirm_countdown "$main" 2
e2e_wait_gone "$MAIN_TITLE" 3

reminder=$(e2e_wait_window "时间到" 8)
e2e_visible "$MAIN_TITLE" && e2e_fail "the main window shows together with the reminder"

e2e_step "acknowledging the reminder"
e2e_click "$reminder" 2640 720 1095 375  # Form4 Command1: 确定
e2e_wait_gone "时间到" 5
e2e_wait_window "$MAIN_TITLE" 5 >/dev/null

e2e_running || e2e_fail "the program ended"
[[ -z $(e2e_recorded) ]] || e2e_fail "a reminder started a program"
e2e_pass
