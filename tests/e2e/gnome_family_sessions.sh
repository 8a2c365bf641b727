#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real session managers that answer on org.gnome.SessionManager (GNOME's with its shell,
# MATE's and Cinnamon's), each release's own, each on the test's own display and session bus, with
# the stand-in for logind on the test's own system bus: nothing can reach the machine's. The
# program acts through each as a user would, and the records show who asked logind for what. Each
# real service's interface must also still be the one committed in tests/data/dbus for its
# release, which the mocks are checked against.
E2E_LIMIT=${E2E_LIMIT:-300}
source "$(dirname "$0")/lib.sh"
e2e_real_sessions_or_skip "GNOME, MATE and Cinnamon session managers"

DATA=$(cd "$(dirname "$0")/../data/dbus" && pwd)
INTERFACE_XML=$(dirname "$0")/interface_xml.py
SESSION_CLIENT=$(dirname "$0")/session_client.py
# What differs between releases: the desktops besides GNOME (Ubuntu has no Cinnamon), the
# interface each session manager introspects (a release whose interface is byte for byte an
# earlier one's shares its file), and GNOME's end-session dialog on the 1024x768 screen: its Cancel
# and its Power Off (x y each), and its colour at (330,310).
case $E2E_RELEASE in
    bookworm) gnome_dialog=(401 455 621 455 "#303030") gnome_xml=43 ;;
    trixie) gnome_dialog=(420 432 603 432 "#36363A") gnome_xml=43 ;;
    noble) gnome_dialog=(401 446 621 446 "#353535") gnome_xml=46 ;;
esac
others=("mate MATE mate-session-1.26.xml")
case $E2E_RELEASE in
    bookworm) others+=("cinnamon Cinnamon cinnamon-session-5.6.xml") ;;
    # Cinnamon 6.4 shows an application's refusal only in its own dialog, which its Request… ways
    # and a log-off without asking never open: the session waits in its end with no one asked.
    trixie) others+=("cinnamon Cinnamon cinnamon-session-5.6.xml unasked") ;;
esac
for tool in gnome-session gnome-shell gdbus glib-compile-schemas "${others[@]/ */-session}"; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is needed (Debian gnome-session, gnome-shell,
mate-session-manager, cinnamon-session, libglib2.0-bin)"
done

# A session manager that ignores SIGTERM (see stop_process) goes before the rest is cleaned up.
trap 'session_status=$?; set +e; stop_session; (exit "$session_status"); e2e_cleanup' EXIT

e2e_make_stubs
e2e_start_xvfb
e2e_start_buses
mkdir -p "$E2E_ARTIFACTS" "$E2E_WORK/empty"

# The session manager of the current case, what it started, and the test's session client.
session_pid=""
session_children=()
client_pid=""
client_log=""
desktop=""

on_session() {
    env -i "${session_env[@]}" "$@"
}

sm_call() {
    on_session gdbus call --session --timeout 5 --dest org.gnome.SessionManager "$@"
}

# Ends the session manager first, then what it started (the shell, the dummy component),
# each by its process id.
stop_session() {
    local pid forked=()
    # And what those forked: a child hung before its exec holds the shell's bus names.
    [[ -z ${session_children[*]} ]] \
        || mapfile -t forked < <(pgrep -P "$(IFS=,; echo "${session_children[*]}")")
    for pid in "$session_pid" "${session_children[@]}" "${forked[@]}" "$client_pid"; do
        [[ -n $pid ]] && stop_process "$pid"
    done
    session_pid="" client_pid=""
    session_children=()
}

