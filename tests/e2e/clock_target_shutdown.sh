#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real clock: shutting down at the clock time 23:59:58 with a lead time of one second. The
# confirmation window opens in the tick after the target second, counts the second down, then
# the power-off request goes to systemd, once, and the program ends.
source "$(dirname "$0")/lib.sh"

e2e_fake_clock "2024-02-29 23:59:48"
e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")

e2e_step "choosing 关闭计算机 with a lead time of 1 s"
e2e_choose_action "$main" 1
e2e_click "$main" 1200 1750 375 270    # Text4: lead time
e2e_key End BackSpace BackSpace BackSpace BackSpace
e2e_type 1

e2e_step "typing the target 23:59:58"
e2e_click "$main" 840 600 615 270      # Text1
e2e_type 235958
typed=$(e2e_ms_since_start)
((typed < 9000)) || e2e_fail "typing ended $typed ms after the start: too late for the target"
e2e_click "$main" 2520 1560 1095 375   # Command1: 确定
e2e_wait_gone "$MAIN_TITLE" 3

seen=$(e2e_time_window "真的要关闭计算机吗？" 20)
e2e_step "the confirmation came $seen ms after the start (the target second ends at 11000 ms)"
((seen >= 11000)) || e2e_fail "the confirmation came early, $seen ms after the start"
((seen <= 12500)) || e2e_fail "the confirmation came late, $seen ms after the start"

e2e_expect_exit 0 8
e2e_step "the program ended $(e2e_ms_since_start) ms after the start"
calls=$(e2e_recorded)
[[ $calls == "systemctl poweroff" ]] || e2e_fail "expected one call 'systemctl poweroff', got: $calls"
e2e_pass
