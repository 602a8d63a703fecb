"""Windows benchmarks under Wine (`make bench`), in a private prefix on a
private X display:

- start to a shown window: from starting mnemora.exe until X maps its
  window, beside bench_floor.exe (a bare Win32 window with one picture and
  one edit box) in the same Wine, alternating, after one warm-up start each,
  with Wine's desktop process kept running as a desktop session keeps it;
  target: at most 1.1 x the floor; then the DLLs each loads before its
  window shows (Wine's loaddll trace), and those only the window loads;
- keystroke to both codes (bench_keystroke.exe), beside a bare edit box;
  target: a median of at most 0.4 ms.

A miss is reported and the benchmark goes on; it fails only when a program
shows no window or derives no codes.

The private display has an X resource database, as every desktop session
sets one: without it Xlib looks for ~/.Xdefaults again on each look-up, and
Wine looks one up each time a font is selected into a device context, which
a keystroke into an edit box does many times.

    bench.py BINDIR [ROUNDS]
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, Xatom, display as xdisplay

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "win"))
import wine  # noqa: E402

PATIENCE = 120
STARTUP_TARGET = 1.10


def cpu_seconds(pid):
    """The processor time all threads of a process have run, from the
    scheduler's own count in nanoseconds; 0 when it is gone."""
    total = 0
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as stat:
                total += int(stat.read().split()[0])
    except (OSError, ValueError, IndexError):
        pass
    return total / 1e9


def time_to_shown(session, x, program, title, cpu=None, trace=None):
    """Seconds from starting the program until X maps its window; None when
    it ended without one. The processor time its own process ran until then
    is appended to the list cpu: unlike the time, it leaves out the waits
    for the wine server, the X server and the rest of a loaded machine.
    trace: a file for Wine's trace of the DLLs the program loads, which ends
    where the window shows (the program is ended then)."""
    root = x.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    x.sync()
    start = time.monotonic()
    process = subprocess.Popen(
        [wine._wine(), program],
        env=dict(session.env, WINEDEBUG="-all,+loaddll") if trace else session.env,
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=trace or subprocess.DEVNULL,
    )
    try:
        deadline = start + PATIENCE
        while time.monotonic() < deadline:
            if process.poll() is not None:
                return None
            if not x.pending_events():
                time.sleep(0.001)
                continue
            event = x.next_event()
            if event.type == X.MapNotify:
                try:
                    name = event.window.get_wm_name()
                except Exception:  # the window may be gone already
                    continue
                if name == title:
                    seconds = time.monotonic() - start
                    if cpu is not None:
                        cpu.append(cpu_seconds(process.pid))
                    return seconds
        raise RuntimeError("%s showed no window" % program)
    finally:
        process.kill()
        process.wait()


def main(bindir, rounds):
    with tempfile.TemporaryDirectory() as folder, wine.Xvfb("1024x768x24") as display:
        prefix = os.path.join(folder, "prefix")
        wine.setup(prefix)
        try:
            session = wine.session(prefix, display)
            x = xdisplay.Display(display)
            root = x.screen().root
            root.change_property(x.intern_atom("RESOURCE_MANAGER"), Xatom.STRING, 8, b"Xft.dpi:\t96\n")
            x.sync()
            status = 0
            try:
                start_up(session, x, bindir, rounds)
            except RuntimeError as error:
                print("start-up not measured: %s" % error)
                status = 1
            keystroke = session.run(os.path.join(bindir, "bench_keystroke.exe"))
            print(keystroke.stdout.decode().strip())
            return status or keystroke.returncode
        finally:
            wine.cleanup(prefix)


def programs(bindir):
    return [
        (os.path.join(bindir, "mnemora.exe"), "Mnemora v1.2 build 20120314"),
        (os.path.join(bindir, "bench_floor.exe"), "Mnemora floor"),
    ]


