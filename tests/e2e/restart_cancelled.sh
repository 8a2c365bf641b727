#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A restart cancelled in the confirmation window: nothing is started, and a main window in its
# initial state comes back while the program goes on running.
source "$(dirname "$0")/lib.sh"

e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")
e2e_snapshot_lower_part "$main" "$E2E_WORK/initial.png"

e2e_step "choosing 重新启动 with a 1 s countdown"
e2e_choose_action "$main" 2
e2e_confirm_countdown "$main" 1

confirmation=$(e2e_wait_window "真的要重新启动吗？" 10)
e2e_step "cancelling"
e2e_click "$confirmation" 1680 840 975 375  # Form3 Command2: 取消
e2e_wait_gone "真的要重新启动吗？" 5
main=$(e2e_wait_window "$MAIN_TITLE" 5)

e2e_running || e2e_fail "the program ended"
e2e_snapshot_lower_part "$main" "$E2E_WORK/after.png"
e2e_same_image "$E2E_WORK/initial.png" "$E2E_WORK/after.png" \
    || e2e_fail "the main window that came back is not in its initial state"

# Nothing is started a little later either.
sleep 2
e2e_running || e2e_fail "the program ended after the cancel"
calls=$(e2e_recorded)
[[ $calls == 'logind Inhibit "idle" "Veltrask" "倒计时 1 秒后重新启动" "block"' ]] \
    || e2e_fail "a cancelled restart did more than hold the computer awake: $calls"
e2e_pass
