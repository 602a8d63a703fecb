#!/usr/bin/env python3
"""Takes docs/windows.png: the Windows window (build-windows/bin/mnemora.exe,
`make windows`) under Wine on a private X display, with the example password
"test" and key "taobao" typed in and the pointer over the copy button.

    tools/windows-screenshot.py [PREFIX]

PREFIX: a Wine prefix to use (made if missing; a temporary one by default).
"""

import os
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "tests", "win"))
import test_window_wine as driver  # noqa: E402
import wine  # noqa: E402


def main(prefix):
    if not os.path.exists(os.path.join(prefix, "system.reg")):
        wine.setup(prefix)
    with tempfile.TemporaryDirectory() as scratch, wine.Xvfb("1024x768x24") as display:
        session = wine.session(prefix, display)
        session.bindir = os.path.join(ROOT, "build-windows", "bin")
        driver.prepare_prefix(session, prefix)
        window = driver.Window(session, display, os.path.join(scratch, "opened"))
        try:
            window.xdotool("type", "--delay", "30", "test")
            window.xdotool("key", "Tab")
            window.xdotool("type", "--delay", "30", "taobao")
            window.move(driver.centre("lblCopy"))
            code16, _ = driver.engine_model.generate_codes("test", "taobao")
            # Until the highlight is drawn: the window handles its input in
            # order, so the typed keys' codes are drawn by then too.
            highlight = driver.picture("ImgCode")
            x0, y0, _, _ = driver.place("ImgCode")
            driver.wait_until(
                lambda: driver.same_pixels(
                    window.screenshot(), (x0 + 1, y0 + 1, x0 + 3, y0 + 23), highlight, (1, 1)
                ),
                30,
            )
            window.screenshot().save(os.path.join(ROOT, "docs", "windows.png"), optimize=True)
            print("docs/windows.png: %s typed, %s shown" % ("test/taobao", code16))
        finally:
            window.process.kill()
            window.process.wait()
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 1:
        sys.exit(main(sys.argv[1]))
    with tempfile.TemporaryDirectory() as folder:
        code = main(os.path.join(folder, "prefix"))
        wine.cleanup(os.path.join(folder, "prefix"))
        sys.exit(code)
