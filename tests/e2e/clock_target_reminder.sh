#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real clock: the program starts at 23:59:48 by its own clock, a reminder target of 23:59:58
# is typed, and the reminder pops up in the tick after that second, that is just after 23:59:59,
# eleven seconds after the start; not a second earlier, when the clock first reads 23:59:58.
source "$(dirname "$0")/lib.sh"

e2e_fake_clock "2024-02-29 23:59:48"
e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "typing the target 23:59:58"
e2e_click "$main" 840 600 615 270      # Text1; each full field hands on to the next
e2e_type 235958
typed=$(e2e_ms_since_start)
((typed < 9000)) || e2e_fail "typing ended $typed ms after the start: too late for the target"
e2e_click "$main" 2520 1560 1095 375   # Command1: 确定
e2e_wait_gone "$MAIN_TITLE" 3

seen=$(e2e_time_window "时间到" 20)
e2e_step "the reminder came $seen ms after the start (the target second ends at 11000 ms)"
((seen >= 11000)) || e2e_fail "the reminder came early, $seen ms after the start"
((seen <= 12500)) || e2e_fail "the reminder came late, $seen ms after the start"

e2e_running || e2e_fail "the program ended"
[[ -z $(e2e_recorded) ]] || e2e_fail "a reminder started a program"
e2e_pass
