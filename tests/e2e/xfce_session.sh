#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A real Xfce session manager, the release's own, on the test's own display and session bus, with
# the stand-in for logind on the test's own system bus, so that nothing can reach the machine's.
# The program logs the session off, and the session really ends; an application of the session
# that keeps unsaved work (E2E_XSMP_CLIENT, cancelling) stops a log-off or a shutdown and the
# program comes back; and a user's own log-off from the desktop is not held up by the program
# waiting with a shutdown armed.
E2E_LIMIT=${E2E_LIMIT:-80}
source "$(dirname "$0")/lib.sh"

XFCONFD=/usr/lib/${E2E_MULTIARCH:-x86_64-linux-gnu}/xfce4/xfconf/xfconfd
command -v xfce4-session >/dev/null && [[ -x $XFCONFD ]] \
    || e2e_fail "xfce4-session and xfconfd are needed (Debian xfce4-session)"
[[ -x ${E2E_XSMP_CLIENT:-} ]] || e2e_fail "no session client (E2E_XSMP_CLIENT=${E2E_XSMP_CLIENT:-})"
DATA=$(cd "$(dirname "$0")/../data/dbus" && pwd)
[[ $E2E_RELEASE == trixie ]] && interface=xfce4-session-4.20.xml || interface=xfce4-session-4.18.xml

e2e_make_stubs
e2e_start_xvfb
e2e_start_buses

session_env=(
    DISPLAY="$DISPLAY" HOME="$E2E_WORK/home" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
    DBUS_SESSION_BUS_ADDRESS="$PRIVATE_SESSION_BUS" DBUS_SYSTEM_BUS_ADDRESS="$PRIVATE_SYSTEM_BUS"
    PATH=/usr/bin:/bin XDG_CURRENT_DESKTOP=XFCE
)
session_pid=""
on_session() {
    env -i "${session_env[@]}" "$@"
}

# Starts the session manager and waits until it is idle: before that it refuses to log off.
start_session() {
    e2e_sandbox
    if [[ -z ${xfconfd_pid:-} ]]; then
        env -i "${session_env[@]}" "$XFCONFD" >"$E2E_WORK/xfconfd.log" 2>&1 &
        xfconfd_pid=$!
        e2e_helper_pids+=("$xfconfd_pid")
    fi
    # Without a shell function between, so that $! is the session manager's own id.
    env -i "${session_env[@]}" xfce4-session >"$E2E_WORK/xfce4-session.log" 2>&1 &
    session_pid=$!
    e2e_helper_pids+=("$session_pid")
    local i
    for i in $(seq 150); do
        [[ $(xfce_state) == 1 ]] && return
        sleep 0.2
    done
    e2e_fail "the Xfce session did not become idle: $(tail -n 5 "$E2E_WORK/xfce4-session.log")"
}

xfce_state() {
    on_session dbus-send --session --print-reply --dest=org.xfce.SessionManager \
        /org/xfce/SessionManager org.xfce.Session.Manager.GetState 2>/dev/null \
        | awk '/uint32/ { print $2 }' || true
}

expect_session_ended() {
    local i
    for i in $(seq 100); do
        kill -0 "$session_pid" 2>/dev/null || return 0
        sleep 0.1
    done
    e2e_fail "the Xfce session still runs after $1"
}

# Kept awake while the action is armed, by whichever way is right: Xfce's power manager, where the
# session runs it (every Xfce desktop does), or logind.
expect_kept_awake() {
    local i
    for i in $(seq 30); do
        [[ $(on_session gdbus call --session --dest org.freedesktop.PowerManagement \
            --object-path /org/freedesktop/PowerManagement/Inhibit \
            --method org.freedesktop.PowerManagement.Inhibit.HasInhibit 2>/dev/null) == "(true,)" ]] \
            && return
        grep -q "Inhibit \"idle\" \"Veltrask\" \"$1\" \"block\"" "$E2E_WORK/logind.log" && return
        sleep 0.1
    done
    e2e_fail "the computer was not kept awake while the action was armed"
}

# What was recorded since the mark besides questions and holds: logind asked to act, by anyone
# (Xfce's power manager asks and holds for itself as it starts).
logind_acted() {
    e2e_recorded "$1" | grep -v -E '^logind (Inhibit|GetAll|Get[A-Za-z]+|List[A-Za-z]+|Can[A-Za-z]+) ' \
        || true
}

E2E_ENV+=(XDG_CURRENT_DESKTOP=XFCE)
start_session
on_session gdbus introspect --session --dest org.xfce.SessionManager \
    --object-path /org/xfce/SessionManager --xml \
    | /usr/bin/python3 "$(dirname "$0")/interface_xml.py" org.xfce.Session.Manager \
        >"$E2E_WORK/$interface"
diff -u "$DATA/$interface" "$E2E_WORK/$interface" >&2 \
    || e2e_fail "the real Xfce session manager differs from $DATA/$interface"
# An application of the session with unsaved work: it cancels every end of the session.
e2e_start_xsmp_client cancel "$E2E_WORK/client.log" "${session_env[@]}" \
    SESSION_MANAGER="$(e2e_session_manager_of "$session_pid")"

# Each row, in one session: the case; the action and its place below 提醒我 in the list; the
# outcome, the application with unsaved work having gone before the last.
cases=(
    "kept    注销       3 back"
    "kept-on 关闭计算机 1 back"
    "logoff  注销       3 ended"
)
for row in "${cases[@]}"; do
    read -r name action steps outcome <<<"$row"
    e2e_step "$name: $action"
    if [[ $outcome == ended ]]; then
        kill "$e2e_client_pid"
        wait "$e2e_client_pid" 2>/dev/null || true
    fi
    # The session manager talks to logind itself (4.20 reads its properties as it starts); only
    # what follows the program's start can be the program's.
    before_program=$(e2e_logind_mark)
    e2e_start_program
    main=$(e2e_wait_window "$MAIN_TITLE")
    e2e_snapshot_lower_part "$main" "$E2E_WORK/initial.png"
    e2e_choose_action "$main" "$steps"
    e2e_set_lead_time "$main" 1
    e2e_confirm_countdown "$main" 2
    expect_kept_awake "倒计时 2 秒后$action"
    if [[ $outcome == ended ]]; then
        e2e_expect_exit 0 15
        expect_session_ended "the program logged it off"
    else
        # The user's no: the program comes back at once, as after its own 取消.
        main=$(e2e_wait_window "$MAIN_TITLE" 8)
        e2e_snapshot_lower_part "$main" "$E2E_WORK/after.png"
        e2e_same_image "$E2E_WORK/initial.png" "$E2E_WORK/after.png" \
            || e2e_fail "$name: the main window that came back is not a fresh one"
        [[ $(xfce_state) == 1 ]] || e2e_fail "$name: the session does not run on as before"
        [[ ! -s $E2E_LOG ]] || e2e_fail "$name: the program told of a failure: $(cat "$E2E_LOG")"
        kill -KILL "$e2e_program_pid"
        wait "$e2e_program_pid" 2>/dev/null || true
        e2e_program_pid=""
    fi
    calls=$(logind_acted "$before_program")
    [[ -z $calls ]] || e2e_fail "$name: logind was asked to act, not Xfce: $calls"
done

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
on_session xfce4-session-logout --logout >/dev/null 2>&1 &
expect_session_ended "the user logged off"
calls=$(logind_acted "$before_program")
[[ -z $calls ]] || e2e_fail "the program acted: $calls"
e2e_pass
