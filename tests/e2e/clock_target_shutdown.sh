#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real clock: shutting down at the clock time 23:59:58 with a lead time of one second. The
# confirmation window opens in the tick after the target second, counts the second down, then
# the power-off request goes to logind, once, and the program ends.
source "$(dirname "$0")/lib.sh"

e2e_fake_clock "2024-02-29 23:59:48"
e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "choosing 关闭计算机 with a lead time of 1 s"
e2e_choose_action "$main" 1
e2e_set_lead_time "$main" 1

e2e_type_clock_target "$main"

e2e_expect_in_tick_after_target "真的要关闭计算机吗？" confirmation

e2e_expect_exit 0 8
e2e_step "the program ended $(e2e_ms_since_start) ms after the start"
calls=$(e2e_recorded)
expected='logind Inhibit "idle" "Veltrask" "将在 23:59:58 关闭计算机" "block"
logind PowerOff True'
[[ $calls == "$expected" ]] || e2e_fail "expected the computer held awake, then one power-off, got: $calls"
e2e_pass
