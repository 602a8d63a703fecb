"""mnemora.exe under Wine, driven as a person drives it, with xdotool on a
private X display: what reaches the screen, the X11 clipboard (through
Wine's bridge), the pointer and the desktop's browser.

    test_window_wine.py PREFIX BINDIR

The window runs as on a Chinese system, then once more as on an English one,
whose every picture must be the English drawing; with MNEMORA_SCREENSHOTS
naming a folder, the English window's screenshot is kept there.

Every case waits for a condition with a deadline, never for a fixed time.
"""

import json
import os
import queue
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image, ImageChops
from Xlib import X, display as xdisplay
from Xlib.ext import xfixes  # noqa: F401  (registers the extension's methods)

import wine

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tests", "oracle"))
import engine_model  # noqa: E402

TITLE = "Mnemora v1.2 build 20120314"
ART = os.path.join(ROOT, "assets", "art")
# Shorter than the program's 30 s, so that the clear is seen in a test.
CLEAR_MS = 4000
PATIENCE = 60
NO_ANSWER = object()  # the clipboard's owner did not answer: see Window.clipboard
LINKS = [
    ("ImgDonation", "https://mnemora.example.org/donate"),
    ("ImgTarrow", "https://mnemora.example.org/contributors/tarrow"),
    ("ImgBelmir", "https://mnemora.example.org/contributors/belmir"),
    ("ImgOdrin", "https://mnemora.example.org/contributors/odrin"),
    ("ImgPelu", "https://mnemora.example.org/contributors/pelu"),
    ("lblCopyright", "https://mnemora.example.org/"),
]
MARKERS = [
    "ExcludeClipboardContentFromMonitorProcessing",
    "CanIncludeInClipboardHistory",
    "CanUploadToCloudClipboard",
]
# The markers whose DWORD value says no: 0.
REFUSING_MARKERS = MARKERS[1:]
# Where Windows, and where Wine, keep the programs excluded from error reporting.
WER_EXCLUDED = [
    root + path
    for root in ("HKCU", "HKLM")
    for path in (
        r"\Software\Microsoft\Windows\Windows Error Reporting\ExcludedApplications",
        r"\Software\Microsoft\Windows Error Reporting\ExcludedApplications",
    )
]
FIRST_CONTROL_ID = 1000
# MSAA's roles of a push button, a link and editable text.
ROLE_SYSTEM_PUSHBUTTON = 0x2B
ROLE_SYSTEM_LINK = 0x1E
ROLE_SYSTEM_TEXT = 0x2A
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FIT_TITLE = "按网站规则生成密码"
FIT_RULE = "required: special; maxlength: 12;"

with open(os.path.join(ROOT, "assets", "layout.json"), encoding="utf-8") as f:
    LAYOUT = json.load(f)
CONTROLS = {c["name"]: c for c in LAYOUT["controls"]}


def pixels(twips):
    return (2 * twips + 15) // 30


def place(name):
    """A control's rectangle in client pixels at 96 dpi: (x0, y0, x1, y1), exclusive."""
    c = CONTROLS[name]
    left, top, width, height = c["twips"]
    x, y = 0, 0
    if c["parent"] != "FrmMain":
        px, py, _, _ = place(c["parent"])
        x, y = px, py
    return (x + pixels(left), y + pixels(top), x + pixels(left + width), y + pixels(top + height))


