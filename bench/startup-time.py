#!/usr/bin/python3
"""Start-up time of the window program beside its floor, in the same run.

Each program is started RUNS times, the two alternating, on the offscreen
platform with bench's probe preloaded (startup_probe.cpp), which marks main,
the application object, the window being built, shown and first painted. The
floor is a bare Qt window with one picture and one box (bare_window.cpp).
Prints the median of every step and the ratio of main-to-first-paint to the
floor's. Target: at most 1.15 x the floor.

Usage: startup-time.py mnemora bare-window probe.so picture [runs]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

STEPS = [
    ("exec to main", "exec", "main"),
    ("main to application object", "main", "application"),
    ("application object to window built", "application", "window"),
    ("window built to shown", "window", "shown"),
    ("shown to first paint over", "shown", "painted"),
]
TARGET = 1.15


def run(command, probe):
    with tempfile.NamedTemporaryFile("r", suffix=".marks") as out:
        env = dict(os.environ, LD_PRELOAD=probe, MNEMORA_PROBE_OUT=out.name)
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        started = time.monotonic_ns()
        subprocess.run(
            command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=True
        )
        marks = dict(line.split() for line in out.read().splitlines())
    if "painted" not in marks:
        raise SystemExit(f"startup-time: {command[0]} never painted")
    marks = {name: int(ns) for name, ns in marks.items()}
    marks["exec"] = started
    return {name: (marks[end] - marks[start]) / 1e6 for name, start, end in STEPS}


def main():
    mnemora, bare, probe, picture = sys.argv[1:5]
    runs = int(sys.argv[5]) if len(sys.argv) > 5 else 15
    programs = {"window program": [mnemora], "bare window (floor)": [bare, picture]}
    steps = {name: [] for name in programs}
    for i in range(runs + 1):
        for name in sorted(programs, reverse=i % 2 == 1):
            timing = run(programs[name], probe)
            if i > 0:  # the first round only warms the page cache
                steps[name].append(timing)

    def median(name, step):
        return statistics.median(t[step] for t in steps[name])

    def from_main(timing):
        return sum(v for k, v in timing.items() if k != "exec to main")

    print(f"Start-up, median of {runs} runs each (ms):")
    print(f"  {'':38} {'window':>8} {'floor':>8}")
    for step, _, _ in STEPS:
        print(f"  {step:38} {median('window program', step):8.1f} {median('bare window (floor)', step):8.1f}")
    totals = {name: statistics.median(from_main(t) for t in steps[name]) for name in programs}
    whole = {name: statistics.median(sum(t.values()) for t in steps[name]) for name in programs}
    ratio = totals["window program"] / totals["bare window (floor)"]
    print(
        f"  {'main to first paint':38} {totals['window program']:8.1f} {totals['bare window (floor)']:8.1f}"
    )
    print(f"  {'exec to first paint':38} {whole['window program']:8.1f} {whole['bare window (floor)']:8.1f}")
    verdict = "ok" if ratio <= TARGET else "MISSED"
    print(
        f"{'Window start-up, main to first paint':44} {ratio:6.2f} x the floor (target <= {TARGET}) {verdict}"
    )
    print(
        f"{'Window start-up, exec to first paint':44} "
        f"{whole['window program'] / whole['bare window (floor)']:6.2f} x the floor"
    )
    return 0 if verdict == "ok" else 1


if __name__ == "__main__":
    sys.exit(main())
