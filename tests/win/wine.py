"""The shared base of the tests under Wine.

One private Wine prefix per test run, made by the ctest fixture `wine_prefix`
(`wine.py setup PREFIX`) and removed by its cleanup (`wine.py cleanup
PREFIX`); the tests between them share it and its wine server, so Wine starts
once per run, not once per test. A test that cannot start Wine fails: Wine is
part of the project's dependencies (tools/install-deps), never optional.

As a module: `session(prefix)` gives the environment and runners for that
prefix, `Xvfb()` a private X display for programs that open windows.
"""

import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

# Generous: only reached when something hangs, which is then the failure.
BOOT_TIMEOUT = 600
RUN_TIMEOUT = 300
# Left in the prefix once it is fully made.
READY = "mnemora-prefix-ready"


class WineError(Exception):
    pass


def _wine():
    wine = shutil.which("wine")
    if wine is None:
        raise WineError("wine is not installed: run tools/install-deps")
    return wine


def environment(prefix, display=None, locale="C.UTF-8"):
    """The environment of a Wine process in `prefix`: quiet, 64-bit, without
    the Mono and Gecko installers or desktop menu entries, and with the X
    display only when one is asked for. Wine gives the program the user's
    language from `locale` (C.UTF-8 reads as US English)."""
    env = dict(os.environ)
    env.update(
        WINEPREFIX=os.path.abspath(prefix),
        WINEARCH="win64",
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=",
        # Arguments and terminal text pass between Unix and Windows as UTF-8,
        # whatever the caller's locale.
        LC_ALL=locale,
    )
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    if display is not None:
        env["DISPLAY"] = display
    return env


def setup(prefix):
    """Makes a fresh prefix and keeps its wine server running until cleanup."""
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    env = environment(prefix)
    # A server of its own that stays until cleanup: the tests that follow
    # start their programs without waiting for a new server each time.
    subprocess.run(
        ["wineserver", "--persistent"],
        env=env,
        check=True,
        timeout=RUN_TIMEOUT,
        stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    with tempfile.TemporaryFile() as log:
        boot = subprocess.run(
            [_wine(), "wineboot", "--init"],
            env=env,
            stdin=subprocess.DEVNULL,
            stdout=log,
            stderr=log,
            timeout=BOOT_TIMEOUT,
        )
        log.seek(0)
        # The registry reaches the disk only when the server saves it; the
        # system folder is there as soon as the prefix is.
        if boot.returncode != 0 or not os.path.isdir(os.path.join(prefix, "drive_c", "windows", "system32")):
            raise WineError(
                "wineboot failed (%d): %s" % (boot.returncode, log.read().decode(errors="replace"))
            )
    # wineboot returns while the prefix's first start still runs in the
    # background (services, the desktop); until it is over, a Windows
    # program starting another can fail (CreateProcessW: 1359). Ready is
    # when a Windows program has started another and read its output.
    deadline = time.monotonic() + BOOT_TIMEOUT
    while True:
        probe = _run_in(env, [_wine(), "cmd", "/c", "cmd /c echo ready"], timeout=RUN_TIMEOUT)
        if probe.returncode == 0 and b"ready" in probe.stdout:
            break
        if time.monotonic() > deadline:
            raise WineError(
                "the prefix never started a program (%d): %s"
                % (probe.returncode, (probe.stdout + probe.stderr).decode(errors="replace"))
            )
        time.sleep(0.5)
    with open(os.path.join(prefix, READY), "w"):
        pass


def cleanup(prefix):
    if os.path.isdir(prefix):
        subprocess.run(["wineserver", "--kill"], env=environment(prefix), timeout=RUN_TIMEOUT)
        subprocess.run(["wineserver", "--wait"], env=environment(prefix), timeout=RUN_TIMEOUT)
    shutil.rmtree(prefix, ignore_errors=True)


class Session:
    def __init__(self, prefix, display=None, locale="C.UTF-8"):
        if not os.path.exists(os.path.join(prefix, READY)):
            raise WineError("no Wine prefix in %s: the wine_prefix fixture did not run" % prefix)
        self.prefix = prefix
        self.env = environment(prefix, display, locale)

    def run(self, program, args=(), input=b"", timeout=RUN_TIMEOUT):
        """Runs a Windows program to its end; a CompletedProcess with bytes."""
        return _run_in(self.env, [_wine(), program, *args], input, timeout)


def _run_in(env, command, input=b"", timeout=RUN_TIMEOUT):
    """Runs a command to its end; a CompletedProcess with bytes.

    Its outputs go through files, not pipes: the helper processes Wine
    starts on first use (services, the desktop) inherit them and stay, so a
    pipe would never reach its end."""
    with (
        tempfile.TemporaryFile() as stdin,
        tempfile.TemporaryFile() as stdout,
        tempfile.TemporaryFile() as stderr,
    ):
        stdin.write(input)
        stdin.seek(0)
        done = subprocess.run(command, env=env, stdin=stdin, stdout=stdout, stderr=stderr, timeout=timeout)
        stdout.seek(0)
        stderr.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode, stdout.read(), stderr.read())


def windows_path(path):
    """A file of this system as Windows programs under Wine name it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def session(prefix, display=None, locale="C.UTF-8"):
    return Session(prefix, display, locale)


@contextlib.contextmanager
def Xvfb(size="1280x1024x24"):
    """A private X server for the duration of the block; yields its DISPLAY."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    os.close(write_end)
    try:
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise WineError("Xvfb did not start")
        yield ":" + number
    finally:
        server.terminate()
        server.wait(timeout=RUN_TIMEOUT)


def run_test(main, doc, nargs):
    """Runs a test script's main(*arguments): its exit status, 2 with its
    usage for the wrong number of arguments, 1 when Wine fails."""
    name = os.path.basename(sys.argv[0])
    if len(sys.argv) != nargs + 1:
        print(doc, file=sys.stderr)
        sys.exit(2)
    try:
        sys.exit(main(*sys.argv[1:]))
    except WineError as e:
        print("%s: %s" % (name, e), file=sys.stderr)
        sys.exit(1)


def main(argv):
    if len(argv) != 3 or argv[1] not in ("setup", "cleanup"):
        print("usage: wine.py setup|cleanup PREFIX", file=sys.stderr)
        return 2
    try:
        (setup if argv[1] == "setup" else cleanup)(argv[2])
    except (WineError, OSError, subprocess.SubprocessError) as e:
        print("wine.py: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