def centre(name):
    x0, y0, x1, y1 = place(name)
    return ((x0 + x1) // 2, (y0 + y1) // 2)


def picture(name, language=LAYOUT["defaultLanguage"]):
    """The picture a control shows in a language, as drawn."""
    file = CONTROLS[name].get("pictureIn", {}).get(language, CONTROLS[name]["picture"])
    return Image.open(os.path.join(ART, file)).convert("RGB")


class Failures:
    def __init__(self):
        self.list = []

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.list.append(what)
        return ok


class Window:
    def __init__(self, session, display, log):
        self.env = dict(os.environ, DISPLAY=display)
        # Wine's trace of ShellExecute's arguments: Wine starts the browser
        # the same way whatever window it is asked to show.
        env = dict(session.env, MNEMORA_CLIPBOARD_CLEAR_MS=str(CLEAR_MS), WINEDEBUG="-all,+exec")
        self.trace = open(log + ".trace", "ab")
        # The desktop's browser, as Wine's winebrowser finds it: first on PATH.
        env["PATH"] = self.env_path = os.path.dirname(log) + os.pathsep + env["PATH"]
        # The prefix's desktop process may still be the one its set-up
        # started without a display, and a window started then finds no
        # display driver and ends at once; started again once that desktop
        # is gone, it shows.
        deadline = time.monotonic() + PATIENCE * 3
        while True:
            self.process = subprocess.Popen(
                [shutil.which("wine"), os.path.join(session.bindir, "mnemora.exe")],
                env=env,
                stdin=subprocess.DEVNULL,
                stderr=self.trace,
            )
            wait_until(lambda: self.process.poll() is not None or self.find(), PATIENCE * 3)
            if self.process.poll() is None or time.monotonic() > deadline:
                break
            time.sleep(1)
        if self.process.poll() is not None:
            raise RuntimeError(
                "mnemora.exe ended with status %d before showing its window" % self.process.returncode
            )
        self.id = self.find()
        if not self.id:
            raise RuntimeError("mnemora.exe showed no window")
        self.x = xdisplay.Display(display)
        # XFixes answers nothing before its version is asked.
        self.x.xfixes_query_version()

    def find(self):
        shown = subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^%s$" % TITLE],
            env=self.env,
            capture_output=True,
            text=True,
            timeout=PATIENCE,
        )
        return shown.stdout.split()[0] if shown.stdout.split() else None

    def xdotool(self, *args, timeout=PATIENCE, check=True):
        return subprocess.run(
            ["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=timeout, check=check
        ).stdout

    def move(self, point):
        self.xdotool("mousemove", "--window", self.id, str(point[0]), str(point[1]))

    def click(self, point):
        self.move(point)
        self.xdotool("click", "1")

    def screenshot(self):
        """The window's client area as the X server shows it (Wine's X11
        window of a top-level window is its client area)."""
        window = self.x.create_resource_object("window", int(self.id))
        size = window.get_geometry()
        image = window.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF)
        return Image.frombytes("RGB", (size.width, size.height), image.data, "raw", "BGRX")

    def clipboard_bytes(self, target):
        """The clipboard's bytes of that target; None when it holds none,
        NO_ANSWER when its owner did not answer in time."""
        try:
            got = subprocess.run(
                ["xclip", "-o", "-selection", "clipboard", "-t", target],
                env=self.env,
                capture_output=True,
                timeout=5,
            )
        except subprocess.TimeoutExpired:
            return NO_ANSWER
        return got.stdout if got.returncode == 0 else None

    def clipboard(self, target="UTF8_STRING"):
        """The clipboard's text as X11 clients read it; None when it holds
        none, NO_ANSWER when its owner did not answer in time (Wine's bridge
        sometimes never answers a request that comes while the clipboard
        changes), which matches no text and so is asked again."""
        got = self.clipboard_bytes(target)
        return got.decode("utf-8", "replace") if isinstance(got, bytes) else got

    def root_screenshot(self):
        root = self.x.screen().root
        size = root.get_geometry()
        image = root.get_image(0, 0, size.width, size.height, X.ZPixmap, 0xFFFFFFFF)
        return Image.frombytes("RGB", (size.width, size.height), image.data, "raw", "BGRX")

    def cursor(self):
        return self.x.xfixes_get_cursor_image(self.x.screen().root)


