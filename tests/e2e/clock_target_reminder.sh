#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real clock: the program starts at 23:59:48 by its own clock, a reminder target of 23:59:58
# is typed, and the reminder pops up in the tick after that second, that is just after 23:59:59,
# eleven seconds after the start; not a second earlier, when the clock first reads 23:59:58.
source "$(dirname "$0")/lib.sh"

e2e_fake_clock "2024-02-29 23:59:48"
e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_type_clock_target "$main"

e2e_expect_in_tick_after_target "时间到" reminder

e2e_running || e2e_fail "the program ended"
[[ -z $(e2e_recorded) ]] || e2e_fail "a reminder started a program"
e2e_pass
