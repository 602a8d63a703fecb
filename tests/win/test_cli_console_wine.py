"""mnemora-cli.exe in a console under Wine, on a pseudo-terminal as a person
uses it: the prompt, a Chinese password typed without echo (read as UTF-16)
and a Chinese key from the command line give the known code; Ctrl-C while
the password is typed ends the program as Windows ends an interrupted one.
In the console's shell, what is pasted after the password never reaches the
shell. Wine's trace of the console calls shows echo going off before the
prompt shows, and coming back when Ctrl-C ends the program.

    test_cli_console_wine.py PREFIX BINDIR
"""

import os
import pty
import re
import select
import tempfile
import termios
import time

import wine

# Generous: only reached when something hangs, which is then the failure.
PATIENCE = 120
# Windows' STATUS_CONTROL_C_EXIT, of which Wine passes the low byte to Unix.
CONTROL_C_EXIT = 0xC000013A & 0xFF
ENABLE_ECHO_INPUT = 0x4


class Console:
    def __init__(self, session, program, args, trace=None):
        """trace: a file for Wine's trace of the program's console calls."""
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            env = session.env
            if trace:
                os.dup2(os.open(trace, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), 2)
                env = dict(env, WINEDEBUG="-all,+console")
            os.execvpe("wine", ["wine", program, *args], env)
        self.seen = b""

    def wait_for(self, needle):
        deadline = time.monotonic() + PATIENCE
        while needle not in self.seen and time.monotonic() < deadline:
            ready, _, _ = select.select([self.fd], [], [], 0.5)
            if ready:
                try:
                    self.seen += os.read(self.fd, 4096)
                except OSError:  # the program ended
                    break
        return needle in self.seen

    def wait_for_count(self, needle, count):
        deadline = time.monotonic() + PATIENCE
        while self.seen.count(needle) < count and time.monotonic() < deadline:
            self.wait_for_more()
        return self.seen.count(needle) >= count

    def wait_for_raw_terminal(self):
        """Wine's console takes the terminal over (echo and line editing its
        own) some time after the program has started: keys typed before then
        would be echoed by the terminal itself, not by the program."""
        deadline = time.monotonic() + PATIENCE
        while time.monotonic() < deadline:
            if not termios.tcgetattr(self.fd)[3] & (termios.ECHO | termios.ICANON):
                return True
            self.wait_for_more()
        return False

    def type(self, text):
        os.write(self.fd, text.encode())

    def status(self):
        """The exit status, once the program has ended. Not the terminal's
        end: Wine's helper processes keep it open."""
        deadline = time.monotonic() + PATIENCE
        while time.monotonic() < deadline:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.wait_for_more()
                os.close(self.fd)
                return os.waitstatus_to_exitcode(status)
            self.wait_for_more()
        os.kill(self.pid, 9)
        os.waitpid(self.pid, 0)
        return -1

    def wait_for_more(self):
        ready, _, _ = select.select([self.fd], [], [], 0.2)
        if ready:
            try:
                self.seen += os.read(self.fd, 4096)
            except OSError:
                pass


def main(prefix, bindir):
    session = wine.session(prefix)
    program = os.path.join(bindir, "mnemora-cli.exe")
    failures = 0

    console = Console(session, program, ["淘宝"])
    prompted = console.wait_for(b"Password:") and console.wait_for_raw_terminal()
    console.type("密码\r")
    coded = console.wait_for(b"B992378745248eCD")
    status = console.status()
    if not (prompted and coded and status == 0) or "密码".encode() in console.seen:
        failures += 1
        print("FAIL typed password: status %d, console showed %r" % (status, console.seen))

    with tempfile.NamedTemporaryFile() as traced:
        trace = traced.name
        console = Console(session, program, ["taobao"], trace)
        prompted = console.wait_for(b"Password:") and console.wait_for_raw_terminal()
        console.type("te\x03")
        status = console.status()
        if not prompted or status != CONTROL_C_EXIT or b"te" in console.seen.replace(b"\x1b[?25", b""):
            failures += 1
            print("FAIL Ctrl-C: status %d, console showed %r" % (status, console.seen))
        # The console modes set, in order, and where the prompt came among them.
        with open(trace, "rb") as f:
            calls = re.findall(
                rb'(SetConsoleMode|WriteConsoleW) \([0-9A-Fa-f]+,(L"Password: "|[0-9A-Fa-f]+)', f.read()
            )
        prompt = (b"WriteConsoleW", b'L"Password: "')
        shown = calls.index(prompt) if prompt in calls else 0
        modes = [int(mode, 16) for call, mode in calls if call == b"SetConsoleMode"]
        before = [int(mode, 16) for call, mode in calls[:shown] if call == b"SetConsoleMode"]
        if not before or before[-1] & ENABLE_ECHO_INPUT:
            failures += 1
            print("FAIL echo is not off when the prompt shows: %r" % calls)
        if not modes or not modes[-1] & ENABLE_ECHO_INPUT:
            failures += 1
            print("FAIL Ctrl-C leaves the console without echo: %r" % calls)

    # In the console's shell: a paste of the password with a command after
    # it. Nothing of the paste may reach the shell.
    shell = Console(session, "cmd", [])
    command = wine.windows_path(program) + " taobao\r"
    ready = shell.wait_for(b">") and shell.wait_for_raw_terminal()
    shell.type(command)
    prompted = shell.wait_for(b"Password:")
    shell.type("test\recho LEAKED\r")
    coded = shell.wait_for(b"a20caCf8Eb1b8B6d")
    shell.type("echo DONE\r")
    # The command as typed, then its output.
    done = shell.wait_for_count(b"DONE", 2)
    if not (ready and prompted and coded and done) or b"LEAKED" in shell.seen:
        failures += 1
        print("FAIL paste after the password reached the shell: %r" % shell.seen)
    shell.type("exit\r")
    shell.status()
    print("console under Wine: %d failures" % failures)
    return 1 if failures else 0


if __name__ == "__main__":
    wine.run_test(main, __doc__, 2)