def start_up(session, x, bindir, rounds):
    programs_ = programs(bindir)
    # The prefix's desktop process may still be the one its set-up
    # started without a display, which no window can use; once it is
    # gone, windows show.
    warm = time.monotonic() + PATIENCE * 3
    while time_to_shown(session, x, *programs_[0]) is None and time.monotonic() < warm:
        time.sleep(1)
    # Wine's desktop process, which a desktop session keeps running, stays
    # up for the whole run: a program started while it is gone starts it and
    # waits for it, and where that wait falls differs between programs.
    desktop = subprocess.Popen(
        [wine._wine(), "notepad.exe"],
        env=session.env,
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    try:
        measure(session, x, programs_, rounds)
        dlls(session, x, programs_)
    finally:
        desktop.kill()
        desktop.wait()


def loaded_before_shown(session, x, program, title):
    """The DLLs the program loads before its window shows, in load order,
    lower-case, without folder; the program itself left out."""
    with tempfile.TemporaryFile() as trace:
        if time_to_shown(session, x, program, title, trace=trace) is None:
            raise RuntimeError("%s ended without showing its window" % program)
        trace.seek(0)
        text = trace.read().decode(errors="replace")
    names = []
    for line in text.splitlines():
        found = re.search(r'Loaded L?"([^"]*)"', line)
        if found:
            name = found.group(1).replace("\\\\", "\\").rsplit("\\", 1)[-1].lower()
            if name not in names and not name.endswith(".exe"):
                names.append(name)
    return names


def dlls(session, x, programs_):
    """Prints the DLLs each program loads before its window shows, and
    those only the window loads."""
    loaded = {program: loaded_before_shown(session, x, program, title) for program, title in programs_}
    for program, _ in programs_:
        print(
            "  DLLs loaded before %s shows (%d): %s"
            % (os.path.basename(program), len(loaded[program]), " ".join(loaded[program]))
        )
    floor = set(loaded[programs_[1][0]])
    extra = [name for name in loaded[programs_[0][0]] if name not in floor]
    print(
        "DLLs %s loads before it shows that the bare window does not: %s"
        % (os.path.basename(programs_[0][0]), " ".join(extra) or "none")
    )


def measure(session, x, programs_, rounds):
    times = {program: [] for program, _ in programs_}
    cpu = {program: [] for program, _ in programs_}
    for round_ in range(rounds + 1):
        for program, title in programs_ if round_ % 2 else reversed(programs_):
            used = []
            seconds = time_to_shown(session, x, program, title, used)
            if seconds is None:
                raise RuntimeError("%s ended without showing its window" % program)
            if round_ > 0:  # the first round warms Wine's caches
                times[program].append(seconds)
                cpu[program].extend(used)
    for program, _ in programs_:
        print(
            "  %s: %s ms" % (os.path.basename(program), " ".join("%.0f" % (t * 1000) for t in times[program]))
        )
    window = statistics.median(times[programs_[0][0]])
    floor = statistics.median(times[programs_[1][0]])
    # Each pair started back to back, so that a burst of load hits both.
    ratios = [w / f for w, f in zip(times[programs_[0][0]], times[programs_[1][0]])]
    ratio = window / floor
    print(
        "start to shown window under Wine: mnemora.exe %.0f ms, bare window %.0f ms (median of %d):"
        " %.2f x the floor, median of the pairs' ratios %.2f x (target <= %.2f x) %s"
        % (
            window * 1000,
            floor * 1000,
            rounds,
            ratio,
            statistics.median(ratios),
            STARTUP_TARGET,
            "ok" if ratio <= STARTUP_TARGET else "MISSED",
        )
    )
    window_cpu = statistics.median(cpu[programs_[0][0]])
    floor_cpu = statistics.median(cpu[programs_[1][0]])
    print(
        "processor time of the program's own process until shown: mnemora.exe %.0f ms, bare window %.0f ms"
        " (median): %.2f x the floor"
        % (window_cpu * 1000, floor_cpu * 1000, window_cpu / max(floor_cpu, 1e-9))
    )


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 11))
