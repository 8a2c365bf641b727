# SPDX-License-Identifier: MIT
# Shared steps of the end-to-end tests. Each test sources this file with
#   PROGRAM CLOSE_WINDOW ARTIFACT_DIR
# as its arguments, gets its own X server, and starts the program with a PATH that names only
# stand-ins: whatever the program tries to start is recorded, nothing real is ever reached.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../fakes/private_buses.sh"

E2E_PROGRAM=$1
E2E_CLOSE_WINDOW=$2
E2E_ARTIFACTS=$3
E2E_NAME=$(basename "$0" .sh)
# Every test finishes within this many seconds, whatever hangs.
E2E_LIMIT=${E2E_LIMIT:-60}

# Twips per pixel at 96 dots per inch; the windows are laid out in twips.
readonly TWIPS_PER_PX=15
readonly MAIN_TITLE="VeltraskV3.0正式版"

E2E_WORK=$(mktemp -d)
E2E_STUBS=$E2E_WORK/stubs
E2E_RECORD=$E2E_WORK/record
E2E_LOG=$E2E_WORK/program.log
e2e_xvfb_pid=""
e2e_program_pid=""
e2e_started_ns=""
# More NAME=value settings for the program's environment; set before e2e_begin.
E2E_ENV=()
e2e_watchdog_pid=""
# Helpers started for the test (a private message bus, a notification area), stopped at the end.
e2e_helper_pids=()

e2e_cleanup() {
    local status=$?
    trap - EXIT TERM INT
    if [[ -n $e2e_watchdog_pid ]]; then
        kill "$e2e_watchdog_pid" 2>/dev/null || true
    fi
    if [[ -n $e2e_program_pid ]] && kill -0 "$e2e_program_pid" 2>/dev/null; then
        kill -KILL "$e2e_program_pid" 2>/dev/null || true
    fi
    local pid
    for pid in "${e2e_helper_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    if [[ -n $e2e_xvfb_pid ]]; then
        kill "$e2e_xvfb_pid" 2>/dev/null || true
        wait "$e2e_xvfb_pid" 2>/dev/null || true
    fi
    private_buses_stop
    rm -rf "$E2E_WORK"
    exit "$status"
}
trap e2e_cleanup EXIT
trap 'echo "FAIL: $E2E_NAME: stopped after ${E2E_LIMIT} s" >&2; e2e_dump; exit 1' TERM INT

# The watchdog takes its sleep along when it is stopped, and holds none of the test's output
# open, so that the test ends as soon as its script does.
(
    sleep "$E2E_LIMIT" &
    trap 'kill $! 2>/dev/null; wait $!; exit 0' TERM
    wait $! && kill -TERM $$
) >/dev/null 2>&1 &
e2e_watchdog_pid=$!

# The picture is of E2E_SCREEN where the test sets it: the display a compositor draws on.
e2e_dump() {
    if [[ -n ${DISPLAY:-} ]]; then
        mkdir -p "$E2E_ARTIFACTS"
        DISPLAY=${E2E_SCREEN:-$DISPLAY} import -window root "$E2E_ARTIFACTS/$E2E_NAME-failure.png" \
            2>/dev/null \
            && echo "screen at failure: $E2E_ARTIFACTS/$E2E_NAME-failure.png" >&2
    fi
    echo "--- recorded calls:" >&2
    cat "$E2E_RECORD" >&2 2>/dev/null || true
    echo "--- program output:" >&2
    cat "$E2E_LOG" >&2 2>/dev/null || true
}

e2e_fail() {
    echo "FAIL: $E2E_NAME (${SECONDS} s): $*" >&2
    e2e_dump
    exit 1
}

# The release the test runs on: the real desktop sessions differ from one to the next (their
# versions, how they start, where their dialogs put their buttons).
E2E_RELEASE=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || true

# The real desktop sessions are proven on the releases the program supports; elsewhere the test
# says so in one line and is skipped (status 77, which ctest counts as skipped).
e2e_real_sessions_or_skip() {
    case $E2E_RELEASE in
        bookworm | trixie | noble) ;;
        *)
            echo "skipped: $E2E_NAME runs the real $1 of Debian 12 or 13 or Ubuntu 24.04; this is ${E2E_RELEASE:-another system}"
            exit 77
            ;;
    esac
}

e2e_step() {
    echo "[$E2E_NAME ${SECONDS}s] $*"
}