# Cinnamon's session manager, once it has asked logind to power off, waits for the end of the
# machine and does not heed SIGTERM.
stop_process() {
    local pid=$1 i
    kill "$pid" 2>/dev/null || return 0
    for i in $(seq 30); do
        kill -0 "$pid" 2>/dev/null && [[ $(ps -o stat= -p "$pid") != Z* ]] || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

session_alive() {
    kill -0 "$session_pid" 2>/dev/null && [[ $(ps -o stat= -p "$session_pid") != Z* ]]
}

# The settings and files each desktop's session manager needs to run with nothing else.
prepare_desktop() {
    desktop=$1
    local home=$E2E_WORK/home-$desktop
    mkdir -p "$home/.config" "$home/.local/share/applications" "$E2E_WORK/autostart-$desktop"
    session_env=(
        DISPLAY="$DISPLAY" HOME="$home" XDG_RUNTIME_DIR="$E2E_WORK/runtime"
        DBUS_SESSION_BUS_ADDRESS="$PRIVATE_SESSION_BUS" DBUS_SYSTEM_BUS_ADDRESS="$PRIVATE_SYSTEM_BUS"
        PATH=/usr/bin:/bin LANG=C.UTF-8
    )
    # A component that stays, so that the session's environment can be read from it.
    local dummy="[Desktop Entry]
Type=Application
Name=Dummy
Exec=/bin/sleep 600"
    case $desktop in
        gnome)
            mkdir -p "$home/.config/gnome-session/sessions"
            printf '[GNOME Session]\nName=Test\nRequiredComponents=org.gnome.Shell;\n' \
                >"$home/.config/gnome-session/sessions/veltrask-test.session"
            session_env+=(XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=x11 LIBGL_ALWAYS_SOFTWARE=1)
            echo "$dummy" >"$E2E_WORK/autostart-gnome/veltrask-test-dummy.desktop"
            # With no systemd on the bus it starts the session itself, on each release.
            session_command=(gnome-session --session=veltrask-test -a "$E2E_WORK/autostart-gnome")
            ;;
        mate)
            mkdir -p "$home/.config/glib-2.0/settings"
            printf '[org/mate/desktop/session]\n%s\n%s\n%s\n' "required-components-list=@as []" \
                "default-session=@as []" "gnome-compat-startup=@as []" \
                >"$home/.config/glib-2.0/settings/keyfile"
            echo "$dummy" >"$E2E_WORK/autostart-mate/veltrask-test-dummy.desktop"
            session_env+=(XDG_CURRENT_DESKTOP=MATE GSETTINGS_BACKEND=keyfile)
            session_command=(mate-session --disable-acceleration-check -a "$E2E_WORK/autostart-mate")
            ;;
        cinnamon)
            mkdir -p "$home/.config/cinnamon-session/sessions" "$E2E_WORK/schemas"
            printf '[Cinnamon Session]\nName=Test\nRequiredComponents=%s;\nDesktopName=X-Cinnamon\n' \
                veltrask-test-dummy >"$home/.config/cinnamon-session/sessions/veltrask-test.session"
            echo "$dummy" >"$home/.local/share/applications/veltrask-test-dummy.desktop"
            # The one settings schema it reads that only Cinnamon's settings daemon installs.
            cat >"$E2E_WORK/schemas/veltrask-test.gschema.xml" <<'SCHEMA'
<schemalist>
  <schema id="org.cinnamon.settings-daemon.plugins.power" path="/org/cinnamon/settings-daemon/plugins/power/">
    <key name="lock-on-suspend" type="b"><default>false</default></key>
  </schema>
</schemalist>
SCHEMA
            glib-compile-schemas "$E2E_WORK/schemas"
            session_env+=(XDG_CURRENT_DESKTOP=X-Cinnamon GSETTINGS_BACKEND=memory
                GSETTINGS_SCHEMA_DIR="$E2E_WORK/schemas")
            session_command=(cinnamon-session --session=veltrask-test -a "$E2E_WORK/empty")
            ;;
    esac
}

# Starts the desktop's session manager afresh and waits until it runs its session and has
# started its component; the program then gets the session's environment, as if the session
# had started it.
start_session() {
    local attempt=${1:-1}
    stop_session
    e2e_sandbox
    # A log of its own for each session: the shell's start is looked for in it.
    env -i "${session_env[@]}" "${session_command[@]}" >"$E2E_WORK/$desktop-session.log" 2>&1 &
    session_pid=$!
    e2e_helper_pids+=("$session_pid")
    local i manager="" running=""
    for i in $(seq 150); do
        manager=$(e2e_session_manager_of "$session_pid") || true
        running=$(sm_call --object-path /org/gnome/SessionManager \
            --method org.gnome.SessionManager.IsSessionRunning 2>/dev/null) || true
        [[ -n $manager && $running == "(true,)" ]] && break
        sleep 0.2
    done
    [[ $running == "(true,)" && -n $manager ]] \
        || e2e_fail "the $desktop session did not start: $(tail -n 5 "$E2E_WORK/$desktop-session.log")"
    mapfile -t session_children < <(pgrep -P "$session_pid")
    e2e_helper_pids+=("${session_children[@]}")
    E2E_ENV=("$(printf '%s\n' "${session_env[@]}" | grep '^XDG_CURRENT_DESKTOP=')"
        SESSION_MANAGER="$manager")
    if [[ $desktop == gnome ]]; then
        # The shell's end-session dialog is what the user answers; give it time to come up.
        for i in $(seq 150); do
            grep -q "GNOME Shell started" "$E2E_WORK/$desktop-session.log" && break
            sleep 0.1
        done
        if ! grep -q "GNOME Shell started" "$E2E_WORK/$desktop-session.log"; then
            # GNOME 43's shell now and then hangs for good in the child it forks to start
            # ibus-daemon, which runs JavaScript between its fork and its exec: start afresh.
            ((attempt < 5)) \
                || e2e_fail "the shell did not start: $(tail -n 5 "$E2E_WORK/$desktop-session.log")"
            e2e_step "  the shell hung in its start; starting the session again"
            start_session $((attempt + 1))
            return
        fi
        # The shell starts in its overview, where a click picks a window instead of reaching it.
        sleep 1
        xdotool key Escape
        sleep 0.5
    fi
}

