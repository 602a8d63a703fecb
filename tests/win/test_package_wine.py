"""The Windows installer under Wine, as a user without administrator rights
runs it: it installs silently, the installed command line gives the known
code, the Start menu and Settings > Apps list Mnemora, and the uninstaller
takes all of it away again.

    test_package_wine.py PREFIX INSTALLER VERSION
"""

import glob
import os
import tempfile
import time

import wine

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mnemora"
WER_EXCLUDED = r"HKCU\Software\Microsoft\Windows\Windows Error Reporting\ExcludedApplications"
# Generous: only reached when something hangs, which is then the failure.
PATIENCE = 120


def user_folder(prefix, *parts):
    """A folder of the prefix's one user, wherever Wine named that user."""
    found = glob.glob(os.path.join(prefix, "drive_c", "users", "*", *parts))
    found = [f for f in found if "/Public/" not in f]
    return found[0] if found else None


def installed(prefix):
    return user_folder(prefix, "AppData", "Local", "Programs", "Mnemora")


def shortcuts(prefix):
    menu = user_folder(prefix, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs")
    return sorted(glob.glob(os.path.join(menu, "Mnemora*.lnk"))) if menu else []


def main(prefix, installer, version):
    session = wine.session(prefix)
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)
            print("FAIL " + what)

    # A folder of the user's own, holding files named as the installer's.
    with tempfile.TemporaryDirectory() as theirs:
        mine = {"README.txt": b"my notes\r\n", "LICENSE.txt": b"my licence\r\n"}
        for name, text in mine.items():
            with open(os.path.join(theirs, name), "wb") as f:
                f.write(text)
        run = session.run(installer, ["/S", "/D=" + wine.windows_path(theirs)])
        kept = {name: open(os.path.join(theirs, name), "rb").read() for name in os.listdir(theirs)}
        check(
            run.returncode != 0 and kept == mine,
            "the installer refuses a folder of the user's files: exit %d, the folder then held %s%s"
            % (
                run.returncode,
                sorted(kept),
                "" if kept.items() >= mine.items() else ", the user's files changed",
            ),
        )

    run = session.run(installer, ["/S"])
    check(run.returncode == 0, "the installer exits %d" % run.returncode)
    folder = installed(prefix)
    check(folder is not None, "nothing installed in %LOCALAPPDATA%\\Programs\\Mnemora")
    if folder is None:
        return 1
    check(os.path.exists(os.path.join(folder, "Uninstall.exe")), "no uninstaller")
    check(os.path.exists(os.path.join(folder, "LICENSE.txt")), "no licence")
    cli = session.run(os.path.join(folder, "mnemora-cli.exe"), ["taobao"], input=b"test\n")
    check(
        (cli.returncode, cli.stdout) == (0, b"a20caCf8Eb1b8B6d\r\n"),
        "the installed mnemora-cli gives %d %r" % (cli.returncode, cli.stdout),
    )
    check(any(s.endswith("Mnemora command line.lnk") for s in shortcuts(prefix)), "no Start-menu entry")
    # Asked a few times: under load, Wine sometimes fails to start reg.exe
    # itself, which then reports nothing.
    for _ in range(5):
        listed = session.run("reg", ["query", UNINSTALL_KEY, "/v", "DisplayVersion"])
        if listed.returncode == 0:
            break
        time.sleep(1)
    check(
        listed.returncode == 0 and version.encode() in listed.stdout,
        "Settings > Apps does not list version %s: %d %r %r"
        % (version, listed.returncode, listed.stdout, listed.stderr[-500:]),
    )
    excluded = session.run("reg", ["query", WER_EXCLUDED, "/v", "mnemora-cli.exe"])
    check(excluded.returncode == 0, "error reporting may still keep dumps of mnemora-cli.exe")

    # The uninstaller copies itself away and returns at once; the copy
    # removes the folder, which is the condition to wait for.
    run = session.run(os.path.join(folder, "Uninstall.exe"), ["/S"])
    check(run.returncode == 0, "the uninstaller exits %d" % run.returncode)
    deadline = time.monotonic() + PATIENCE
    while os.path.exists(folder) and time.monotonic() < deadline:
        time.sleep(0.2)
    check(
        not os.path.exists(folder),
        "the uninstaller left %s" % (os.path.exists(folder) and os.listdir(folder)),
    )
    check(shortcuts(prefix) == [], "the uninstaller left %s" % shortcuts(prefix))
    listed = session.run("reg", ["query", UNINSTALL_KEY])
    check(listed.returncode != 0, "the uninstaller left the registry key")
    excluded = session.run("reg", ["query", WER_EXCLUDED, "/v", "mnemora-cli.exe"])
    check(excluded.returncode != 0, "the uninstaller left the error reporting exclusion")
    print("installed, ran and uninstalled under Wine; %d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    wine.run_test(main, __doc__, 3)
