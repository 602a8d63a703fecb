"""The window as a screen reader meets it, on the real accessibility bus.

Starts its own private D-Bus session, an X server (Xvfb), the AT-SPI bus and
the window program, listens to every object event on the bus, and types with
XTest (xdotool). Checks:
  - no event carries a character of the password (typing, BackSpace, typing
    over the selected password); the password box's events carry masks;
  - pressing the copy button through its action puts the code on the X11
    clipboard, marked as a secret and not on the primary selection, and the
    confirmation is announced (a notification that shows);
  - Ctrl+C in the 16-character box goes the same way; neither focusing a
    code box (which selects its text) nor dragging across it exports anything
    to the primary selection;
  - each link's action opens its address through the desktop's opener
    (a recording xdg-open first on PATH);
  - the panel is no picture and the copy highlight is not in the tree.

Usage: test_atspi_bus.py PROGRAM. Exits 77 (skipped) only when the session
bus or the accessibility bus cannot be started.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
INSIDE = "MNEMORA_INSIDE_PRIVATE_BUS"

# Typed into the password box: none of these characters can appear in a code
# (hexadecimal) or in the key, so any of them on the bus is a leak.
FIRST_TYPED = "pQw"
THEN_TYPED = "Zx#"
PASSWORD_CHARACTERS = set(FIRST_TYPED + THEN_TYPED)
KEY = "taobao"
MARKER = "x-kde-passwordManagerHint"

LINKS = {
    "https://mnemora.example.org/donate",
    "https://mnemora.example.org/contributors/tarrow",
    "https://mnemora.example.org/contributors/belmir",
    "https://mnemora.example.org/contributors/odrin",
    "https://mnemora.example.org/contributors/pelu",
    "https://mnemora.example.org/",
}


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIPPED)


def outside(program):
    """Runs this script again inside a private session bus."""
    runner = shutil.which("dbus-run-session")
    if not runner:
        skip("dbus-run-session is missing (Debian package dbus): no private session bus")
    with tempfile.TemporaryDirectory() as scratch:
        started = os.path.join(scratch, "started")
        env = dict(os.environ, **{INSIDE: started})
        status = subprocess.call([runner, "--", sys.executable, __file__, program], env=env)
        if not os.path.exists(started):
            skip("the private D-Bus session could not be started")
        return status


class Bus:
    """Xvfb, the accessibility bus and the program, stopped in reverse order."""

    def __init__(self):
        self.processes = []

    def start(self, argv, **kwargs):
        process = subprocess.Popen(argv, **kwargs)
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()

    def start_display(self):
        read_end, write_end = os.pipe()
        self.start(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,),
            stderr=subprocess.DEVNULL,
        )
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        os.environ["DISPLAY"] = f":{number}"

    def start_accessibility_bus(self):
        if not os.access(LAUNCHER, os.X_OK):
            skip(f"{LAUNCHER} is missing (Debian package at-spi2-core): no accessibility bus")
        self.start([LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            probe = subprocess.run(
                [
                    "dbus-send",
                    "--session",
                    "--print-reply",
                    "--dest=org.a11y.Bus",
                    "/org/a11y/bus",
                    "org.a11y.Bus.GetAddress",
                ],
                capture_output=True,
                text=True,
            )
            if probe.returncode == 0 and "unix:" in probe.stdout:
                return
            time.sleep(0.1)
        skip("the AT-SPI bus launcher did not provide an accessibility bus")


def clipboard(selection, target=None):
    argv = ["xclip", "-o", "-selection", selection]
    if target:
        argv += ["-t", target]
    result = subprocess.run(argv, capture_output=True, text=True, timeout=10)
    return result.stdout if result.returncode == 0 else None


def put_on(selection, text):
    # xclip stays as the owner until somebody else takes the selection.
    process = subprocess.Popen(
        ["xclip", "-i", "-selection", selection, "-quiet"],
        stdin=subprocess.PIPE,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    process.stdin.write(text.encode())
    process.stdin.close()
    return process


def xdotool(*argv):
    subprocess.run(["xdotool", *argv], check=True, timeout=30)


def inside(program):
    open(os.environ[INSIDE], "w").close()
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)
        return condition

    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib

    with tempfile.TemporaryDirectory() as scratch:
        bus = Bus()
        try:
            bus.start_display()
            bus.start_accessibility_bus()

            # The desktop's opener: records the address instead of starting a browser.
            opener_dir = os.path.join(scratch, "bin")
            opened_log = os.path.join(scratch, "opened")
            os.mkdir(opener_dir)
            opener = os.path.join(opener_dir, "xdg-open")
            with open(opener, "w") as script:
                script.write(f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{opened_log}'\n")
            os.chmod(opener, 0o755)

            Atspi.init()
            events = []

            def heard(event):
                events.append((event.type, event.source, event.detail1, event.any_data))

            listener = Atspi.EventListener.new(heard)
            for kind in ("object:", "window:", "focus:"):
                listener.register(kind)

            def pump(seconds, until=lambda: False):
                context = GLib.MainContext.default()
                deadline = time.monotonic() + seconds
                while time.monotonic() < deadline:
                    while context.pending():
                        context.iteration(False)
                    if until():
                        return True
                    time.sleep(0.02)
                return until()

            env = dict(
                os.environ,
                QT_QPA_PLATFORM="xcb",
                QT_ACCESSIBILITY="1",
                QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                PATH=opener_dir + os.pathsep + os.environ["PATH"],
            )
            env.pop("XDG_CURRENT_DESKTOP", None)
            bus.start([program], env=env)

            desktop = Atspi.get_desktop(0)

            def application():
                for i in range(desktop.get_child_count()):
                    child = desktop.get_child_at_index(i)
                    if child is not None and child.get_name() == "Mnemora":
                        return child
                return None

            if not pump(20, lambda: application() is not None and application().get_child_count() > 0):
                raise RuntimeError("the window never appeared on the accessibility bus")

            def walk(node):
                yield node
                for i in range(node.get_child_count()):
                    child = node.get_child_at_index(i)
                    if child is not None:
                        yield from walk(child)

            tree = list(walk(application()))

            def find(role, name=None):
                return [
                    node
                    for node in tree
                    if node.get_role() == role and (name is None or node.get_name() == name)
                ]

            password = find(Atspi.Role.PASSWORD_TEXT)
            code16 = [node for node in tree if node.get_name() == "16位码（推荐）"]
            buttons = find(Atspi.Role.PUSH_BUTTON, "点击复制")
            links = find(Atspi.Role.LINK)
            if not (password and code16):
                raise RuntimeError("the password box or the 16-character box is missing from the tree")
            password, code16 = password[0], code16[0]

            # The tree: a panel that is no picture, the highlight left out.
            panel = [node for node in tree if node.get_name() == "输入与获取"]
            check(
                panel and panel[0].get_role() != Atspi.Role.IMAGE, "the panel is still announced as an image"
            )
            check(
                len([node for node in tree if node.get_name() == "点击复制"]) == 1,
                "the copy highlight carries the copy button's name",
            )

            # Typing, BackSpace, and typing over the selected password.
            window = subprocess.run(
                ["xdotool", "search", "--sync", "--name", "^Mnemora v1"],
                capture_output=True,
                text=True,
                timeout=30,
            ).stdout.split()[0]
            xdotool("windowfocus", "--sync", window)
            check(
                pump(10, lambda: password.get_state_set().contains(Atspi.StateType.FOCUSED)),
                "the password box never had the focus",
            )
            xdotool("type", "--delay", "40", FIRST_TYPED)
            xdotool("key", "BackSpace")
            xdotool("key", "ctrl+a")
            xdotool("type", "--delay", "40", THEN_TYPED)
            xdotool("key", "Tab")
            xdotool("type", "--delay", "20", KEY)

            def code():
                return code16.get_text(0, code16.get_character_count())

            check(pump(10, lambda: len(code()) == 16), "the 16-character code never appeared")
            shown = code()

            password_events = [
                e for e in events if e[1] == password and e[0].startswith("object:text-changed")
            ]
            check(
                len([e for e in password_events if e[0].endswith(":insert")])
                >= len(FIRST_TYPED + THEN_TYPED),
                f"too few insertions heard from the password box: {[e[0] for e in password_events]}",
            )
            check(
                any(e[0].endswith(":delete") and len(e[3]) == len(FIRST_TYPED) - 1 for e in password_events),
                "no deletion of the selected password heard",
            )
            for kind, _, _, data in password_events:
                check(
                    isinstance(data, str) and set(data) <= {"*"},
                    f"{kind} from the password box carries {data!r}",
                )
            for kind, source, _, data in events:
                if isinstance(data, str) and source != password:
                    typed = [part for part in (FIRST_TYPED[:-1], THEN_TYPED) if part in data]
                    check(not typed, f"{kind} carries the password {typed}")

            def confirmation(after, showing=1):
                return any(
                    kind == "object:state-changed:showing"
                    and detail == showing
                    and source.get_role() == Atspi.Role.NOTIFICATION
                    and source.get_name() == "复制成功"
                    for kind, source, detail, _ in events[after:]
                )

            # The copy button's action.
            owners = [put_on("clipboard", "before"), put_on("primary", "selected before")]
            pump(0.5)
            heard_before = len(events)
            if check(
                buttons and buttons[0].get_n_actions() == 1, "the copy hot spot is no button with an action"
            ):
                buttons[0].do_action(0)
            check(pump(5, lambda: confirmation(heard_before)), "the copy confirmation was not announced")
            check(clipboard("clipboard") == shown, "the copy button did not put the code on the clipboard")
            check(
                MARKER in (clipboard("clipboard", "TARGETS") or ""),
                "the copied code is not marked as a secret",
            )

            # Ctrl+C in the 16-character box, reached with Tab (which selects its text).
            pump(5, lambda: confirmation(heard_before, showing=0))
            owners.append(put_on("clipboard", "before"))
            pump(0.5)
            heard_before = len(events)
            xdotool("key", "Tab")
            pump(0.5)
            xdotool("key", "ctrl+c")
            check(pump(5, lambda: clipboard("clipboard") == shown), "Ctrl+C did not copy the code")
            check(MARKER in (clipboard("clipboard", "TARGETS") or ""), "Ctrl+C left the code unmarked")
            check(pump(5, lambda: confirmation(heard_before)), "the Ctrl+C copy was not announced")
            check(clipboard("primary") == "selected before", "the code reached the primary selection")

            # A selection dragged with the mouse across the 32-character box.
            code32 = [node for node in tree if node.get_name() == "32位完整MD5码"]
            if check(code32, "the 32-character box is missing from the tree"):
                place = code32[0].get_extents(Atspi.CoordType.SCREEN)
                middle = str(place.y + place.height // 2)
                xdotool(
                    "mousemove",
                    str(place.x + 2),
                    middle,
                    "mousedown",
                    "1",
                    "sleep",
                    "0.2",
                    "mousemove",
                    str(place.x + place.width // 2),
                    middle,
                    "sleep",
                    "0.2",
                    "mouseup",
                    "1",
                )
                pump(0.5)
                check(code32[0].get_n_selections() == 1, "dragging selected nothing in the 32-character box")
                check(
                    clipboard("primary") == "selected before",
                    "a dragged selection reached the primary selection",
                )

            # The links' actions.
            check(len(links) == len(LINKS), f"{len(links)} links instead of {len(LINKS)}")
            for link in links:
                link.do_action(0)

            def opened():
                if not os.path.exists(opened_log):
                    return set()
                with open(opened_log) as log:
                    return set(log.read().split())

            pump(10, lambda: opened() == LINKS)
            check(opened() == LINKS, f"the links opened {sorted(opened())}, not {sorted(LINKS)}")
            for owner in owners:
                owner.kill()
        finally:
            bus.stop()

    for failure in failures:
        print(f"FAIL: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    target = os.path.abspath(sys.argv[1])
    sys.exit(inside(target) if os.environ.get(INSIDE) else outside(target))
