#!/usr/bin/python3
"""Presses keys through mutter's remote-desktop D-Bus interface, as a remote user's keyboard would:
to whichever window has the focus, on Wayland as on Xwayland. One session is kept for the whole
run, as its keyboard reaches the windows only some time after it starts. Reads one line of keys
at a time from standard input (a key is space, h, or ctrl+h and the like).
    mutter_keys.py < KEYS"""
import sys

import dbus

KEYSYMS = {"ctrl": 0xFFE3, "space": 0x20, "h": 0x68, "p": 0x70, "menu": 0xFF67, "escape": 0xFF1B}
SERVICE = "org.gnome.Mutter.RemoteDesktop"


def press(session, key):
    syms = [KEYSYMS[name] for name in key.split("+")]
    for sym in syms:
        session.NotifyKeyboardKeysym(dbus.UInt32(sym), True)
    for sym in reversed(syms):
        session.NotifyKeyboardKeysym(dbus.UInt32(sym), False)


def main():
    bus = dbus.SessionBus()
    desktop = bus.get_object(SERVICE, "/org/gnome/Mutter/RemoteDesktop")
    session = dbus.Interface(
        bus.get_object(SERVICE, desktop.CreateSession(dbus_interface=SERVICE)), SERVICE + ".Session")
    session.Start()
    try:
        for line in sys.stdin:
            for key in line.split():
                press(session, key)
    finally:
        session.Stop()


if __name__ == "__main__":
    main()
