#!/usr/bin/env python3
"""Every fact of the window's description (assets/layout.json) is written
there alone: no front end's source restates a timing, a text, a link, a
colour, a face, a box's longest text or a picture list. What is generated
from the description is not in the source tree, so any hit here is a
second copy that would go stale.

Run as `python3 tests/description/test_facts_said_once.py [ROOT]`; ROOT
defaults to this checkout."""

import json
import os
import re
import sys
import unittest

ROOT = (
    os.path.abspath(sys.argv.pop(1))
    if len(sys.argv) > 1
    else os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
)

# The front ends and the layer under them, and the scripts that build them.
FOLDERS = ("behaviour", "ui", "win", "cli", "wasm", "web", "extension", "app")
SCRIPTS = ("tools/build-web", "tools/build-offline.mjs", "tools/bundle-modules.mjs")
SUFFIXES = (".cpp", ".h", ".js", ".mjs", ".html", ".css", ".json", ".rc", ".txt", ".webmanifest")


def sources():
    for folder in FOLDERS:
        for base, _, files in os.walk(os.path.join(ROOT, folder)):
            for name in files:
                if name.endswith(SUFFIXES):
                    yield os.path.join(base, name)
    for script in SCRIPTS:
        yield os.path.join(ROOT, script)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class FactsSaidOnce(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.description = json.loads(read(os.path.join(ROOT, "assets", "layout.json")))
        cls.files = {os.path.relpath(p, ROOT): read(p) for p in sources()}

    def assertNowhere(self, what, pattern):
        found = [name for name, text in self.files.items() if re.search(pattern, text)]
        self.assertEqual(found, [], "%s is restated outside assets/layout.json" % what)

    def test_timings(self):
        for name, ms in self.description["timings"].items():
            with self.subTest(name):
                # As milliseconds (also written 30_000) or as whole seconds;
                # a scale (200 %) or a size (200px) is another number.
                digits = re.sub(r"(\d)(?=(\d{3})+$)", r"\1_?", str(ms))
                self.assertNowhere(name, r"(?<![\w.])%s(?![\w.]|\s*%%|px)" % digits)
                if ms % 1000 == 0:
                    self.assertNowhere(name, r"seconds[({]%d[)}]" % (ms // 1000))

    def test_texts(self):
        # A short text (a label, a name) counts as a whole quoted string or
        # element content, since it may occur inside other words; a longer
        # one anywhere. A lone English word is also a name in code (the key
        # 'Enter', the id lblCopyright), so it is left out.
        for tag, texts in self.description["texts"].items():
            for key, text in texts.items():
                for line in text if isinstance(text, list) else [text]:
                    if re.fullmatch(r"[A-Za-z]+", line):
                        continue
                    pattern = re.escape(line)
                    if len(line) < 16:
                        pattern = r"[\"'>]%s[\"'<]" % pattern
                    with self.subTest(tag=tag, key=key):
                        self.assertNowhere(line, pattern)

    def test_links_and_the_copyright_line(self):
        for key, link in self.description["links"].items():
            with self.subTest(key):
                self.assertNowhere(link, re.escape(link) + r"(?![\w/])")
        self.assertNowhere("the copyright line", re.escape(self.description["window"]["copyright"]))

    def test_colours_faces_and_lengths(self):
        # A colour as #RRGGBB or 0xRRGGBB in any case; white is left out, as
        # every page's text on a coloured button is white too.
        for name, colour in self.description["colours"].items():
            if colour.upper() == "#FFFFFF":
                continue
            with self.subTest(colour=name):
                self.assertNowhere(colour, r"(?i)(#|0x)%s(?![0-9a-f])" % colour[1:])
        # A face named in a string or a font list.
        fonts = self.description["fonts"]
        for family in (fonts["window"]["family"], fonts["boxes"]["family"]):
            with self.subTest(face=family):
                self.assertNowhere(family, r"[\"']%s[\"']|font(-family)?:[^;]*\b%s\b" % (family, family))
        # A box's longest text as a page's attribute or a script's property.
        for control in self.description["controls"]:
            if "maxLength" in control:
                with self.subTest(maxLength=control["name"]):
                    self.assertNowhere(
                        "the longest text of %s" % control["name"],
                        r"(?i)maxlength\s*[=:]\s*[\"']?%d\b" % control["maxLength"],
                    )

    def test_picture_lists(self):
        # Pages and resource scripts name the pictures they show; the builds
        # copy what the description lists, so no build script names one.
        scripts = [
            name
            for name in self.files
            if not name.endswith((".html", ".css", ".json", ".webmanifest", ".rc"))
            and not name.startswith(("ui/", "win/", "behaviour/"))
        ]
        for picture in self.description["pictures"]:
            stem = re.escape(picture["file"].split(".")[0].split("@")[0])
            # The file's name, or its stem in a shell list ({a,b} or a for loop's).
            pattern = r"%s|[{,]%s[,}]|\bfor \w+ in [^;\n]*\b%s\b" % (re.escape(picture["file"]), stem, stem)
            with self.subTest(picture["file"]):
                found = [name for name in scripts if re.search(pattern, self.files[name])]
                self.assertEqual(found, [], "a build lists %s itself" % picture["file"])


if __name__ == "__main__":
    unittest.main()
