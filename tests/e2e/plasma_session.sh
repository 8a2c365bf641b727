#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Plasma's real session services, ksmserver and plasma-shutdown, on the test's own display and
# session bus, with the stand-in for logind on the test's own system bus: nothing can reach the
# machine's. Plasma 6 ends the session through KWin, which then runs on the test's display, its
# XWayland being the session's display: the pictures show the windows as KWin draws them. A
# session client of the test's own (E2E_XSMP_CLIENT) stands for the user's applications and writes
# down what the session asks of it. Each case starts a fresh session, lets the program act through
# it as a user would, and checks from whom logind heard what.
E2E_LIMIT=${E2E_LIMIT:-120}
source "$(dirname "$0")/lib.sh"
e2e_real_sessions_or_skip "Plasma session services"

DATA=$(cd "$(dirname "$0")/../data/dbus" && pwd)
INTERFACE_XML=$(dirname "$0")/interface_xml.py
BUS_CALLERS=$(dirname "$0")/bus_callers.py
[[ -x ${E2E_XSMP_CLIENT:-} ]] || e2e_fail "no session client (E2E_XSMP_CLIENT=${E2E_XSMP_CLIENT:-})"
# Each release's Plasma, as its services introspect: Ubuntu 24.04's 5.27.12 as Debian 12's 5.27.5.
[[ $E2E_RELEASE == trixie ]] && plasma=6.3 || plasma=5.27
for tool in ksmserver plasma-shutdown gdbus $([[ $plasma == 5.* ]] || echo kwin_wayland); do
    command -v "$tool" >/dev/null || e2e_fail "$tool is needed (plasma-workspace, kwin-wayland, gdbus)"
done

e2e_make_stubs
e2e_start_xvfb
E2E_SCREEN=$DISPLAY
e2e_start_buses
mkdir -p "$E2E_ARTIFACTS"

# Every call to logind, with the process that made it.
logind_calls=$E2E_WORK/logind-callers.log
"$private_buses_python" "$BUS_CALLERS" "$PRIVATE_SYSTEM_BUS" org.freedesktop.login1 \
    "$logind_calls" >"$E2E_WORK/bus_callers.log" 2>&1 &
e2e_helper_pids+=("$!")
for _ in $(seq 100); do
    grep -q '^ready$' "$logind_calls" 2>/dev/null && break
    sleep 0.1
done
grep -q '^ready$' "$logind_calls" 2>/dev/null || e2e_fail "logind's calls cannot be watched"

ksmserver_pid="" shutdown_pid="" client_pid="" client_log="" session_manager="" ice_authority=""
kwin_pid="" wayland=()

on_session() {
    env -i "${session_env[@]}" "$@"
}

shutting_down() {
    on_session gdbus call --session --timeout 2 --dest org.kde.ksmserver \
        --object-path /KSMServer --method org.kde.KSMServerInterface.isShuttingDown 2>/dev/null
}

# Whether the process runs; one that has ended but was not yet waited for is a zombie (state Z).
alive() {
    local stat
    [[ -n $1 ]] && stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [[ ${stat:0:1} != Z ]]
}