# The stand-ins for every program the command runner may start. /bin/sh is named by its full
# path, so the stand-ins work with a PATH that holds nothing else.
e2e_make_stubs() {
    mkdir -p "$E2E_STUBS"
    : >"$E2E_RECORD"
    local name
    for name in dbus-send systemctl loginctl xfce4-session-logout xdg-open gnome-session-quit \
        qdbus kdialog xdg-su sudo shutdown reboot poweroff; do
        cat >"$E2E_STUBS/$name" <<STUB
#!/bin/sh
echo "$name \$*" >>'$E2E_RECORD'
exit 0
STUB
        chmod +x "$E2E_STUBS/$name"
    done
}

# Private buses with a stand-in for logind, whose calls e2e_recorded reports as "logind METHOD ARGS".
e2e_start_buses() {
    private_buses_start "$E2E_WORK/buses" || e2e_fail "the private buses did not start"
    private_buses_mock system org.freedesktop.login1 "$E2E_WORK/logind.log" -t logind \
        || e2e_fail "logind's stand-in did not start"
}

e2e_start_xvfb() {
    # -noreset: between two programs the server may have no client at all, and a server that
    # resets then refuses the next program that connects while it does.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$E2E_WORK/display" \
        2>"$E2E_WORK/xvfb.log" &
    e2e_xvfb_pid=$!
    local i
    for i in $(seq 100); do
        [[ -s $E2E_WORK/display ]] && break
        sleep 0.1
    done
    [[ -s $E2E_WORK/display ]] || e2e_fail "Xvfb did not start: $(cat "$E2E_WORK/xvfb.log")"
    export DISPLAY=":$(head -n1 "$E2E_WORK/display")"
}

# The whole environment the program under test gets: stand-ins on PATH, an unknown desktop so that
# logind's ways are the ones tried, and private message buses (once e2e_start_buses has run; none
# at all before), so that only stand-ins are ever reached. Fills the array E2E_SANDBOX; DISPLAY is
# added by the caller.
e2e_sandbox() {
    E2E_SANDBOX=(
        HOME="$E2E_WORK/home"
        XDG_RUNTIME_DIR="$E2E_WORK/runtime"
        PATH="$E2E_STUBS"
        XDG_CURRENT_DESKTOP=X-Test
        QT_QPA_PLATFORM=xcb
        LANG=C.UTF-8
        DBUS_SESSION_BUS_ADDRESS="${PRIVATE_SESSION_BUS:-unix:path=$E2E_WORK/no-session-bus}"
        DBUS_SYSTEM_BUS_ADDRESS="${PRIVATE_SYSTEM_BUS:-unix:path=$E2E_WORK/no-system-bus}"
    )
    mkdir -p "$E2E_WORK/home"
    # The beep goes to ALSA's null device: nobody listens, and where ALSA's default is PipeWire's
    # plugin (pipewire-alsa, which desktop packages bring), that plugin leaks when the sound
    # library lets it go, and LeakSanitizer then ends the sanitized program with status 134.
    printf 'pcm.!default { type null }\n' >"$E2E_WORK/home/.asoundrc"
    mkdir -m 700 -p "$E2E_WORK/runtime"
}

# Starts the program with nothing from the caller's environment but the sanitizer settings.
e2e_start_program() {
    e2e_sandbox
    local environment=("${E2E_SANDBOX[@]}" DISPLAY="$DISPLAY")
    local name
    for name in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
        if [[ -n ${!name:-} ]]; then
            environment+=("$name=${!name}")
        fi
    done
    environment+=("${E2E_ENV[@]}")
    e2e_started_ns=$(date +%s%N)
    env -i "${environment[@]}" "$E2E_PROGRAM" >"$E2E_LOG" 2>&1 &
    e2e_program_pid=$!
}

# Sets the program's clock (and only the program's) to the local time DATE, e.g.
# "2024-03-01 23:59:48", from which it runs on at normal speed. The preloaded library is named by
# E2E_FAKETIME_LIB. The timers keep the real monotonic clock, as they do when a clock is set.
e2e_fake_clock() {
    [[ -r ${E2E_FAKETIME_LIB:-} ]] || e2e_fail "no libfaketime (E2E_FAKETIME_LIB=${E2E_FAKETIME_LIB:-})"
    E2E_ENV+=(
        LD_PRELOAD="$E2E_FAKETIME_LIB"
        FAKETIME="@$1"
        FAKETIME_DONT_FAKE_MONOTONIC=1
        TZ=UTC
    )
}