# An application of the session that agrees to its end or refuses it.
start_client() {
    client_log=$E2E_WORK/$desktop-client-$1.log
    : >"$client_log"
    env -i "${session_env[@]}" /usr/bin/python3 "$SESSION_CLIENT" "$1" "$client_log" &
    client_pid=$!
    e2e_helper_pids+=("$client_pid")
    local i
    for i in $(seq 50); do
        grep -q registered "$client_log" && return
        sleep 0.1
    done
    e2e_fail "the session client did not register"
}

# MATE's session manager waits out a half-minute bound for an X session client that vanishes
# while the session ends: the program, one of them, stays until the session tells it to go.
expect_session_ended() {
    local i
    for i in $(seq 50); do
        session_alive || return 0
        sleep 0.1
    done
    e2e_fail "the $desktop session still runs 5 s after $1"
}

# What logind was asked since the mark, one call a line.
logind_mark() {
    logind_from=$(($(wc -l <"$E2E_WORK/logind.log") + 1))
}
# Questions are left out, and so is GNOME's session manager keeping the computer from sleeping
# while an application of the session holds it.
logind_since_mark() {
    tail -n "+$logind_from" "$E2E_WORK/logind.log" | sed -E 's/^[0-9.]+ //' \
        | grep -v -E '^(emit|GetAll|Can[A-Za-z]+|GetSession|ListSessions)( |$)' \
        | grep -v -E '^Inhibit "[a-z:]+" "root" "user session inhibited" "block"$' || true
}

wait_logind() {
    local pattern=$1 seconds=$2 deadline=$((SECONDS + $2))
    until logind_since_mark | grep -q -E "$pattern"; do
        ((SECONDS < deadline)) || e2e_fail "logind was not asked for $pattern within $seconds s: $(logind_since_mark)"
        sleep 0.1
    done
}

# What logind tells everyone when it goes ahead with a power-off or restart; the stand-in does not.
emit_prepare_for_shutdown() {
    on_session gdbus call --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 \
        --method org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.login1.Manager \
        PrepareForShutdown b "[<true>]" >/dev/null
}

# The program, with the session's environment, chooses ACTION (places below 提醒我 in the list)
# and carries it out after a countdown of COUNTDOWN s and a lead time of 1 s.
program_acts() {
    local steps=$1 countdown=$2 main
    e2e_start_program
    main=$(e2e_wait_window "$MAIN_TITLE")
    e2e_choose_action "$main" "$steps"
    e2e_set_lead_time "$main" 1
    e2e_confirm_countdown "$main" "$countdown"
    e2e_wait_gone "$MAIN_TITLE" 3
}

# The session's window asking about a refusing application, found by the session manager's
# process id; its middle button is Cancel.
cancel_refusal_dialog() {
    local window="" i WINDOW X Y WIDTH HEIGHT SCREEN
    for i in $(seq 100); do
        window=$(xdotool search --onlyvisible --pid "$session_pid" 2>/dev/null | head -n1) || true
        [[ -n $window ]] && break
        sleep 0.1
    done
    [[ -n $window ]] || e2e_fail "$desktop showed no window for the refusing application"
    sleep 0.5
    import -window root "$E2E_ARTIFACTS/$E2E_NAME-$desktop-refused-$1.png" 2>/dev/null || true
    expect_program_waiting
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --sync --window "$window" $((WIDTH / 2 + 36)) $((HEIGHT - 26)) click 1
}