# A new session in a new home, so that nothing of the last one is restored: KWin on Plasma 6,
# ksmserver, then plasma-shutdown (unless WITH_SHUTDOWN is "no"), which a desktop starts on demand
# and which is started here as the session's own process to be stopped by its id; then the test's
# session client, answering as MODE says.
start_plasma() {
    local case_dir=$E2E_WORK/session-$1 mode=$2 with_shutdown=${3:-yes} i
    mkdir -p "$case_dir/home"
    mkdir -m 700 -p "$case_dir/runtime"
    session_env=(
        HOME="$case_dir/home" XDG_RUNTIME_DIR="$case_dir/runtime"
        DBUS_SESSION_BUS_ADDRESS="$PRIVATE_SESSION_BUS" DBUS_SYSTEM_BUS_ADDRESS="$PRIVATE_SYSTEM_BUS"
        PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true
        KDE_SESSION_VERSION=${plasma%%.*} QT_QUICK_BACKEND=software LIBGL_ALWAYS_SOFTWARE=1
    )
    DISPLAY=$E2E_SCREEN wayland=()
    if [[ $plasma != 5.* ]]; then
        # KWin starts the program it is given with its XWayland's display, which that one writes.
        env -i "${session_env[@]}" kwin_wayland --x11-display "$E2E_SCREEN" --xwayland \
            --no-lockscreen "/bin/sh -c 'echo \$DISPLAY >$case_dir/xwayland'" \
            >"$case_dir/kwin.log" 2>&1 &
        kwin_pid=$!
        e2e_helper_pids+=("$kwin_pid")
        for i in $(seq 100); do
            [[ -s $case_dir/xwayland ]] && break
            sleep 0.1
        done
        DISPLAY=$(cat "$case_dir/xwayland") || e2e_fail "no KWin: $(cat "$case_dir/kwin.log")"
        wayland=(XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY="$case_dir/runtime/wayland-0")
    fi
    session_env+=(DISPLAY="$DISPLAY" "${wayland[@]}")
    # Started without a shell function between, so that $! is the service's own id.
    env -i "${session_env[@]}" ksmserver --no-lockscreen >"$case_dir/ksmserver.log" 2>&1 &
    ksmserver_pid=$!
    e2e_helper_pids+=("$ksmserver_pid")
    if [[ $with_shutdown == yes ]]; then
        # It stays after asking logind, even after its bus has gone, until it is stopped.
        env -i "${session_env[@]}" plasma-shutdown >"$case_dir/plasma-shutdown.log" 2>&1 &
        shutdown_pid=$!
        e2e_helper_pids+=("$shutdown_pid")
    fi
    # ksmserver writes the address its clients reach it at a moment after it is on the bus.
    session_manager=""
    for i in $(seq 100); do
        session_manager=$(head -n1 "$case_dir"/runtime/KSMserver_* 2>/dev/null) || true
        [[ -n $session_manager ]] && shutting_down >/dev/null && { [[ $with_shutdown != yes ]] \
            || on_session gdbus call --session --timeout 2 --dest org.kde.Shutdown \
                --object-path /Shutdown --method org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1; } \
            && break
        sleep 0.1
    done
    [[ -n $session_manager ]] \
        || e2e_fail "ksmserver did not start:"
    # Plasma 5.27.5 names it ICEauthority, later ones make a file of their own.
    for ice_authority in "$case_dir"/runtime/{ICEauthority,iceauth_*}; do
        [[ -e $ice_authority ]] && break
    done
    client_log=$case_dir/client.log
    env -i "${session_env[@]}" SESSION_MANAGER="$session_manager" ICEAUTHORITY="$ice_authority" \
        "$E2E_XSMP_CLIENT" "$mode" "$client_log" >"$case_dir/client.err" 2>&1 &
    client_pid=$!
    e2e_helper_pids+=("$client_pid")
    for i in $(seq 50); do
        grep -q ' registered ' "$client_log" 2>/dev/null && return
        sleep 0.1
    done
    e2e_fail "the session client did not register: $(cat "$case_dir/client.err")"
}

stop_plasma() {
    local pid
    for pid in "$client_pid" "$shutdown_pid" "$ksmserver_pid" "$kwin_pid"; do
        [[ -n $pid ]] || continue
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    # Stopped by a signal, ksmserver leaves its listening socket behind.
    [[ -z $ksmserver_pid ]] || rm -f "/tmp/.ICE-unix/$ksmserver_pid"
    ksmserver_pid="" shutdown_pid="" client_pid="" kwin_pid=""
}