class Probe:
    """window_probe.exe, another program on the same desktop, its output
    lines read as they come."""

    def __init__(self, session, *args):
        self.process = subprocess.Popen(
            [shutil.which("wine"), os.path.join(session.bindir, "window_probe.exe"), *args],
            env=session.env,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
        )
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.decode("utf-8", "replace").rstrip("\r\n"))
            if line.strip() in (
                b"released",
                b"never saw the text",
                b"no such control",
                b"no password box",
                b"no 16-character code",
            ) or line.startswith((b"passwordchar", b"fits", b"notice")):
                break  # the last line: Wine's helpers may keep the pipe open

    def expect(self, wanted, seconds=PATIENCE):
        """Whether the line `wanted` comes within the time."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                if self.lines.get(timeout=max(0.1, deadline - time.monotonic())) == wanted:
                    return True
            except queue.Empty:
                pass
        return False

    def all_lines(self, count, seconds=PATIENCE):
        got = []
        deadline = time.monotonic() + seconds
        while len(got) < count and time.monotonic() < deadline:
            try:
                got.append(self.lines.get(timeout=max(0.1, deadline - time.monotonic())))
            except queue.Empty:
                pass
        return got


def memory_holds(needles):
    """Which of the byte strings lie anywhere in the writable memory of the
    Wine processes running mnemora.exe, read from Linux."""
    found = set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if b"mnemora.exe" not in f.read():
                    continue
            with open("/proc/%s/maps" % pid) as maps, open("/proc/%s/mem" % pid, "rb", 0) as mem:
                for line in maps:
                    fields = line.split()
                    if "rw" not in fields[1]:
                        continue
                    start, end = (int(x, 16) for x in fields[0].split("-"))
                    try:
                        mem.seek(start)
                        chunk = mem.read(end - start)
                    except (OSError, ValueError, OverflowError):
                        continue
                    found.update(n for n in needles if n in chunk)
        except (FileNotFoundError, ProcessLookupError, PermissionError):
            continue
    return found


def opened_addresses(log):
    """The addresses the desktop's browser was asked to open, in order."""
    if not os.path.exists(log):
        return []
    with open(log) as f:
        return f.read().split()


def shown_opens(trace):
    """The show flag of each ShellExecute call in Wine's trace, as written there."""
    with open(trace, "rb") as f:
        return re.findall(rb"show=(0x[0-9a-fA-F]+)", f.read())


def wait_until(condition, seconds=PATIENCE):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.05)


def same_pixels(shot, box, image, at=(0, 0)):
    """Whether the screenshot's box shows the image's pixels from `at` on."""
    x0, y0, x1, y1 = box
    region = shot.crop(box).tobytes()
    expected = image.crop((at[0], at[1], at[0] + x1 - x0, at[1] + y1 - y0)).tobytes()
    return region == expected


def tooltip(window, before, point):
    """What the tooltip shown at a point looks like: the part of the screen
    that changed since `before`, once it is wider than the pointer."""

    def changed():
        after = window.root_screenshot()
        box = ImageChops.difference(before, after).getbbox()
        return box and box[2] - box[0] > 60 and after.crop(box)

    window.move(point)
    return wait_until(changed, 15)


def repeats(image, columns):
    """Whether the first columns of an image repeat with some period: a row
    of tofu boxes instead of glyphs does."""
    grey = image.convert("L")
    column = [tuple(grey.getpixel((x, y)) for y in range(grey.height)) for x in range(grey.width)]
    return any(column[4 : 4 + columns] == column[4 + shift : 4 + shift + columns] for shift in range(6, 24))


