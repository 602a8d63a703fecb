#!/usr/bin/python3
"""The window program run as a user runs it, on a real X display (xcb).

A user types a password and a key, copies the code and then either quits
while a clipboard manager is running, or clears both boxes; what leaves the
process, and what stays in its memory, is checked from outside.

Usage: test_window_process.py path/to/mnemora [unittest arguments]
Needs DISPLAY (run under xvfb-run) and python3-xlib.
"""

import os
import re
import signal
import struct
import subprocess
import sys
import time
import unittest

from Xlib import X, XK, display
from Xlib.ext import xtest
from Xlib.protocol import event as xevent

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "oracle"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))

from engine_model import generate_codes  # noqa: E402
from uilayout import Layout  # noqa: E402
from x11_clipboard import ClipboardManager  # noqa: E402

PROGRAM = None
TITLE = "Mnemora v1.2 build 20120314"
# Distinctive enough that no library's data contains them by chance.
PASSWORD = "qzvx7jwk3pfm"
KEY = "wqxkzj9v"
CODE16, CODE32 = generate_codes(PASSWORD, KEY)

LAYOUT = Layout()


def centre(control):
    """Window coordinates of the centre of a control on the panel."""
    x0, y0, x1, y1 = LAYOUT.place(control)
    left, top = LAYOUT.offset("PicContrl")
    return (left + (x0 + x1) // 2, top + (y0 + y1) // 2)


PASSWORD_BOX = centre("txtPassword")
KEY_BOX = centre("txtKey")
COPY_BUTTON = centre("lblCopy")


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")


class Window:
    """The running program, driven through the X server as a user would."""

    def __init__(self):
        env = dict(os.environ, QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen(
            [PROGRAM], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True
        )
        self.dpy = display.Display()
        self.window = wait_for(self._find, 30, "the window to appear")
        self.origin = self.window.translate_coords(self.dpy.screen().root, 0, 0)

    def _find(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the program exited early: {self.process.stderr.read()}")
        for child in self.dpy.screen().root.query_tree().children:
            if child.get_attributes().map_state == X.IsViewable and child.get_wm_name() == TITLE:
                return child
        return None

    def click(self, point):
        x, y = point
        xtest.fake_input(self.dpy, X.MotionNotify, x=-self.origin.x + x, y=-self.origin.y + y)
        xtest.fake_input(self.dpy, X.ButtonPress, 1)
        xtest.fake_input(self.dpy, X.ButtonRelease, 1)
        self.dpy.sync()
        time.sleep(0.2)

    def press(self, keysym):
        code = self.dpy.keysym_to_keycode(keysym)
        xtest.fake_input(self.dpy, X.KeyPress, code)
        xtest.fake_input(self.dpy, X.KeyRelease, code)
        self.dpy.sync()

    def chord(self, modifier, keysym):
        held = self.dpy.keysym_to_keycode(modifier)
        xtest.fake_input(self.dpy, X.KeyPress, held)
        self.press(keysym)
        xtest.fake_input(self.dpy, X.KeyRelease, held)
        self.dpy.sync()

    def type(self, text):
        for c in text:
            self.press(XK.string_to_keysym(c))
        time.sleep(0.2)

    def derive(self, key_first=False):
        boxes = [(PASSWORD_BOX, PASSWORD), (KEY_BOX, KEY)]
        for box, text in boxes[::-1] if key_first else boxes:
            self.click(box)
            self.type(text)

    def derive_and_copy(self):
        self.derive()
        self.click(COPY_BUTTON)
        wait_for(lambda: clipboard_text(self.dpy) == CODE16, 10, "the code on the clipboard")

    def clear(self, box):
        """Ctrl+A and BackSpace in a box, as a user empties it."""
        self.click(box)
        self.chord(XK.XK_Control_L, XK.XK_a)
        self.press(XK.XK_BackSpace)
        time.sleep(0.2)

    def close(self):
        """What a window manager sends when the close button is clicked."""
        protocols = self.dpy.intern_atom("WM_PROTOCOLS")
        delete = self.dpy.intern_atom("WM_DELETE_WINDOW")
        message = xevent.ClientMessage(
            window=self.window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0])
        )
        self.window.send_event(message)
        self.dpy.sync()

    def wait(self):
        try:
            return self.process.wait(20)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()

    def __del__(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def clipboard_text(dpy):
    """The clipboard's text as another program pastes it; None if refused."""
    window = dpy.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    try:
        prop = dpy.intern_atom("MNEMORA_TEST_PASTE")
        window.convert_selection(
            dpy.intern_atom("CLIPBOARD"), dpy.intern_atom("UTF8_STRING"), prop, X.CurrentTime
        )
        dpy.flush()
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            while dpy.pending_events():
                ev = dpy.next_event()
                if ev.type == X.SelectionNotify and ev.requestor == window:
                    if ev.property == X.NONE:
                        return None
                    value = window.get_full_property(prop, X.AnyPropertyType)
                    return value.value.decode() if value else None
            time.sleep(0.02)
        return None
    finally:
        window.destroy()
        dpy.sync()


class ClipboardOnQuit(unittest.TestCase):
    """Quitting within the clear delay hands a clipboard manager nothing."""

    def test_quitting_leaves_the_code_to_no_manager(self):
        ways = {
            "close button": (Window.close, 0),
            "SIGTERM": (lambda w: w.process.send_signal(signal.SIGTERM), -signal.SIGTERM),
        }
        for way, (quit_window, status) in ways.items():
            with self.subTest(way):
                manager = ClipboardManager()
                try:
                    window = Window()
                    window.derive_and_copy()
                    quit_window(window)
                    self.assertEqual(window.wait(), status)
                    handed = [data for data in manager.saved if data]
                    self.assertEqual(handed, [], f"the manager kept {handed}")
                    self.assertNotEqual(clipboard_text(window.dpy), CODE16)
                finally:
                    manager.close()


def forms(text):
    return {"UTF-16": text.encode("utf-16-le"), "UTF-8/Latin-1": text.encode("latin-1")}


def strided(text, stride):
    """A pattern for the UTF-16 units of a text lying one per record of
    stride bytes, as an array of records holding one character each does."""
    units = [re.escape(c.encode("utf-16-le")) for c in text]
    return re.compile(b"(?s)" + (b".{%d}" % (stride - 2)).join(units))


def holder(data, at):
    """What holds a UTF-16 occurrence at offset `at` of a mapping: a live Qt
    string's data starts 16 bytes after its header (reference count, flags,
    capacity), a freed block's header is zeros."""
    if at < 16:
        return "no string header"
    ref, _, capacity = struct.unpack_from("<iiq", data, at - 16)
    return f"a live string (references {ref}, capacity {capacity})" if ref > 0 else "no live string"


def scan(pid, needles):
    """Occurrences of each needle (bytes or a compiled pattern) in the
    writable memory of a process, live and freed alike, and what holds the
    UTF-16 ones."""
    counts = {name: 0 for name in needles}
    holders = []
    with open(f"/proc/{pid}/maps") as maps, open(f"/proc/{pid}/mem", "rb", 0) as mem:
        for line in maps:
            fields = line.split()
            start, end = (int(a, 16) for a in fields[0].split("-"))
            if "w" not in fields[1] or (len(fields) > 5 and fields[5] in ("[vvar]", "[vsyscall]")):
                continue
            try:
                mem.seek(start)
                data = mem.read(end - start)
            except OSError:
                continue
            for name, needle in needles.items():
                if isinstance(needle, bytes):
                    for hit in re.finditer(re.escape(needle), data):
                        counts[name] += 1
                        if name.endswith("UTF-16"):
                            holders.append(f"{name} at {start + hit.start():#x}: {holder(data, hit.start())}")
                else:
                    counts[name] += len(needle.findall(data))
    return counts, holders


def shown_tooltips(dpy):
    """The viewable windows of the tooltip type on the display."""
    kind = dpy.intern_atom("_NET_WM_WINDOW_TYPE")
    tooltip = dpy.intern_atom("_NET_WM_WINDOW_TYPE_TOOLTIP")
    found = 0
    for child in dpy.screen().root.query_tree().children:
        value = child.get_full_property(kind, X.AnyPropertyType)
        if value and tooltip in value.value and child.get_attributes().map_state == X.IsViewable:
            found += 1
    return found


class PastedLines(unittest.TestCase):
    """A paste keeps the text before its first line break, as the Windows
    window's box does, and the window says so."""

    def test_a_paste_keeps_its_first_line(self):
        window = Window()
        window.click(KEY_BOX)
        window.type("taobao")
        for pasted in ("test\n", "test\nsecond", "test\r\nsecond", "test\rsecond"):
            with self.subTest(pasted=pasted):
                # xclip serves the clipboard in the background until another owner takes it.
                subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=pasted.encode(), check=True)
                window.clear(PASSWORD_BOX)
                wait_for(lambda: not shown_tooltips(window.dpy), 5, "an edit to take the line away")
                window.chord(XK.XK_Control_L, XK.XK_v)
                wait_for(lambda: shown_tooltips(window.dpy), 5, "the line that says the paste was cut")
                window.click(COPY_BUTTON)
                wait_for(
                    lambda: clipboard_text(window.dpy) == "a20caCf8Eb1b8B6d", 10, "the code of test / taobao"
                )
        window.close()
        self.assertEqual(window.wait(), 0)


class FreedMemory(unittest.TestCase):
    """After the boxes are cleared, only the clipboard still holds a secret:
    with the key typed before or after the password, with a copy or without."""

    def test_cleared_secrets_are_gone_from_memory(self):
        for key_first in (False, True):
            for copied in (True, False):
                with self.subTest(key_first=key_first, copied=copied):
                    self.check_cleared(key_first, copied)

    def check_cleared(self, key_first, copied):
        window = Window()
        try:
            mem = f"/proc/{window.process.pid}/mem"
            try:
                with open(mem, "rb", 0) as probe:
                    probe.seek(int(open(f"/proc/{window.process.pid}/maps").readline().split("-")[0], 16))
                    probe.read(1)
            except OSError as error:
                self.skipTest(f"this user may not read the window program's memory ({error}); run as root")

            window.derive(key_first)
            if copied:
                window.click(COPY_BUTTON)
                wait_for(lambda: clipboard_text(window.dpy) == CODE16, 10, "the code on the clipboard")
            for box in (PASSWORD_BOX, KEY_BOX):
                window.clear(box)
            time.sleep(0.5)
            self.assertEqual(clipboard_text(window.dpy), CODE16 if copied else None)

            needles = {}
            for name, secret in (
                ("password", PASSWORD),
                ("key", KEY),
                ("code16", CODE16),
                ("code32", CODE32),
            ):
                for form, needle in forms(secret).items():
                    needles[f"{name} {form}"] = needle
            # An edit history keeps one typed or deleted character per
            # 16-byte record: forwards as typed, backwards as a selection is
            # deleted.
            for name, secret in (("password", PASSWORD), ("key", KEY)):
                needles[f"{name} 16-byte records"] = strided(secret, 16)
                needles[f"{name} 16-byte records reversed"] = strided(secret[::-1], 16)
            counts, holders = scan(window.process.pid, needles)
            print("occurrences:", ", ".join(f"{n} {c}" for n, c in counts.items()), file=sys.stderr)

            # The clipboard holds the short code as text (UTF-16) and once more
            # as UTF-8 in the concealed format; the last paste may leave its
            # reply in the X connection's send buffer until later requests
            # overwrite it. Nothing else may remain.
            allowed = {name: 0 for name in needles}
            if copied:
                allowed["code16 UTF-16"] = 1
                allowed["code16 UTF-8/Latin-1"] = 2
            self.assertEqual({n: c for n, c in counts.items() if c > allowed[n]}, {}, "\n".join(holders))
        finally:
            window.process.terminate()
            window.wait()


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
