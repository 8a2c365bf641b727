#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A real Xfce session manager on the test's own display and session bus, with the stand-in for
# logind on the test's own system bus, so that nothing can reach the machine's. First the program logs the
# session off (注销, lead time 1 s) and the session really ends; then, in a new session, a user's
# own log-off from the desktop is not held up by the program waiting with a shutdown armed.
source "$(dirname "$0")/lib.sh"

XFCONFD=/usr/lib/${E2E_MULTIARCH:-x86_64-linux-gnu}/xfce4/xfconf/xfconfd
command -v xfce4-session >/dev/null && [[ -x $XFCONFD ]] \
    || e2e_fail "xfce4-session and xfconfd are needed (Debian xfce4-session)"

e2e_make_stubs
e2e_start_xvfb
e2e_start_buses

session_env=(
    DISPLAY="$DISPLAY" HOME="$E2E_WORK/home" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
    DBUS_SESSION_BUS_ADDRESS="$PRIVATE_SESSION_BUS" DBUS_SYSTEM_BUS_ADDRESS="$PRIVATE_SYSTEM_BUS"
    PATH=/usr/bin:/bin XDG_CURRENT_DESKTOP=XFCE
)
session_pid=""

# Starts the session manager and waits until it is idle: before that it refuses to log off.
start_session() {
    e2e_sandbox
    if [[ -z ${xfconfd_pid:-} ]]; then
        env -i "${session_env[@]}" "$XFCONFD" >"$E2E_WORK/xfconfd.log" 2>&1 &
        xfconfd_pid=$!
        e2e_helper_pids+=("$xfconfd_pid")
    fi
    env -i "${session_env[@]}" xfce4-session >"$E2E_WORK/xfce4-session.log" 2>&1 &
    session_pid=$!
    e2e_helper_pids+=("$session_pid")
    local state="" i
    for i in $(seq 150); do
        state=$(env -i "${session_env[@]}" dbus-send --session --print-reply \
            --dest=org.xfce.SessionManager /org/xfce/SessionManager \
            org.xfce.Session.Manager.GetState 2>/dev/null | awk '/uint32/ { print $2 }') || true
        [[ $state == 1 ]] && return
        sleep 0.2
    done
    e2e_fail "the Xfce session did not become idle: $(tail -n 5 "$E2E_WORK/xfce4-session.log")"
}

expect_session_ended() {
    local i
    for i in $(seq 100); do
        kill -0 "$session_pid" 2>/dev/null || return 0
        sleep 0.1
    done
    e2e_fail "the Xfce session still runs after $1"
}

E2E_ENV+=(XDG_CURRENT_DESKTOP=XFCE)

e2e_step "the program logs the Xfce session off"
start_session
# The session manager talks to logind itself (4.20 reads its properties as it starts); only what
# follows the program's start can be the program's.
before_program=$(e2e_logind_mark)
e2e_start_program
main=$(e2e_wait_window "$MAIN_TITLE")
e2e_choose_action "$main" 3           # 注销
e2e_set_lead_time "$main" 1
e2e_confirm_countdown "$main" 1
e2e_expect_exit 0 15
expect_session_ended "the program logged it off"
# Held awake through logind (no power manager runs here); the log-off itself went to Xfce.
calls=$(e2e_recorded "$before_program")
[[ $calls == 'logind Inhibit "idle" "Veltrask" "倒计时 1 秒后注销" "block"' ]] \
    || e2e_fail "logind was asked for more than keeping the computer awake: $calls"

e2e_step "a log-off from the desktop is not held up by an armed shutdown"
start_session
# Started as the session starts its programs, so that it takes part in the session's log-off.
manager=$(e2e_session_manager_of "$session_pid") || e2e_fail "the session's programs have no SESSION_MANAGER"
E2E_ENV+=(SESSION_MANAGER="$manager")
before_program=$(e2e_logind_mark)
e2e_start_program
main=$(e2e_wait_window "$MAIN_TITLE")
e2e_choose_action "$main" 1           # 关闭计算机
e2e_confirm_countdown "$main" 99
e2e_wait_gone "$MAIN_TITLE" 3
env -i "${session_env[@]}" xfce4-session-logout --logout >/dev/null 2>&1 &
expect_session_ended "the user logged off"
calls=$(e2e_recorded "$before_program")
[[ $calls == 'logind Inhibit "idle" "Veltrask" "倒计时 99 秒后关闭计算机" "block"' ]] \
    || e2e_fail "the program did more than keep the computer awake: $calls"
e2e_pass
