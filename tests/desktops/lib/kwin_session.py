#!/usr/bin/python3
# What a test needs of KWin over D-Bus (the session bus of
# DBUS_SESSION_BUS_ADDRESS):
#
#   kwin_session.py shot FILE    the whole workspace as a PNG file, from KWin's
#                                screenshot interface (raw pixels in a pipe)
#   kwin_session.py lock         KWin's lock screen on
#   kwin_session.py locked       "yes" or "no": the lock screen is on
import os
import struct
import sys
import zlib

import dbus


def write_png(filename, width, height, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + row for row in rows)
    with open(filename, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 1)))
        f.write(chunk(b"IEND", b""))


def shot(filename):
    bus = dbus.SessionBus()
    screenshot = bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2")
    read_end, write_end = os.pipe()
    info = screenshot.CaptureWorkspace({}, dbus.types.UnixFd(write_end), dbus_interface="org.kde.KWin.ScreenShot2")
    os.close(write_end)
    data = bytearray()
    while chunk_ := os.read(read_end, 1 << 20):
        data += chunk_
    os.close(read_end)
    width, height, stride = int(info["width"]), int(info["height"]), int(info["stride"])
    # 32 bits a pixel, blue, green, red and alpha in memory on this machine.
    rows = []
    for y in range(height):
        line = data[y * stride:y * stride + width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows.append(bytes(rgb))
    write_png(filename, width, height, rows)


def main():
    command = sys.argv[1]
    bus = dbus.SessionBus()
    if command == "shot":
        shot(sys.argv[2])
    elif command == "lock":
        bus.get_object("org.freedesktop.ScreenSaver", "/ScreenSaver").Lock(dbus_interface="org.freedesktop.ScreenSaver")
    elif command == "locked":
        active = bus.get_object("org.freedesktop.ScreenSaver", "/ScreenSaver").GetActive(
            dbus_interface="org.freedesktop.ScreenSaver")
        print("yes" if active else "no")
    else:
        sys.exit("kwin_session.py: no command " + command)


main()
