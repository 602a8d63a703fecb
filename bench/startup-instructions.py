#!/usr/bin/python3
"""Instructions the window program runs from exec to its first paint, beside
its floor, counted by callgrind: unlike a clock they do not move with the
machine's load, so a change's cost shows even on a busy machine.

Both programs run once each under valgrind on the offscreen platform, with
bench's probe preloaded (startup_probe.cpp) to end them once the first paint
is over. Every thread is counted, and every child process if one is started:
a user with one free core waits for all of them. The floor is the bare Qt
window with one picture and one box (bare_window.cpp). Target: at most
1.10 x the floor's instructions in total.

Usage: startup-instructions.py mnemora bare-window probe.so picture
"""

import glob
import os
import re
import subprocess
import sys
import tempfile

TARGET = 1.10


def count(command, probe):
    """Instructions of the main thread and of all others, in millions."""
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, LD_PRELOAD=probe, MNEMORA_PROBE_OUT=os.path.join(folder, "marks"))
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        subprocess.run(
            [
                "valgrind",
                "--tool=callgrind",
                "--trace-children=yes",
                "--separate-threads=yes",
                "--callgrind-out-file=" + os.path.join(folder, "out.%p"),
            ]
            + command,
            env=env,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            timeout=600,
            check=True,
        )
        if not os.path.exists(os.path.join(folder, "marks")):
            raise SystemExit(f"startup-instructions: {command[0]} never painted")
        main = others = 0
        for path in glob.glob(os.path.join(folder, "out.*")):
            with open(path, encoding="utf-8", errors="replace") as out:
                text = out.read()
            if not text:
                continue  # with threads separated, the file named as asked stays empty
            found = re.search(r"^(?:summary|totals): (\d+)", text, re.M)
            if not found:
                raise SystemExit(f"startup-instructions: no total in {path}")
            thread = re.search(r"^thread: (\d+)", text, re.M)
            if thread and thread.group(1) == "1":
                main += int(found.group(1))
            else:
                others += int(found.group(1))
        return main / 1e6, others / 1e6


def main():
    mnemora, bare, probe, picture = sys.argv[1:5]
    window = count([mnemora], probe)
    floor = count([bare, picture], probe)
    print("Start-up instructions, exec to first paint (callgrind, millions):")
    print(f"  {'':38} {'window':>8} {'floor':>8}")
    print(f"  {'main thread':38} {window[0]:8.1f} {floor[0]:8.1f}")
    print(f"  {'other threads and processes':38} {window[1]:8.1f} {floor[1]:8.1f}")
    print(f"  {'all together':38} {sum(window):8.1f} {sum(floor):8.1f}")
    ratio = sum(window) / sum(floor)
    verdict = "ok" if ratio <= TARGET else "MISSED"
    print(f"{'Window start-up, instructions':44} {ratio:6.2f} x the floor (target <= {TARGET}) {verdict}")
    return 0 if verdict == "ok" else 1


if __name__ == "__main__":
    sys.exit(main())
