#!/usr/bin/python3
# What a test needs of a headless GNOME Shell over D-Bus, and the parts of a
# GNOME session that cannot run here, as stand-ins:
#
#   gnome_session.py standins    stand-ins for the display manager (on the
#                                system bus: its Version, which the shell asks
#                                before it offers its lock screen) and the
#                                session manager (on the session bus: its
#                                InhibitedActions, which Mutter's idle
#                                watches honour); then reads "inhibit" and
#                                "uninhibit" lines and answers "ok" to each
#   gnome_session.py input       one remote-desktop session of the shell kept
#                                for the whole run; reads "key CODE",
#                                "move DX DY", "click" lines, answers "ok"
#   gnome_session.py shot FILE   a screenshot of every monitor into FILE
#   gnome_session.py shield on|off
#   gnome_session.py overview on|off
#
# The buses are those of DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS.
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PROPERTIES = "org.freedesktop.DBus.Properties"
SESSION_MANAGER = "org.gnome.SessionManager"
INHIBIT_IDLE = 8


class PropertyObject(dbus.service.Object):
    """An object with read-only properties of one interface."""

    def __init__(self, bus, path, interface, values):
        super().__init__(bus, path)
        self.interface = interface
        self.values = values

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface != self.interface or name not in self.values:
            raise dbus.DBusException("no such property", name="org.freedesktop.DBus.Error.UnknownProperty")
        return self.values[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.values if interface == self.interface else {}

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class SessionManager(PropertyObject):
    def __init__(self, bus):
        super().__init__(bus, "/org/gnome/SessionManager", SESSION_MANAGER,
                         {"InhibitedActions": dbus.UInt32(0), "SessionIsActive": True})

    def inhibit(self, on):
        self.values["InhibitedActions"] = dbus.UInt32(INHIBIT_IDLE if on else 0)
        self.PropertiesChanged(SESSION_MANAGER, {"InhibitedActions": self.values["InhibitedActions"]}, [])

    @dbus.service.method(SESSION_MANAGER, in_signature="u", out_signature="b")
    def IsInhibited(self, flags):
        return bool(self.values["InhibitedActions"] & flags)


def lines(on_line):
    """Calls on_line for each line of stdin and answers ok; ends with stdin."""
    loop = GLib.MainLoop()

    def readable(source, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        on_line(line.split())
        print("ok", flush=True)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, readable)
    loop.run()


def standins():
    DBusGMainLoop(set_as_default=True)
    system = dbus.SystemBus()
    system.request_name("org.gnome.DisplayManager")
    PropertyObject(system, "/org/gnome/DisplayManager/Manager", "org.gnome.DisplayManager.Manager",
                   {"Version": "43.0"})
    session = dbus.SessionBus()
    session.request_name(SESSION_MANAGER)
    manager = SessionManager(session)
    print("ready", flush=True)
    lines(lambda words: manager.inhibit(words[0] == "inhibit"))


def remote_input():
    bus = dbus.SessionBus()
    remote = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
    path = remote.CreateSession(dbus_interface="org.gnome.Mutter.RemoteDesktop")
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                             "org.gnome.Mutter.RemoteDesktop.Session")
    session.Start()
    # The seat gets its keyboard and pointer with the session, and the
    # clients bind them only then: the first events would be lost.
    session.NotifyKeyboardKeycode(dbus.UInt32(42), True)
    session.NotifyKeyboardKeycode(dbus.UInt32(42), False)
    session.NotifyPointerMotionRelative(1.0, 0.0)
    time.sleep(1)
    print("ready", flush=True)
    for line in sys.stdin:
        words = line.split()
        if words[0] == "key":
            session.NotifyKeyboardKeycode(dbus.UInt32(int(words[1])), True)
            session.NotifyKeyboardKeycode(dbus.UInt32(int(words[1])), False)
        elif words[0] == "move":
            session.NotifyPointerMotionRelative(float(words[1]), float(words[2]))
        elif words[0] == "click":
            session.NotifyPointerButton(0x110, True)
            session.NotifyPointerButton(0x110, False)
        print("ok", flush=True)
    session.Stop()


def shot(filename):
    bus = dbus.SessionBus()
    # The shell takes screenshots only from the screenshot tool's name.
    bus.request_name("org.gnome.Screenshot")
    shell = bus.get_object("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot")
    ok, _ = shell.Screenshot(False, False, filename, dbus_interface="org.gnome.Shell.Screenshot")
    sys.exit(0 if ok else 1)


def set_property(name, path, interface, prop, value):
    bus = dbus.SessionBus()
    bus.get_object(name, path).Set(interface, prop, value, dbus_interface=PROPERTIES)


def main():
    command = sys.argv[1]
    if command == "standins":
        standins()
    elif command == "input":
        remote_input()
    elif command == "shot":
        shot(sys.argv[2])
    elif command == "shield":
        bus = dbus.SessionBus()
        shield = bus.get_object("org.gnome.Shell.ScreenShield", "/org/gnome/ScreenSaver")
        shield.SetActive(sys.argv[2] == "on", dbus_interface="org.gnome.ScreenSaver")
    elif command == "overview":
        set_property("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "OverviewActive", sys.argv[2] == "on")
    else:
        sys.exit("gnome_session.py: no command " + command)


main()
