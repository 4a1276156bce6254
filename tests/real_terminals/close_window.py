#!/usr/bin/python3
"""Closes an X window as a window manager does when its close button is pressed: a WM_PROTOCOLS
client message with WM_DELETE_WINDOW, which leaves the closing to the window's own program.

    close_window.py WINDOW_ID

The displays the terminals run on have no window manager for wmctrl to ask, and xdotool's
windowclose destroys the window behind its program's back. Exits 1 if the window does not take
part in the protocol (then no window manager could close it so either)."""

import ctypes
import ctypes.util
import sys

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
Atom = Window = ctypes.c_ulong


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", Window), ("message_type", Atom),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    # Xlib's XEvent is 24 longs whichever event it holds.
    _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]


CLIENT_MESSAGE = 33
CURRENT_TIME = 0
NO_EVENT_MASK = 0

x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = Atom
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XGetWMProtocols.argtypes = [ctypes.c_void_p, Window, ctypes.POINTER(ctypes.POINTER(Atom)), ctypes.POINTER(ctypes.c_int)]
x11.XSendEvent.argtypes = [ctypes.c_void_p, Window, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]


def main():
    window = int(sys.argv[1], 0)
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("close_window.py: no X display")
    protocols = x11.XInternAtom(display, b"WM_PROTOCOLS", False)
    delete = x11.XInternAtom(display, b"WM_DELETE_WINDOW", False)
    listed = ctypes.POINTER(Atom)()
    count = ctypes.c_int()
    if not x11.XGetWMProtocols(display, window, ctypes.byref(listed), ctypes.byref(count)):
        sys.exit(f"close_window.py: window {window:#x} lists no WM_PROTOCOLS")
    takes_delete = delete in listed[:count.value]
    x11.XFree(listed)
    if not takes_delete:
        sys.exit(f"close_window.py: window {window:#x} does not take WM_DELETE_WINDOW")
    event = Event()
    event.client.type = CLIENT_MESSAGE
    event.client.window = window
    event.client.message_type = protocols
    event.client.format = 32
    event.client.data[0] = delete
    event.client.data[1] = CURRENT_TIME
    x11.XSendEvent(display, window, False, NO_EVENT_MASK, ctypes.byref(event))
    x11.XSync(display, False)


if __name__ == "__main__":
    main()
