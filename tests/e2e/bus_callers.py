#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Watches the message bus at ADDRESS for method calls to the service DESTINATION and writes each
# to LOG as "MILLISECONDS PID METHOD ARGS" (wall clock), PID being the caller's process: when a desktop's own service and the
# program under test may both ask, say, logind to power off, the record tells who did. Writes
# "ready" once it watches.
import sys
import time

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

address, destination, log = sys.argv[1:4]
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
# A monitoring connection may send nothing more, so the callers are looked up on another one.
lookup = dbus.bus.BusConnection(address)
monitor = dbus.bus.BusConnection(address)


def shown(value):
    if isinstance(value, dbus.Boolean):
        return "true" if value else "false"
    if isinstance(value, (dbus.String, dbus.ObjectPath)):
        return '"%s"' % value
    return str(value)


def called(_, message):
    if message.get_type() != 1 or message.get_destination() != destination:  # method calls
        return
    seen = int(time.time() * 1000)
    try:
        pid = lookup.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s",
                                   [message.get_sender()])
    except dbus.DBusException:
        pid = "gone"
    with open(log, "a") as out:
        out.write(" ".join([str(seen), str(pid), message.get_member()] +
                           [shown(arg) for arg in message.get_args_list()]) + "\n")


monitor.add_message_filter(called)
monitor.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus.Monitoring", "BecomeMonitor", "asu",
                      (["type='method_call',destination='%s'" % destination], 0))
with open(log, "a") as out:
    out.write("ready\n")
GLib.MainLoop().run()