def layout_checks(shot, language=LAYOUT["defaultLanguage"]):
    """What the screenshot of the window in its first state shows in a
    language, as (ok, what) pairs."""
    checks = [
        (
            shot.size == (pixels(LAYOUT["windowTwips"][0]), pixels(LAYOUT["windowTwips"][1])),
            "the client area is %dx%d" % shot.size,
        )
    ]
    # Each picture exactly where layout.json puts it (the panel's right edge
    # is cut off by the window).
    for name in ("ImgLogo", "ImgDonation", "ImgTarrow", "ImgBelmir", "ImgOdrin", "ImgPelu"):
        checks.append(
            (
                same_pixels(shot, place(name), picture(name, language)),
                "%s shows its %s picture in its place" % (name, language),
            )
        )
    background = picture("PicContrl", language)
    px, py, _, _ = place("PicContrl")
    for name in ("txtPassword", "txtKey", "txtCode16", "txtCode32"):
        x0, y0, x1, y1 = place(name)
        colour = (255, 255, 255) if name in ("txtPassword", "txtKey") else (0xFF, 0xFB, 0xF0)
        inside = shot.crop((x0, y0, x1, y1)).getdata()
        # The focused box may show its caret.
        share = sum(1 for p in inside if p == colour) / len(inside)
        checks.append((share > 0.95, "%s fills its place with its colour (%.3f)" % (name, share)))
        # The panel's picture right around the box: the box is not larger.
        ring = [(x0 - 1, y0 - 1, x1 + 1, y0), (x0 - 1, y1, x1 + 1, y1 + 1)]
        checks.append(
            (
                all(same_pixels(shot, r, background, (r[0] - px, r[1] - py)) for r in ring),
                "%s ends where its place ends" % name,
            )
        )
    # The panel's own picture between the controls: a band under the input row.
    band = (px, py + 110, px + 660, py + 160)
    checks.append((same_pixels(shot, band, background, (0, 110)), "the panel shows its picture"))
    return checks


def ink(shot, name):
    """How many of a box's pixels are near black: the glyphs of its text."""
    return sum(1 for p in shot.crop(place(name)).getdata() if max(p) < 96)


def check_layout(window, failures, language=LAYOUT["defaultLanguage"]):
    # Once the window has drawn all of itself, which a loaded machine delays.
    last = []

    def drawn():
        last[:] = layout_checks(window.screenshot(), language)
        return all(ok for ok, _ in last)

    wait_until(drawn, 30)
    for ok, what in last:
        failures.check(ok, what)


def check_english(prefix, bindir, display, log, failures, shots):
    """The window of an English system: every picture in its English
    drawing, the panel's captions included. The screenshot is kept in
    shots, when given, for a person to look at."""
    session = wine.session(prefix, display, "en_US.UTF-8")
    session.bindir = bindir
    # The pointer away from where the window opens: over the copy row it
    # would show the hover highlight.
    subprocess.run(
        ["xdotool", "mousemove", "1023", "767"],
        env=dict(os.environ, DISPLAY=display),
        timeout=PATIENCE,
        check=True,
    )
    window = Window(session, display, log)
    try:
        check_layout(window, failures, "en")
        if shots:
            window.screenshot().save(os.path.join(shots, "window-wine-en.png"))
    finally:
        window.xdotool("key", "--window", window.id, "alt+F4", check=False)
        try:
            window.process.wait(timeout=PATIENCE)
        except subprocess.TimeoutExpired:
            window.process.kill()
            window.process.wait()


def prepare_prefix(session, prefix):
    """The fonts a Windows desktop has, as Wine finds them: Chinese text
    through a font linked to Tahoma, and Courier New's metric-compatible
    stand-in, as the Qt window takes on Linux."""
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    if not os.path.exists(os.path.join(fonts, "wqy-microhei.ttc")):
        os.symlink(CJK_FONT, os.path.join(fonts, "wqy-microhei.ttc"))
    for key, name, kind, value in [
        (
            r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink",
            "Tahoma",
            "REG_MULTI_SZ",
            "wqy-microhei.ttc,WenQuanYi Micro Hei",
        ),
        (r"HKCU\Software\Wine\Fonts\Replacements", "Courier New", "REG_SZ", "Liberation Mono"),
    ]:
        done = session.run("reg", ["add", key, "/v", name, "/t", kind, "/d", value, "/f"])
        if done.returncode != 0:
            raise wine.WineError("reg add %s failed: %r" % (key, done.stdout))