# Milliseconds since the program was started.
e2e_ms_since_start() {
    echo $((($(date +%s%N) - e2e_started_ns) / 1000000))
}

# Waits up to SECONDS for a visible window titled TITLE, polling often, and prints how many
# milliseconds after the program's start it was first seen.
e2e_time_window() {
    local title=$1 seconds=$2 deadline=$((SECONDS + $2))
    until e2e_visible "$title"; do
        ((SECONDS < deadline)) || e2e_fail "no window \"$title\" within $seconds s"
        e2e_running || e2e_fail "the program ended while waiting for \"$title\""
        sleep 0.05
    done
    e2e_ms_since_start
}

# The real-clock scenarios: the program's clock starts at 23:59:48 (see e2e_fake_clock), the
# target 23:59:58 is typed into Text1 (each full field hands on to the next) and confirmed.
e2e_type_clock_target() {
    local main=$1 typed
    e2e_step "typing the target 23:59:58"
    e2e_click "$main" 840 600 615 270      # Text1
    e2e_type 235958
    typed=$(e2e_ms_since_start)
    ((typed < 9000)) || e2e_fail "typing ended $typed ms after the start: too late for the target"
    e2e_click "$main" 2520 1560 1095 375   # Command1: 确定
    e2e_wait_gone "$MAIN_TITLE" 3
}

# Checks that the window TITLE opens in the tick after the target second typed above: the second
# ends 11000 ms after the start, and the tick comes within a second and a half of that.
e2e_expect_in_tick_after_target() {
    local title=$1 what=$2 seen
    seen=$(e2e_time_window "$title" 20)
    e2e_step "the $what came $seen ms after the start (the target second ends at 11000 ms)"
    ((seen >= 11000)) || e2e_fail "the $what came early, $seen ms after the start"
    ((seen <= 12500)) || e2e_fail "the $what came late, $seen ms after the start"
}

e2e_begin() {
    e2e_make_stubs
    e2e_start_buses
    e2e_start_xvfb
    e2e_start_program
}

# The ids of the program's visible windows whose title is exactly TITLE. The windows are found by
# the program's process id and their titles read from _NET_WM_NAME, which is UTF-8 whatever the
# locale: the older WM_NAME that a search by name reads is in the program's locale, and without one
# a Chinese title cannot be matched in it.
e2e_windows_titled() {
    local title=$1 window
    [[ -n $e2e_program_pid ]] || return 0
    for window in $(xdotool search --onlyvisible --pid "$e2e_program_pid" 2>/dev/null); do
        if [[ $(xdotool getwindowname "$window" 2>/dev/null) == "$title" ]]; then
            echo "$window"
        fi
    done
}

# Prints the id of the visible window whose title is exactly TITLE, waiting up to SECONDS.
e2e_wait_window() {
    local title=$1 seconds=${2:-15} deadline=$((SECONDS + ${2:-15})) window
    until window=$(e2e_windows_titled "$title" | head -n1) && [[ -n $window ]]; do
        ((SECONDS < deadline)) || e2e_fail "no window \"$title\" within $seconds s"
        sleep 0.05
    done
    # Let the window finish its first layout and paint before it is driven.
    sleep 0.5
    echo "$window"
}

e2e_visible() {
    [[ -n $(e2e_windows_titled "$1") ]]
}

# Waits until no visible window has the title, up to SECONDS.
e2e_wait_gone() {
    local title=$1 seconds=${2:-5} deadline=$((SECONDS + ${2:-5}))
    while e2e_visible "$title"; do
        ((SECONDS < deadline)) || e2e_fail "window \"$title\" still visible after $seconds s"
        sleep 0.1
    done
}

# Clicks the middle of a control given in twips relative to the window's client area.
e2e_click() {
    local window=$1 left=$2 top=$3 width=$4 height=$5
    # Relative to the window itself: a window manager's frame moves it within its parent.
    xdotool mousemove --sync --window "$window" \
        $(((left + width / 2) / TWIPS_PER_PX)) $(((top + height / 2) / TWIPS_PER_PX)) click 1
    sleep 0.3
}

# Types SECONDS as the lead time into Text4, in place of what it holds.
e2e_set_lead_time() {
    e2e_click "$1" 1200 1750 375 270  # Text4
    e2e_key End BackSpace BackSpace BackSpace BackSpace
    e2e_type "$2"
}

