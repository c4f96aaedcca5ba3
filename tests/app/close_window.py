#!/usr/bin/python3
"""Asks an X window to close, as a window manager does when the user clicks
its close button: a WM_DELETE_WINDOW client message. Usage: close_window.py WINDOW_ID"""
import sys

from Xlib import X, display, protocol

screen = display.Display()
window = screen.create_resource_object("window", int(sys.argv[1], 0))
protocols = screen.intern_atom("WM_PROTOCOLS")
delete = screen.intern_atom("WM_DELETE_WINDOW")
event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                     data=(32, [delete, X.CurrentTime, 0, 0, 0]))
window.send_event(event, event_mask=X.NoEventMask)
screen.flush()