check_interface() {
    local service=$1 path=$2 interface=$3 committed=$DATA/$4
    on_session gdbus introspect --session --dest "$service" --object-path "$path" --xml \
        | /usr/bin/python3 "$INTERFACE_XML" "$interface" >"$E2E_WORK/$4" \
        || e2e_fail "no $interface to introspect at $service $path"
    diff -u "$committed" "$E2E_WORK/$4" >&2 || e2e_fail "the real $service differs from $committed"
}

# The calls to logind since the mark, as "WHO METHOD ARGS" with WHO one of program,
# plasma-shutdown, ksmserver or a process id; questions (Can…) left out.
logind_mark() {
    logind_from=$(($(wc -l <"$logind_calls") + 1))
}
logind_since_mark() {
    tail -n "+$logind_from" "$logind_calls" | while read -r _ pid call; do
        case $pid in
            "$program_pid") pid=program ;;
            "$shutdown_pid") pid=plasma-shutdown ;;
            "$ksmserver_pid") pid=ksmserver ;;
        esac
        [[ $call == Can* ]] || echo "$pid $call"
    done
}

# When logind first heard CALL from plasma-shutdown, in wall-clock milliseconds.
wait_logind() {
    local call=$1 deadline=$((SECONDS + 15)) line
    until line=$(tail -n "+$logind_from" "$logind_calls" | grep -m1 " $shutdown_pid $call\$"); do
        ((SECONDS < deadline)) || e2e_fail "plasma-shutdown did not ask logind for $call: $(logind_since_mark)"
        sleep 0.1
    done
    echo "${line%% *}"
}

# When the session client got MESSAGE first, in wall-clock milliseconds; nothing if it did not.
client_got() {
    grep -m1 " $1" "$client_log" | cut -d' ' -f1
}

e2e_step "the real services offer what the program calls"
start_plasma interfaces save
check_interface org.kde.Shutdown /Shutdown org.kde.Shutdown "plasma-shutdown-$plasma.xml"
check_interface org.kde.ksmserver /KSMServer org.kde.KSMServerInterface "ksmserver-$plasma.xml"
stop_plasma

