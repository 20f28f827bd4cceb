"""A desktop notification server (org.freedesktop.Notifications) for tests, on the session
bus it is started in: it writes each Notify call as one JSON line to the file given first, and
when a file named by the second argument appears holding an id, it clicks that notification
(ActionInvoked "default", then NotificationClosed)."""

import json
import os
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.Notifications">
<method name="Notify"><arg type="s" direction="in"/><arg type="u" direction="in"/>
<arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="as" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
<arg type="u" direction="out"/></method>
<method name="CloseNotification"><arg type="u" direction="in"/></method>
<method name="GetCapabilities"><arg type="as" direction="out"/></method>
<method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
<arg type="s" direction="out"/><arg type="s" direction="out"/></method>
<signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
<signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
</interface></node>"""
PATH = "/org/freedesktop/Notifications"
NAME = "org.freedesktop.Notifications"

log_path, click_path = sys.argv[1], sys.argv[2]
state = {"next": 1, "connection": None}


def on_call(connection, sender, path, interface, method, params, invocation):
    if method == "Notify":
        app, _, icon, summary, body, actions, hints, _ = params.unpack()
        nid = state["next"]
        state["next"] += 1
        with open(log_path, "a") as f:
            f.write(json.dumps({"id": nid, "app": app, "icon": icon, "summary": summary,
                                "body": body, "actions": actions,
                                "desktop_entry": hints.get("desktop-entry", "")}) + "\n")
        invocation.return_value(GLib.Variant("(u)", (nid,)))
    elif method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["actions", "body"],)))
    elif method == "GetServerInformation":
        invocation.return_value(GLib.Variant("(ssss)", ("test", "qvex", "1", "1.2")))
    else:
        invocation.return_value(None)


def click():
    if os.path.exists(click_path):
        with open(click_path) as f:
            nid = int(f.read().strip() or 0)
        os.unlink(click_path)
        c = state["connection"]
        c.emit_signal(None, PATH, NAME, "ActionInvoked", GLib.Variant("(us)", (nid, "default")))
        c.emit_signal(None, PATH, NAME, "NotificationClosed", GLib.Variant("(uu)", (nid, 2)))
    return True


def on_bus(connection, name):
    state["connection"] = connection
    node = Gio.DBusNodeInfo.new_for_xml(XML)
    connection.register_object(PATH, node.interfaces[0], on_call, None, None)


def on_name(connection, name):
    with open(log_path, "a"):
        pass  # The file exists once the name is owned: the test may start the shell.


Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, on_bus, on_name, None)
GLib.timeout_add(50, click)
GLib.MainLoop().run()
