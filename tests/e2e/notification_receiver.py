#!/usr/bin/env python3
"""A desktop notification server for the tests, run under dbus-run-session: owns
org.freedesktop.Notifications on the session bus, prints the bus address once it owns the name, and
appends each Notify call as one JSON line to RECORD. SIGTERM ends it.

usage: notification_receiver.py RECORD
"""
import json
import os
import signal
import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.Notifications">
  <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/>
    <arg type="as"/><arg type="a{sv}"/><arg type="i"/><arg type="u" direction="out"/></method>
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
</interface></node>"""

record = sys.argv[1]
calls = 0


def on_call(connection, sender, path, interface, method, parameters, invocation):
    global calls
    if method == "Notify":
        app, replaces, icon, summary, body, actions, hints, timeout = parameters.unpack()
        calls += 1
        with open(record, "a", encoding="utf-8") as out:
            out.write(json.dumps({"app": app, "icon": icon, "summary": summary, "body": body,
                                  "timeout": timeout}, ensure_ascii=False) + "\n")
        invocation.return_value(GLib.Variant("(u)", (calls,)))
    else:
        invocation.return_value(GLib.Variant("(as)", (["body"],)))


def on_bus(connection, name):
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/freedesktop/Notifications", node.interfaces[0], on_call, None, None)


def on_name(connection, name):
    print(os.environ["DBUS_SESSION_BUS_ADDRESS"], flush=True)


loop = GLib.MainLoop()
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.Notifications", Gio.BusNameOwnerFlags.NONE, on_bus,
                 on_name, None)
loop.run()