# Each row: the case; the action and its place below 提醒我 in the list; whether plasma-shutdown
# runs (without it, ksmserver's own logout(…) answers and hands the call on to nobody); whether
# the program is one of the session's clients (started by the session, with its SESSION_MANAGER,
# so that the session's end reaches it as Die) or runs beside it (and sees only ksmserver leave,
# or on Plasma 6 its display end first); how the test's application answers the log-out; the
# outcome; what plasma-shutdown then asks of logind.
cases=(
    "shutdown 关闭计算机 1 yes yes save   ended    PowerOff true"
    "restart  重新启动   2 yes no  save   ended    Reboot true"
    "logoff   注销       3 yes yes save   ended    -"
    "refused  关闭计算机 1 yes yes cancel declined -"
    "unserved 关闭计算机 1 no  yes save   failed   -"
)
for row in "${cases[@]}"; do
    read -r name action steps with_shutdown joins answer outcome expected <<<"$row"
    # ksmserver's own logout(…) only where it still offers it.
    [[ $with_shutdown == yes ]] || grep -q '"logout"' "$DATA/ksmserver-$plasma.xml" || continue
    e2e_step "$name: $action through Plasma, the session's application answering $answer"
    start_plasma "$name" "$answer" "$with_shutdown"
    # No window system chosen for it: it chooses as it does in a user's session.
    E2E_ENV=(XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=${plasma%%.*}
        "${wayland[@]}" QT_QPA_PLATFORM=)
    if [[ $joins == yes ]]; then
        E2E_ENV+=(SESSION_MANAGER="$session_manager" ICEAUTHORITY="$ice_authority")
    fi
    logind_mark
    e2e_start_program
    program_pid=$e2e_program_pid
    main=$(e2e_wait_window "$MAIN_TITLE")
    [[ $answer == cancel ]] && e2e_snapshot_lower_part "$main" "$E2E_WORK/initial.png"
    e2e_choose_action "$main" "$steps"
    e2e_set_lead_time "$main" 1
    e2e_confirm_countdown "$main" 1
    e2e_wait_gone "$MAIN_TITLE" 3
    hold="program Inhibit \"idle\" \"Veltrask\" \"倒计时 1 秒后$action\" \"block\""

    if [[ $outcome == ended ]]; then
        if [[ $expected != - ]]; then
            asked=$(wait_logind "$expected")
        fi
        e2e_expect_exit 0 15
        [[ ! -s $E2E_LOG ]] || e2e_fail "$name: the program told of a failure: $(cat "$E2E_LOG")"
        for _ in $(seq 50); do
            alive "$ksmserver_pid" || break
            sleep 0.1
        done
        alive "$ksmserver_pid" && e2e_fail "$name: the session still runs"
        saved=$(client_got "SaveYourself shutdown=1")
        died=$(client_got Die)
        [[ -n $saved && -n $died ]] \
            || e2e_fail "$name: the application was not asked to save and end: $(cat "$client_log")"
        if [[ $expected != - ]]; then
            ((died <= asked)) || e2e_fail "$name: logind was asked before the application ended"
            want=$(printf '%s\nplasma-shutdown %s' "$hold" "$expected")
        else
            want=$hold
        fi
    elif [[ $outcome == declined ]]; then
        # The user's no: the program comes back as after its own 取消, and nothing else is tried.
        main=$(e2e_wait_window "$MAIN_TITLE" 15)
        [[ -n $(client_got ShutdownCancelled) ]] \
            || e2e_fail "$name: the log-out was not cancelled: $(cat "$client_log")"
        DISPLAY=$E2E_SCREEN import -window root "$E2E_ARTIFACTS/$E2E_NAME-refused.png"
        e2e_snapshot_lower_part "$main" "$E2E_WORK/after.png"
        e2e_same_image "$E2E_WORK/initial.png" "$E2E_WORK/after.png" \
            || e2e_fail "$name: the main window that came back is not a fresh one"
        sleep 2
        e2e_running || e2e_fail "$name: the program ended after the log-out was cancelled"
        alive "$ksmserver_pid" || e2e_fail "$name: the session ended after all"
        [[ $(shutting_down) == '(false,)' ]] || e2e_fail "$name: ksmserver still ends the session"
        asks=$(grep -c "SaveYourself shutdown=1" "$client_log")
        ((asks == 1)) || e2e_fail "$name: the session was asked to end $asks times"
        [[ ! -s $E2E_LOG ]] || e2e_fail "$name: the program told of a failure: $(cat "$E2E_LOG")"
        kill -KILL "$e2e_program_pid"
        wait "$e2e_program_pid" 2>/dev/null || true
        e2e_program_pid=""
        want=$hold
    else
        # ksmserver answered and nothing came of it: a failure told in a window and on standard
        # error, not a shutdown taken for done, and not logind behind the session's back.
        message=$(e2e_wait_window "$MAIN_TITLE" 15)
        grep -q 'org.kde.KSMServerInterface.logout' "$E2E_LOG" \
            || e2e_fail "$name: standard error does not name the way that failed: $(cat "$E2E_LOG")"
        import -window root "$E2E_ARTIFACTS/$E2E_NAME-unserved.png"
        alive "$ksmserver_pid" || e2e_fail "$name: the session ended"
        [[ -z $(client_got "SaveYourself shutdown=1") ]] \
            || e2e_fail "$name: the session was asked to end: $(cat "$client_log")"
        "$E2E_CLOSE_WINDOW" "$message"
        e2e_expect_exit 1 5
        want=$hold
    fi
    calls=$(logind_since_mark)
    [[ $calls == "$want" ]] || e2e_fail "$name: logind heard, from whom:
$calls
expected:
$want"
    stop_plasma
done
e2e_pass
