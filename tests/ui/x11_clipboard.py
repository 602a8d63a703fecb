#!/usr/bin/python3
"""Other X11 programs the window meets on a real display, for the tests.

Run as a program it plays one of them until its standard input closes:
  x11_clipboard.py mute      owns CLIPBOARD and never answers a request
and prints "ready" once it owns what it plays.

The clipboard manager stand-in is used in-process by the window tests: it owns
CLIPBOARD_MANAGER and, asked for SAVE_TARGETS, copies every text target of the
clipboard's owner the way freedesktop clipboard managers do before an owner
exits.
"""

import sys
import threading
import time

from Xlib import X, display
from Xlib.protocol import event as xevent

TEXT_TARGETS = ("UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING")


def _own(name, dpy):
    window = dpy.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    selection = dpy.intern_atom(name)
    window.set_selection_owner(selection, X.CurrentTime)
    dpy.sync()
    if dpy.get_selection_owner(selection) != window:
        raise RuntimeError(f"could not own {name}")
    return window


def play_mute_owner():
    dpy = display.Display()
    _own("CLIPBOARD", dpy)
    print("ready", flush=True)
    # Never reads its connection: every request to it goes unanswered.
    sys.stdin.read()


class ClipboardManager:
    """Owns CLIPBOARD_MANAGER and keeps what owners hand it on SAVE_TARGETS."""

    def __init__(self):
        self._dpy = display.Display()
        self._window = _own("CLIPBOARD_MANAGER", self._dpy)
        self._atom = self._dpy.intern_atom
        self.saved = []  # one {target: bytes} per SAVE_TARGETS request
        self.requests = 0
        self._stop = False
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def close(self):
        self._stop = True
        self._thread.join(5)

    def _convert(self, target, timestamp, timeout=5.0):
        prop = self._atom("MNEMORA_TEST_SAVED")
        self._window.convert_selection(self._atom("CLIPBOARD"), target, prop, timestamp)
        self._dpy.flush()
        notify = self._next_event(X.SelectionNotify, timeout)
        if notify is None or notify.property == X.NONE:
            return None
        value = self._window.get_full_property(prop, X.AnyPropertyType)
        self._window.delete_property(prop)
        return value

    def _next_event(self, kind, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while self._dpy.pending_events():
                ev = self._dpy.next_event()
                if ev.type == kind:
                    return ev
            time.sleep(0.01)
        return None

    def _save(self, request):
        saved = {}
        targets = self._convert(self._atom("TARGETS"), request.time)
        names = [self._dpy.get_atom_name(a) for a in (targets.value if targets else [])]
        for name in names:
            if name in TEXT_TARGETS:
                value = self._convert(self._atom(name), request.time)
                if value is not None:
                    saved[name] = (
                        bytes(value.value) if not isinstance(value.value, str) else value.value.encode()
                    )
        self.saved.append(saved)
        reply = xevent.SelectionNotify(
            time=request.time,
            requestor=request.requestor,
            selection=request.selection,
            target=request.target,
            property=request.property,
        )
        request.requestor.send_event(reply)
        self._dpy.flush()

    def _serve(self):
        save_targets = self._atom("SAVE_TARGETS")
        while not self._stop:
            ev = self._next_event(X.SelectionRequest, 0.05)
            if ev is None:
                continue
            self.requests += 1
            if ev.target == save_targets:
                self._save(ev)
            else:
                refusal = xevent.SelectionNotify(
                    time=ev.time,
                    requestor=ev.requestor,
                    selection=ev.selection,
                    target=ev.target,
                    property=X.NONE,
                )
                ev.requestor.send_event(refusal)
                self._dpy.flush()


if __name__ == "__main__":
    if sys.argv[1:] == ["mute"]:
        play_mute_owner()
    else:
        sys.exit("usage: x11_clipboard.py mute")
