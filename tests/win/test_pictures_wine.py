"""The pictures the Windows window fills its bitmaps with, prepared at build
time, against the original files decoded under Wine by Windows' own codecs:
the same pixels, picture by picture (picture_check.exe).

    test_pictures_wine.py PREFIX BINDIR ART
"""

import os
import sys

import wine


def main(prefix, bindir, art):
    session = wine.session(prefix)
    done = session.run(os.path.join(bindir, "picture_check.exe"), [wine.windows_path(art)])
    output = done.stdout.decode(errors="replace")
    sys.stdout.write(output)
    same = [line for line in output.splitlines() if line.startswith("same ")]
    if done.returncode != 0 or not same:
        print("test_pictures_wine: %d pictures the same, exit status %d" % (len(same), done.returncode))
        return 1
    return 0


if __name__ == "__main__":
    wine.run_test(main, __doc__, 3)
