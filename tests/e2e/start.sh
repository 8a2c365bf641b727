#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The program opens its main window, and closing that window ends it cleanly.
source "$(dirname "$0")/lib.sh"

e2e_begin
main=$(e2e_wait_window "$MAIN_TITLE")
e2e_step "main window $main is up; closing it"
"$E2E_CLOSE_WINDOW" "$main"
e2e_expect_exit 0 8
[[ -z $(e2e_recorded) ]] || e2e_fail "closing the window started a program"
e2e_pass
