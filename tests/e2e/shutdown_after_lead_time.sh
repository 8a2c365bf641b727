#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Shutting down after a one-second countdown and a two-second lead time: the confirmation
# window counts down, then the power-off request goes to logind and the program ends.
source "$(dirname "$0")/lib.sh"

e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "choosing 关闭计算机"
e2e_choose_action "$main" 1

e2e_step "lead time 2 s, countdown 1 s"
e2e_set_lead_time "$main" 2
e2e_confirm_countdown "$main" 1

e2e_wait_window "真的要关闭计算机吗？" 10 >/dev/null
e2e_step "confirmation window is up; waiting for the lead time to run out"
e2e_expect_exit 0 8

calls=$(e2e_recorded)
expected='logind Inhibit "idle" "Veltrask" "倒计时 1 秒后关闭计算机" "block"
logind PowerOff True'
[[ $calls == "$expected" ]] || e2e_fail "expected the computer held awake, then one power-off, got: $calls"
e2e_pass
