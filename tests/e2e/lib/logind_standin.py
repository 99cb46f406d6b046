#!/usr/bin/python3
# A stand-in for the login manager on a private bus, as much of it as a
# screen locker asks for: one session, "c1", with its Lock and Unlock
# signals and its idle and locked hints, and sleep inhibitor locks. Like the
# real one it knows no other session and no process outside it.
#
#   logind_standin.py BUS_ADDRESS SESSION_PID
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.login1"
MANAGER = "org.freedesktop.login1.Manager"
SESSION = "org.freedesktop.login1.Session"
SESSION_PATH = "/org/freedesktop/login1/session/c1"


class Error(dbus.DBusException):
    def __init__(self, name, text):
        super().__init__(text)
        self._dbus_error_name = "org.freedesktop.login1." + name


class Session(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, SESSION_PATH)
        self.locked = False
        self.idle = False

    @dbus.service.method(SESSION, in_signature="b")
    def SetIdleHint(self, idle):
        self.idle = bool(idle)

    @dbus.service.method(SESSION, in_signature="b")
    def SetLockedHint(self, locked):
        self.locked = bool(locked)

    @dbus.service.signal(SESSION)
    def Lock(self):
        pass

    @dbus.service.signal(SESSION)
    def Unlock(self):
        pass


class Manager(dbus.service.Object):
    def __init__(self, bus, session_pid):
        super().__init__(bus, "/org/freedesktop/login1")
        self.session_pid = session_pid
        self.inhibitors = []

    def in_session(self, pid):
        # The session's first process and everything it started.
        while pid > 1:
            if pid == self.session_pid:
                return True
            try:
                with open(f"/proc/{pid}/stat") as stat:
                    pid = int(stat.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                return False
        return False

    @dbus.service.method(MANAGER, in_signature="s", out_signature="o")
    def GetSession(self, session_id):
        if session_id != "c1":
            raise Error("NoSuchSession", f"No session '{session_id}' known")
        return SESSION_PATH

    @dbus.service.method(MANAGER, in_signature="u", out_signature="o")
    def GetSessionByPID(self, pid):
        if not self.in_session(int(pid)):
            raise Error("NoSessionForPID", f"PID {pid} does not belong to any known session")
        return SESSION_PATH

    @dbus.service.method(MANAGER, in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        if mode not in ("block", "delay") or not what:
            raise dbus.DBusException("Invalid mode or what", name="org.freedesktop.DBus.Error.InvalidArgs")
        ours, theirs = os.pipe()
        self.inhibitors.append(ours)
        fd = dbus.types.UnixFd(theirs)
        os.close(theirs)
        return fd

    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, start):
        pass


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    keep = (Manager(bus, int(sys.argv[2])), Session(bus))
    bus.request_name(NAME)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del keep


main()
