# SPDX-License-Identifier: MIT
# Private session and system buses for a shell test, with python3-dbusmock services on them; the
# shell counterpart of private_buses.h. Source it, then:
#   private_buses_start DIR            sets PRIVATE_SESSION_BUS and PRIVATE_SYSTEM_BUS
#   private_buses_mock BUS NAME LOG ARGS...
#                                      BUS is session or system; ARGS go to python3 -m dbusmock
#   private_buses_stop                 ends the mocks and the buses
# Neither bus has service directories: nothing is ever started on demand.

private_buses_pids=()
PRIVATE_SESSION_BUS=""
PRIVATE_SYSTEM_BUS=""

# dbusmock comes from Debian's python3; another python3 earlier on PATH may lack it.
private_buses_python=/usr/bin/python3

_private_bus_daemon() {
    local dir=$1 name=$2 i
    cat >"$dir/$name.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/$name</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    dbus-daemon --config-file="$dir/$name.conf" --nofork --print-address=1 \
        >"$dir/$name.address" 2>"$dir/$name.log" </dev/null &
    private_buses_pids+=("$!")
    for i in $(seq 100); do
        [[ -s $dir/$name.address ]] && break
        sleep 0.1
    done
    [[ -s $dir/$name.address ]] || { echo "dbus-daemon did not start: $(cat "$dir/$name.log")" >&2; return 1; }
    head -n1 "$dir/$name.address"
}

private_buses_start() {
    local dir=$1
    mkdir -p "$dir"
    _private_bus_daemon "$dir" session >/dev/null || return 1
    _private_bus_daemon "$dir" system >/dev/null || return 1
    PRIVATE_SESSION_BUS=$(head -n1 "$dir/session.address")
    PRIVATE_SYSTEM_BUS=$(head -n1 "$dir/system.address")
}

private_buses_mock() {
    local bus=$1 name=$2 log=$3 address i
    shift 3
    [[ $bus == system ]] && address=$PRIVATE_SYSTEM_BUS || address=$PRIVATE_SESSION_BUS
    [[ -n $address ]] || { echo "private_buses_mock: no private $bus bus" >&2; return 1; }
    DBUS_SESSION_BUS_ADDRESS=$PRIVATE_SESSION_BUS DBUS_SYSTEM_BUS_ADDRESS=$PRIVATE_SYSTEM_BUS \
        "$private_buses_python" -m dbusmock "--$bus" -l "$log" "$@" >/dev/null 2>&1 </dev/null &
    private_buses_pids+=("$!")
    for i in $(seq 100); do
        "$private_buses_python" -c '
import sys, dbus
sys.exit(0 if dbus.bus.BusConnection(sys.argv[1]).name_has_owner(sys.argv[2]) else 1)' \
            "$address" "$name" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "private_buses_mock: $name did not appear on the $bus bus" >&2
    return 1
}

private_buses_stop() {
    local pid
    for pid in "${private_buses_pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    private_buses_pids=()
}
