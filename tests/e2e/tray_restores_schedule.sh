#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# On a desktop with a notification area (trayer, an XEmbed tray), a confirmed countdown hides the
# main window behind a tray icon, and clicking the icon brings the main window back, still armed.
source "$(dirname "$0")/lib.sh"

e2e_make_stubs
e2e_start_xvfb
trayer --edge top --align right --widthtype pixel --width 100 --height 24 \
    >"$E2E_WORK/trayer.log" 2>&1 &
timeout 5 xdotool search --sync --class '^trayer$' >/dev/null 2>&1 \
    || e2e_fail "the notification area did not start: $(cat "$E2E_WORK/trayer.log")"
e2e_start_program
main=$(e2e_wait_window "$MAIN_TITLE")

tray_icon() {
    # The icon is the one window named after the program that carries its class: the windows'
    # hidden group leader carries none.
    xwininfo -root -tree | awk '/"Veltrask": \("veltrask" "Veltrask"\)/ { print $1; exit }'
}

e2e_step "a countdown of 99 s hides the main window behind a tray icon"
e2e_confirm_countdown "$main" 99
e2e_wait_gone "$MAIN_TITLE" 3
icon=""
for _ in $(seq 50); do
    icon=$(tray_icon)
    [[ -n $icon ]] && break
    sleep 0.1
done
[[ -n $icon ]] || e2e_fail "no tray icon while the countdown is armed"

e2e_step "clicking the icon brings the main window back and removes the icon"
xdotool mousemove --sync --window "$icon" 11 11 click 1
e2e_wait_window "$MAIN_TITLE" 5 >/dev/null
sleep 0.5
[[ -z $(tray_icon) ]] || e2e_fail "the tray icon stays while the main window shows"

e2e_running || e2e_fail "the program ended"
[[ -z $(e2e_recorded) ]] || e2e_fail "the tray started a program"
e2e_pass
