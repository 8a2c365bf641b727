#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# An application of a GNOME-family session (GNOME, MATE, Cinnamon): it registers with the session
# manager and answers the end of the session as told, "agree" or "refuse", writing each request
# it gets to LOG, one a line. It ends when the session tells it to stop or goes away.
import sys

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

answer, log = sys.argv[1], sys.argv[2]
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
manager = bus.get_object("org.gnome.SessionManager", "/org/gnome/SessionManager")
client_path = manager.RegisterClient("veltrask-test-client", "",
                                     dbus_interface="org.gnome.SessionManager")
client = dbus.Interface(bus.get_object("org.gnome.SessionManager", client_path),
                        "org.gnome.SessionManager.ClientPrivate")
loop = GLib.MainLoop()


def note(line):
    with open(log, "a") as out:
        out.write(line + "\n")


def query_end_session(flags):
    note("QueryEndSession %d" % flags)
    if answer == "refuse":
        client.EndSessionResponse(False, "Unsaved work")
    else:
        client.EndSessionResponse(True, "")


def end_session(flags):
    note("EndSession %d" % flags)
    client.EndSessionResponse(True, "")


def stop():
    note("Stop")
    loop.quit()


for name, handler in (("QueryEndSession", query_end_session), ("EndSession", end_session),
                      ("CancelEndSession", lambda: note("CancelEndSession")), ("Stop", stop)):
    client.connect_to_signal(name, handler)
bus.watch_name_owner("org.gnome.SessionManager",
                     lambda owner: owner or loop.quit())
note("registered " + client_path)
loop.run()