# While the desktop asks the user, the program waits for the answer with no window of its own.
expect_program_waiting() {
    e2e_running || e2e_fail "the program ended while $desktop asked the user"
    [[ -z $(xdotool search --onlyvisible --pid "$e2e_program_pid" 2>/dev/null) ]] \
        || e2e_fail "the program shows a window while $desktop asks the user"
}

# The program is not done after a refusal: it comes back with a window (a fresh main window, or
# the reason it could not) and keeps running.
expect_program_back() {
    e2e_wait_window "$MAIN_TITLE" 30 >/dev/null
    mkdir -p "$E2E_ARTIFACTS"
    import -window root "$E2E_ARTIFACTS/$E2E_NAME-$desktop-back.png" 2>/dev/null || true
    e2e_running || e2e_fail "the program ended after the $desktop session's end was cancelled"
    kill -KILL "$e2e_program_pid"
    wait "$e2e_program_pid" 2>/dev/null || true
    e2e_program_pid=""
}

check_interface() {
    local committed=$DATA/$1
    on_session gdbus introspect --session --dest org.gnome.SessionManager \
        --object-path /org/gnome/SessionManager --xml \
        | /usr/bin/python3 "$INTERFACE_XML" org.gnome.SessionManager >"$E2E_WORK/$1" \
        || e2e_fail "$desktop: no org.gnome.SessionManager to introspect"
    diff -u "$committed" "$E2E_WORK/$1" >&2 \
        || e2e_fail "the real $desktop session manager differs from $committed"
}

# The shell's end-session dialog sits in the middle of the screen, in its release's grey.
gnome_dialog_shown() {
    local shot=$E2E_ARTIFACTS/$E2E_NAME-gnome-dialog-$1.png pixel
    import -window root "$shot"
    pixel=$(convert "$shot" -crop 1x1+330+310 txt:- | tail -n1 | awk '{ print $3 }')
    [[ $pixel == "${gnome_dialog[4]}" ]] || e2e_fail "no end-session dialog on the screen (see $shot)"
}

wait_session_not_running() {
    local i
    for i in $(seq 150); do
        [[ $(sm_call --object-path /org/gnome/SessionManager \
            --method org.gnome.SessionManager.IsSessionRunning 2>/dev/null) == "(false,)" ]] && return
        sleep 0.2
    done
    e2e_fail "the $desktop session was not asked to end"
}

# The inhibitors the session manager lists, as "APP_ID|REASON" lines.
gnome_inhibitors() {
    local path
    for path in $(sm_call --object-path /org/gnome/SessionManager \
        --method org.gnome.SessionManager.GetInhibitors | grep -o "'/[^']*'" | tr -d "'"); do
        printf '%s|%s\n' \
            "$(sm_call --object-path "$path" --method org.gnome.SessionManager.Inhibitor.GetAppId)" \
            "$(sm_call --object-path "$path" --method org.gnome.SessionManager.Inhibitor.GetReason)"
    done
}