# Arms a countdown of SECONDS in Text7 and presses 确定.
e2e_confirm_countdown() {
    e2e_click "$1" 120 960 255 255     # Option2: countdown mode
    e2e_click "$1" 2400 960 615 270    # Text7: countdown seconds
    e2e_type "$2"
    e2e_click "$1" 2520 1560 1095 375  # Command1: 确定
}

# Chooses the action N places below the first one ("提醒我") from the list of Combo1: a click
# opens the list, the arrow keys move through it and Return takes the item.
e2e_choose_action() {
    local window=$1 steps=$2 keys=() i
    e2e_click "$window" 120 1320 2295 300  # Combo1
    for ((i = 0; i < steps; ++i)); do
        keys+=(Down)
    done
    e2e_key "${keys[@]}" Return
}

# Saves the window from the countdown row down: what is above (the clock and the focused,
# blinking clock-time fields) changes by itself.
e2e_snapshot_lower_part() {
    local window=$1 file=$2
    local WINDOW X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # Keep the pointer from hovering over a control. Not --sync: a pointer already there never
    # moves, and xdotool would wait for it.
    xdotool mousemove 0 0
    sleep 0.3
    local top=$((900 / TWIPS_PER_PX))
    import -window "$window" -crop "${WIDTH}x$((HEIGHT - top))+0+$top" +repage "$file"
}

e2e_same_image() {
    local difference
    difference=$(compare -metric AE "$1" "$2" null: 2>&1) || true
    if [[ $difference != 0 ]]; then
        mkdir -p "$E2E_ARTIFACTS"
        cp "$1" "$E2E_ARTIFACTS/$E2E_NAME-expected.png"
        cp "$2" "$E2E_ARTIFACTS/$E2E_NAME-actual.png"
        echo "$difference pixels differ; see $E2E_ARTIFACTS/$E2E_NAME-{expected,actual}.png" >&2
        return 1
    fi
}

e2e_type() {
    xdotool type --delay 60 "$1"
    sleep 0.3
}

e2e_key() {
    xdotool key --delay 60 "$@"
    sleep 0.3
}

e2e_running() {
    local stat
    [[ -n $e2e_program_pid ]] || return 1
    stat=$(cat "/proc/$e2e_program_pid/stat" 2>/dev/null) || return 1
    # A child that has ended but not yet been waited for is a zombie: state Z.
    stat=${stat##*) }
    [[ ${stat:0:1} != Z ]]
}

# Waits up to SECONDS for the program to end and checks its exit status.
e2e_expect_exit() {
    local expected=$1 seconds=$2 deadline=$((SECONDS + $2)) status=0
    while e2e_running; do
        ((SECONDS < deadline)) || e2e_fail "the program still runs after $seconds s"
        sleep 0.1
    done
    wait "$e2e_program_pid" || status=$?
    e2e_program_pid=""
    ((status == expected)) || e2e_fail "the program ended with status $status, not $expected"
}

# The recorded calls, one a line. A stand-in started just before the program ended may still be
# writing, so the record is read once it has been quiet for a moment. With a number (from
# e2e_logind_mark), logind's calls from before that mark are left out.
e2e_recorded() {
    sleep 1
    cat "$E2E_RECORD"
    if [[ -f $E2E_WORK/logind.log ]]; then
        tail -n +"$((${1:-0} + 1))" "$E2E_WORK/logind.log" | sed -E 's/^[0-9.]+ /logind /'
    fi
}

# How many calls logind's mock has logged so far, from whichever client.
e2e_logind_mark() {
    if [[ -f $E2E_WORK/logind.log ]]; then
        wc -l <"$E2E_WORK/logind.log"
    else
        echo 0
    fi
}

# Prints the SESSION_MANAGER address a session manager gave the programs it started, read from
# the environment of one of its children (the session's component or application), as if the
# program under test had been started by that session.
e2e_session_manager_of() {
    local parent=$1 stat fields manager
    for stat in /proc/[0-9]*/stat; do
        read -r -a fields 2>/dev/null <"$stat" || continue
        # The fourth field is the parent's id; a program name with blanks would shift it, and
        # none of the sessions' programs has one.
        [[ ${fields[3]:-} == "$parent" ]] || continue
        manager=$(tr '\0' '\n' 2>/dev/null <"${stat%/stat}/environ" | sed -n 's/^SESSION_MANAGER=//p')
        if [[ -n $manager ]]; then
            echo "$manager"
            return 0
        fi
    done
    return 1
}

e2e_pass() {
    e2e_step "passed"
    exit 0
}