def main(prefix, bindir):
    failures = Failures()
    code16, code32 = engine_model.generate_codes("test", "taobao")
    with tempfile.TemporaryDirectory() as scratch, wine.Xvfb("1024x768x24") as display:
        # A Chinese system, whose window is the one drawn into the pictures;
        # install-deps makes the locale.
        session = wine.session(prefix, display, "zh_CN.UTF-8")
        session.bindir = bindir
        prepare_prefix(session, prefix)
        log = os.path.join(scratch, "opened")
        opener = os.path.join(scratch, "xdg-open")
        with open(opener, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\n' % log)
        os.chmod(opener, stat.S_IRWXU)

        window = Window(session, display, log)
        try:
            check_layout(window, failures)

            # The donation button's tooltip, in Chinese: real glyphs, not boxes.
            before = window.root_screenshot()
            tip = tooltip(window, before, centre("ImgDonation"))
            failures.check(bool(tip) and not repeats(tip, 30), "the Chinese tooltip shows real glyphs")

            # The pointer: the hand, hot spot at the fingertip, over what opens something.
            hand = Image.open(os.path.join(ART, "hand.png"))
            shape = wait_until(lambda: (c := window.cursor()) and (c.width, c.height) == hand.size and c)
            failures.check(
                bool(shape) and (shape.xhot, shape.yhot) == (6, 0),
                "the hand pointer over the donation button",
            )
            window.move(centre("txtCode32"))
            failures.check(
                wait_until(lambda: (window.cursor().width, window.cursor().height) != hand.size, 10),
                "no hand over the 32-character box",
            )

            # A character deleted on the way, as people type.
            window.xdotool("type", "--delay", "30", "tesq")
            window.xdotool("key", "BackSpace")
            window.xdotool("type", "--delay", "30", "t")
            window.xdotool("key", "Tab")
            window.xdotool("type", "--delay", "30", "taobao")

            # The code boxes draw their new codes (the window's own control:
            # nothing but its invalidation brings them to the screen).
            failures.check(
                wait_until(
                    lambda: min(ink(window.screenshot(), n) for n in ("txtCode16", "txtCode32")) > 40, 10
                ),
                "both code boxes show their codes",
            )

            # Another program asks the password box for its text and to unmask it.
            peek = Probe(session, "peek", TITLE).all_lines(4)
            failures.check(
                peek == ["length 0", "text ", "line ", "passwordchar %d" % ord("*")],
                "another program reads nothing from the masked password box: %r" % peek,
            )
            fits = Probe(session, "fits", TITLE).all_lines(1)
            failures.check(fits == ["fits 1"], "the whole 16-character code is in view: %r" % fits)

            # Hover: the orange highlight over the copy row, gone over the panel.
            highlight = picture("ImgCode")
            hx0, hy0, _, _ = place("ImgCode")
            frame = (hx0 + 1, hy0 + 1, hx0 + 3, hy0 + 23)  # the left bar of its frame
            window.move(centre("lblCopy"))
            failures.check(
                wait_until(lambda: same_pixels(window.screenshot(), frame, highlight, (1, 1)), 10),
                "the highlight shows over the copy button",
            )
            window.move((place("PicContrl")[0] + 400, place("PicContrl")[1] + 220))
            failures.check(
                wait_until(lambda: not same_pixels(window.screenshot(), frame, highlight, (1, 1)), 10),
                "the highlight goes over the panel",
            )

            # The copy: the confirmation shown (looked for first: it shows for
            # only 1.2 s, which the clipboard's reads through Wine's bridge can
            # outlast on a busy machine), the code and its markers on the
            # clipboard, and the confirmation gone.
            confirmation = picture("ImgCopy")
            box = place("ImgCopy")
            window.click(centre("lblCopy"))
            failures.check(
                wait_until(lambda: same_pixels(window.screenshot(), box, confirmation), 10),
                "the confirmation shows",
            )
            failures.check(
                wait_until(lambda: window.clipboard() == code16, 10) is True,
                "the copy button puts %s on the clipboard" % code16,
            )
            targets = (
                wait_until(
                    lambda: next((t for t in [window.clipboard("TARGETS")] if isinstance(t, str)), None), 10
                )
                or ""
            )
            failures.check(
                all(m in targets.split() for m in MARKERS), "the markers among the targets: %r" % targets
            )
            values = {m: window.clipboard_bytes(m) for m in REFUSING_MARKERS}
            failures.check(all(v == bytes(4) for v in values.values()), "the markers refuse: %r" % values)
            failures.check(
                wait_until(lambda: not same_pixels(window.screenshot(), box, confirmation), 10),
                "the confirmation goes",
            )

            # A copy in the 32-character box, which selects all when it gets the focus.
            window.click(centre("txtCode32"))
            window.xdotool("key", "ctrl+c")
            failures.check(
                wait_until(lambda: window.clipboard() == code32, 10) is True,
                "Ctrl+C in the 32-character box copies %s" % code32,
            )
            failures.check(
                wait_until(lambda: window.clipboard() in (None, ""), CLEAR_MS / 1000 + 20) is True,
                "the clipboard is cleared after the delay",
            )

            # Tab from the key box: the 16-character box, all of it selected.
            window.click(centre("txtKey"))
            window.xdotool("key", "Tab", "ctrl+c")
            failures.check(
                wait_until(lambda: window.clipboard() == code16, 10) is True,
                "Tab from the key box reaches the 16-character box",
            )

            # Part of a code, selected from the keyboard, is what Ctrl+C and Ctrl+Insert copy.
            for keys, part in [
                (["End", "shift+Left", "shift+Left", "shift+Left", "ctrl+c"], code16[-3:]),
                (["Home", "shift+Right", "shift+Right", "ctrl+Insert"], code16[:2]),
            ]:
                window.xdotool("key", *keys)
                failures.check(
                    wait_until(lambda: window.clipboard() == part, 10) is True,
                    "%s copy %s" % (", ".join(keys), part),
                )

            # What the user copied since is theirs.
            window.click(centre("lblCopy"))
            wait_until(lambda: window.clipboard() == code16, 10)
            mine = subprocess.Popen(
                ["xclip", "-i", "-selection", "clipboard"], env=window.env, stdin=subprocess.PIPE
            )
            mine.communicate(b"mine", timeout=PATIENCE)
            time.sleep(CLEAR_MS / 1000 + 2)  # past the delay: nothing may happen
            failures.check(window.clipboard() == "mine", "the clear leaves the user's own copy alone")

            # Another program holds the clipboard a moment when the copy is
            # asked for, then over the time of the clear: the copy waits for
            # it, the clear is done once it lets go.
            holder = Probe(session, "hold-clipboard", code16, str(CLEAR_MS + 3000))
            holder.expect("ready")
            copy_id = FIRST_CONTROL_ID + list(CONTROLS).index("lblCopy")
            Probe(session, "click-while-held", TITLE, str(copy_id), "150").expect("released")
            failures.check(
                holder.expect("held", 30), "the copy waits for a program holding the clipboard a moment"
            )
            holder.expect("released", CLEAR_MS / 1000 + 30)
            failures.check(
                wait_until(lambda: window.clipboard() in (None, ""), 20) is True,
                "a clear the clipboard was busy for is done once it is free",
            )

            # The dialog that fits the code to a site's rules, from the keyboard
            # alone: the 16-character box's menu, the rule typed, the code
            # copied with its access key, Escape. The command line's code is
            # the answer.
            cli = session.run(
                os.path.join(bindir, "mnemora-cli.exe"), ["--rules", FIT_RULE, "taobao"], b"test\n"
            )
            fitted = (
                cli.stdout.decode("utf-8", "replace").strip()
                if cli.returncode == 0
                else "(mnemora-cli failed)"
            )
            window.click(centre("txtCode16"))
            window.xdotool("key", "shift+F10")
            window.xdotool("key", "f")
            dialog = wait_until(
                lambda: window.xdotool(
                    "search", "--onlyvisible", "--name", "^%s$" % FIT_TITLE, check=False
                ).split(),
                30,
            )
            if failures.check(bool(dialog), "Shift+F10 and F in the 16-character box open the dialog"):
                window.xdotool("key", "Tab")
                window.xdotool("type", "--delay", "20", FIT_RULE)
                window.xdotool("key", "alt+c")
                failures.check(
                    wait_until(lambda: window.clipboard() == fitted, 10) is True,
                    "the dialog copies the command line's fitted code %s" % fitted,
                )
                window.xdotool("key", "Escape")
                failures.check(
                    wait_until(
                        lambda: not window.xdotool(
                            "search", "--onlyvisible", "--name", "^%s$" % FIT_TITLE, check=False
                        ).split(),
                        10,
                    ),
                    "Escape closes the dialog",
                )

            # The six links reach the desktop's browser.
            for name, _ in LINKS:
                window.click(centre(name))
                count = LINKS.index((name, _)) + 1
                wait_until(lambda: len(opened_addresses(log)) >= count, 30)
            opened = opened_addresses(log)
            failures.check(opened == [address for _, address in LINKS], "the six links open %r" % opened)
            shows = shown_opens(log + ".trace")
            failures.check(
                shows == [b"0x00000001"] * len(LINKS), "the browser is asked to show a window: %r" % shows
            )

            # By keyboard: Tab from the 32-character box reaches the copy
            # button, then the copyright line; Enter and Space press them.
            window.click(centre("txtCode32"))
            window.xdotool("key", "Tab", "Return")
            failures.check(
                wait_until(lambda: window.clipboard() == code16, 10) is True,
                "Tab from the 32-character box and Enter copy %s" % code16,
            )
            window.xdotool("key", "Tab", "space")
            failures.check(
                wait_until(lambda: opened_addresses(log)[len(LINKS) :] == [LINKS[-1][1]], 30) is True,
                "Tab on to the copyright line and Space open %s" % LINKS[-1][1],
            )

            # A password pasted from a note with its line's end and another
            # line: its first line alone, and the window says so until it goes.
            window.click(centre("txtPassword"))
            window.xdotool("key", "End", "shift+Home", "BackSpace")
            note = subprocess.Popen(
                ["xclip", "-i", "-selection", "clipboard"], env=window.env, stdin=subprocess.PIPE
            )
            note.communicate(b"test\nsecond", timeout=PATIENCE)
            wait_until(lambda: window.clipboard() == "test\nsecond", 10)
            window.xdotool("key", "ctrl+v")
            notice = "notice " + LAYOUT["texts"]["zh-CN"]["pasteCut"]
            shown = wait_until(lambda: Probe(session, "notice", TITLE).all_lines(1) == [notice], 20)
            window.click(centre("lblCopy"))
            failures.check(
                shown and wait_until(lambda: window.clipboard() == code16, 10) is True,
                "a paste of two lines gives the first line's code %s and says so" % code16,
            )
            failures.check(
                wait_until(
                    lambda: Probe(session, "notice", TITLE).all_lines(1) == ["notice"],
                    LAYOUT["timings"]["pasteCutMs"] / 1000 + 20,
                ),
                "the notice of the cut paste goes by itself",
            )

            # A password typed, then cleared (select all, Backspace): no copy
            # of it stays in the program's memory.
            secret = "Qv7-Hidden-Wren-Lattice"
            window.click(centre("txtPassword"))
            window.xdotool("key", "End", "shift+Home", "BackSpace")
            window.xdotool("type", "--delay", "30", secret)
            window.click(centre("lblCopy"))
            failures.check(
                wait_until(lambda: window.clipboard() == engine_model.generate_codes(secret, "taobao")[0], 10)
                is True,
                "the typed password gives its code",
            )
            # One more character: codes never copied, which the window reads
            # back from their boxes when they change.
            window.xdotool("type", "--delay", "30", "x")
            shown_codes = engine_model.generate_codes(secret + "x", "taobao")
            window.click(centre("txtPassword"))
            window.xdotool("key", "End", "shift+Home", "BackSpace")
            # Once the box is empty, the codes are gone.
            failures.check(
                wait_until(lambda: Probe(session, "fits", TITLE).all_lines(1) == ["no 16-character code"], 30)
                is True,
                "emptying the password box empties the code boxes",
            )
            failures.check(
                wait_until(
                    lambda: max(ink(window.screenshot(), n) for n in ("txtCode16", "txtCode32")) == 0, 10
                ),
                "the emptied code boxes show nothing",
            )
            # Its second half: a freed block's first bytes are the heap's own,
            # and emptying an edit control's undo buffer zeroes only its first character.
            half = secret[len(secret) // 2 :]
            left = memory_holds([half.encode("utf-16-le"), half.encode()])
            failures.check(not left, "no copy of a cleared password in memory: %r" % left)
            # A code's last three eighths: what a copy wiped only up to its middle still holds.
            ends = [c[-(3 * len(c) // 8) :].encode("utf-16-le") for c in shown_codes]
            left = memory_holds(ends)
            failures.check(not left, "no copy of a cleared code in memory: %r" % left)
            window.xdotool("type", "--delay", "30", "test")

            # The clear on exit; the codes shown before are shown again.
            window.click(centre("lblCopy"))
            failures.check(
                wait_until(lambda: window.clipboard() == code16, 10) is True,
                "the password typed again shows its code again",
            )
            window.xdotool("key", "--window", window.id, "alt+F4")
            window.process.wait(timeout=PATIENCE)
            # Asked again while the bridge does not answer.
            failures.check(
                wait_until(lambda: window.clipboard() not in (code16, NO_ANSWER), 20) is True,
                "the clipboard is cleared on exit",
            )
            excluded = [
                key
                for key in WER_EXCLUDED
                if session.run("reg", ["query", key, "/v", "mnemora.exe"]).returncode == 0
            ]
            failures.check(not excluded, "the portable program leaves nothing in the registry: %r" % excluded)

            # An MSAA client in the window's own process (Wine gives none
            # across processes): the 16-character box, read-only text whose
            # value is its code; the copy button and the copyright line,
            # their roles, names and default actions, which act as a click.
            texts = LAYOUT["texts"]["zh-CN"]
            client = wine.session(prefix, display, "zh_CN.UTF-8")
            client.env.update(WINEDEBUG="-all,+exec", PATH=window.env_path)
            msaa = client.run(os.path.join(bindir, "window_accessible.exe"), ["test", "taobao"])
            said = msaa.stdout.decode("utf-8", "replace").splitlines()
            expected = [
                "txtCode16 role %d name %s readonly 1 value %s"
                % (ROLE_SYSTEM_TEXT, texts[CONTROLS["txtCode16"]["accessibleName"]], code16),
                "lblCopy role %d name %s action %s"
                % (
                    ROLE_SYSTEM_PUSHBUTTON,
                    texts[CONTROLS["lblCopy"]["accessibleName"]],
                    texts["pressAction"],
                ),
                "clipboard " + code16,
                "lblCopyright role %d name %s action %s"
                % (ROLE_SYSTEM_LINK, texts[CONTROLS["lblCopyright"]["accessibleName"]], texts["jumpAction"]),
            ]
            failures.check(
                said == expected, "MSAA: the code box's value, the default actions that act: %r" % said
            )
            shows = re.findall(rb"show=(0x[0-9a-fA-F]+)", msaa.stderr)
            failures.check(
                wait_until(lambda: opened_addresses(log)[-1:] == [LINKS[-1][1]], 30) is True
                and shows == [b"0x00000001"],
                "the copyright line's default action opens %s in a shown window: %r" % (LINKS[-1][1], shows),
            )
        finally:
            if window.process.poll() is None:
                window.process.kill()
                window.process.wait()
        check_english(prefix, bindir, display, log, failures, os.environ.get("MNEMORA_SCREENSHOTS"))
    if failures.list:
        print("%d failed" % len(failures.list))
        return 1
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