gnome_cases() {
    prepare_desktop gnome
    e2e_step "GNOME: the session manager's interface is the committed one"
    start_session
    check_interface "gnome-session-$gnome_xml.xml"

    # The shell's dialog asks about each; for the log-off, which asks nothing, an application's
    # refusal brings it up.
    local row action steps client
    for row in "关闭计算机 1" "重新启动 2" "注销 3 refuse"; do
        read -r action steps client <<<"$row"
        e2e_step "GNOME: Cancel in the shell's dialog after $action is the user's no"
        [[ -z $client ]] || start_client "$client"
        logind_mark
        program_acts "$steps" 1
        e2e_wait_window "真的要${action}吗？" 10 >/dev/null
        wait_session_not_running
        sleep 1                       # the dialog's fade-in
        gnome_dialog_shown "cancel-$steps"
        expect_program_waiting
        xdotool mousemove --sync "${gnome_dialog[@]:0:2}" click 1
        expect_program_back
        [[ -z $(logind_since_mark | grep -v '^Inhibit "idle"') ]] \
            || e2e_fail "logind was asked after a cancel: $(logind_since_mark)"
    done
    stop_process "$client_pid"
    client_pid=""

    e2e_step "GNOME: 注销 ends the session"
    logind_mark
    program_acts 3 1                  # 注销
    expect_session_ended "the program logged it off"
    [[ -z $(logind_since_mark | grep -v '^Inhibit "idle"') ]] \
        || e2e_fail "logind was asked for a log-off the session did: $(logind_since_mark)"
    e2e_expect_exit 0 10

    e2e_step "GNOME: an armed shutdown holds the session from suspending, then Power Off"
    start_session
    logind_mark
    program_acts 1 6                  # 关闭计算机 in 6 s
    [[ $(sm_call --object-path /org/gnome/SessionManager \
        --method org.gnome.SessionManager.IsInhibited 4) == "(true,)" ]] \
        || e2e_fail "the session is not kept from suspending while a shutdown is armed"
    inhibitors=$(gnome_inhibitors)
    grep -q "倒计时 6 秒后关闭计算机" <<<"$inhibitors" \
        || e2e_fail "the program's inhibitor is not listed with its reason: $inhibitors"
    e2e_step "  listed: $inhibitors"
    wait_session_not_running
    [[ $(sm_call --object-path /org/gnome/SessionManager \
        --method org.gnome.SessionManager.IsInhibited 4) == "(false,)" ]] \
        || e2e_fail "the inhibitor is still held while the session ends: $(gnome_inhibitors)"
    sleep 1
    gnome_dialog_shown power-off
    xdotool mousemove --sync "${gnome_dialog[@]:2:2}" click 1
    wait_logind '^PowerOff True' 10
    emit_prepare_for_shutdown
    e2e_expect_exit 0 15
    calls=$(logind_since_mark)
    [[ $calls == 'Inhibit "shutdown" "root" "Preparing to end the session" "delay"
PowerOff True' ]] || e2e_fail "logind was asked for more than the session's power-off: $calls"
    expect_session_ended "it powered off"
    stop_session
}

# MATE's and Cinnamon's session managers ask their applications, then logind themselves.
request_cases() {
    prepare_desktop "$1"
    local name=$2
    e2e_step "$name: the session manager's interface is the committed one"
    start_session
    check_interface "$3"
    # Its settings are read where its schema puts them, or it starts its usual components.
    [[ $1 != mate || $(on_session gsettings get org.mate.session gnome-compat-startup) == "@as []" ]] \
        || e2e_fail "MATE's session manager does not read the test's settings"

    local row action steps method
    for row in "关闭计算机 1 PowerOff" "重新启动 2 Reboot"; do
        read -r action steps method <<<"$row"
        e2e_step "$name: $action asks the session's application, then logind"
        start_session
        start_client agree
        logind_mark
        program_acts "$steps" 1
        wait_logind "^$method True" 15
        grep -q '^QueryEndSession' "$client_log" && grep -q '^EndSession' "$client_log" \
            || e2e_fail "the application was not asked to end: $(cat "$client_log")"
        calls=$(logind_since_mark | sort -u)
        [[ $calls == "$method True" ]] || e2e_fail "logind was asked for more than $method: $calls"
        # As logind does when it goes ahead; Cinnamon's session manager waits for it.
        emit_prepare_for_shutdown
        e2e_expect_exit 0 10
        stop_session
    done

    local refusals=("关闭计算机 1" "注销 3")
    [[ -z ${4:-} ]] || refusals=()
    start_session
    start_client refuse
    for row in "${refusals[@]}"; do
        read -r action steps <<<"$row"
        e2e_step "$name: an application that refuses $action keeps the session running"
        logind_mark
        program_acts "$steps" 1
        cancel_refusal_dialog "$steps"
        expect_program_back
        [[ -z $(logind_since_mark | grep -v '^Inhibit "idle"') ]] \
            || e2e_fail "logind was asked although an application refused: $(logind_since_mark)"
        grep -q '^CancelEndSession' "$client_log" || e2e_fail "the end was not cancelled"
        : >"$client_log"
    done
    stop_process "$client_pid"
    client_pid=""

    e2e_step "$name: 注销 ends the session"
    start_client agree
    logind_mark
    program_acts 3 1
    expect_session_ended "the program logged it off"
    [[ -z $(logind_since_mark | grep -v '^Inhibit "idle"') ]] \
        || e2e_fail "logind was asked for a log-off the session did: $(logind_since_mark)"
    e2e_expect_exit 0 10
    stop_session
}

gnome_cases
for row in "${others[@]}"; do
    request_cases $row
done
e2e_pass
