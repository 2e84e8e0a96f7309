#!/usr/bin/python3
# A stand-in for systemd-logind on the end-to-end tests' private system bus.
#
#   logind_standin.py RECORD PROBE
#
# Owns org.freedesktop.login1 and answers Manager.Inhibit with the write end
# of a fresh pipe, as logind answers with the end of a FIFO. Appends to RECORD
# "ready" once it owns the name, "inhibit|WHAT|WHO|WHY|MODE|<probe>" for each
# call, and "release|<probe>" when every copy of the caller's end is closed,
# which its read end sees as end of file. <probe> is what the shell command
# PROBE prints at that moment.
import os
import subprocess
import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.login1.Manager">
<method name="Inhibit"><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="h" direction="out"/></method></interface></node>"""

record, probe = sys.argv[1], sys.argv[2]


def log(line, with_probe=True):
    if with_probe:
        out = subprocess.run(["sh", "-c", probe], capture_output=True, text=True).stdout
        line += "|" + out.strip()
    with open(record, "a") as f:
        f.write(line + "\n")


def on_closed(fd, condition):
    if condition & GLib.IO_IN and os.read(fd, 1):
        return True
    os.close(fd)
    log("release")
    return False


def on_call(connection, sender, path, interface, method, parameters, invocation):
    what, who, why, mode = parameters.unpack()
    log("|".join(["inhibit", what, who, why, mode]))
    read_end, write_end = os.pipe()
    fds = Gio.UnixFDList.new()
    fds.append(write_end)
    os.close(write_end)
    invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
    GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, read_end, GLib.IO_IN | GLib.IO_HUP, on_closed)


def on_bus(connection, name):
    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
    connection.register_object("/org/freedesktop/login1", info, on_call, None, None)


Gio.bus_own_name(Gio.BusType.SYSTEM, "org.freedesktop.login1", Gio.BusNameOwnerFlags.NONE,
                 on_bus, lambda connection, name: log("ready", False),
                 lambda connection, name: sys.exit(1))
GLib.MainLoop().run()
