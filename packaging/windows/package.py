#!/usr/bin/env python3
"""Packages the Windows programs: a portable zip and an installer.

    package.py --version V --source DIR --out DIR --makensis PATH PROGRAM.exe...

Both packages are reproducible: every file carries the time of the last
commit (SOURCE_DATE_EPOCH when set, as reproducible builds define it), the
zip lists its files in a fixed order with fixed attributes, and makensis
gets the same input in the same order.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
import zipfile

# Zip times cannot predate 1980.
ZIP_EPOCH = 315532800


def source_date_epoch(source):
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(
            ["git", "-C", source, "log", "-1", "--format=%ct"], capture_output=True, check=True, text=True
        )
        return int(out.stdout.strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        sys.exit("package.py: no SOURCE_DATE_EPOCH and no git history to take the time from")


def windows_text(source, target):
    """A text file with Windows line ends, which every Windows editor shows."""
    with open(source, encoding="utf-8") as f:
        text = f.read()
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(text)


def stage(args, folder, epoch):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for program in args.programs:
        shutil.copyfile(program, os.path.join(folder, os.path.basename(program)))
    windows_text(
        os.path.join(args.source, "packaging", "windows", "README.txt"), os.path.join(folder, "README.txt")
    )
    windows_text(os.path.join(args.source, "LICENSE"), os.path.join(folder, "LICENSE.txt"))
    names = sorted(os.listdir(folder))
    for name in names:
        os.utime(os.path.join(folder, name), (epoch, epoch))
    return names


def make_zip(path, folder, names, epoch):
    root = os.path.basename(folder)
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    with zipfile.ZipFile(path + ".tmp", "w") as z:
        for name in names:
            info = zipfile.ZipInfo(root + "/" + name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes, as Windows' own zips
            info.external_attr = 0x20  # archive
            with open(os.path.join(folder, name), "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
    os.replace(path + ".tmp", path)


def make_installer(args, path, folder, names):
    # What the uninstaller removes: exactly the files installed.
    with open(folder + ".uninstall.nsh", "w", encoding="utf-8", newline="\r\n") as f:
        for name in names:
            f.write('Delete "$INSTDIR\\%s"\n' % name)
    with open(os.path.join(args.source, "LICENSE"), encoding="utf-8") as f:
        copyright_line = next(line.strip() for line in f if line.startswith("Copyright "))
    defines = {
        "VERSION": args.version,
        "VERSION4": ".".join((args.version.split(".") + ["0"] * 4)[:4]),
        "STAGE": folder,
        "OUTFILE": path,
        "ICON": os.path.join(args.source, "assets", "art", "mnemora.ico"),
        "COPYRIGHT": copyright_line,
    }
    if "mnemora.exe" in names:
        defines["WINDOW"] = "1"
    command = [args.makensis, "-V2", "-NOCD"] + ["-D%s=%s" % item for item in sorted(defines.items())]
    command.append(os.path.join(args.source, "packaging", "windows", "mnemora.nsi"))
    subprocess.run(command, check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--makensis", default="makensis")
    parser.add_argument("programs", nargs="+")
    args = parser.parse_args()

    epoch = source_date_epoch(args.source)
    base = "Mnemora-%s-win64" % args.version
    folder = os.path.join(os.path.abspath(args.out), "package", base)
    names = stage(args, folder, epoch)
    make_zip(os.path.join(args.out, base + ".zip"), folder, names, epoch)
    make_installer(args, os.path.join(os.path.abspath(args.out), base + "-setup.exe"), folder, names)
    print("%s.zip and %s-setup.exe in %s" % (base, base, args.out))


if __name__ == "__main__":
    main()
