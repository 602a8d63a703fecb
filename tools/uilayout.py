"""The main window's layout as assets/layout.json records it: control places in
twips, the picture files, and the painted elements named by the control they
lie under.  Read by tools/gen-artwork.py and tests/art/test_artwork.py."""

import json
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LAYOUT_JSON = os.path.join(ROOT, "assets", "layout.json")


def shifted(box, offset):
    """A pixel box moved by minus an offset: a place in a parent's picture
    as a place in the picture of a control standing at that offset."""
    return (box[0] - offset[0], box[1] - offset[1], box[2] - offset[0], box[3] - offset[1])


class Layout:
    def __init__(self, path=LAYOUT_JSON):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        self.twips_per_pixel = data["twipsPerPixel"]
        self.controls = {c["name"]: c for c in data["controls"]}
        self.pictures = {p["file"]: p for p in data["pictures"]}
        self.painted = {(p["pictureOf"], p["under"], p["role"]): tuple(p["box"]) for p in data["painted"]}
        self.painted_texts = {
            (p["pictureOf"], p["under"], p["role"]): p["text"] for p in data["painted"] if "text" in p
        }
        self.texts = data["texts"]
        self.colours = {name: int(colour[1:], 16) for name, colour in data["colours"].items()}
        self.default_language = data["defaultLanguage"]

    def files(self):
        """Every picture file, in the order of the layout."""
        return list(self.pictures)

    def size(self, file):
        return tuple(self.pictures[file]["size"])

    def box(self, picture_of, under, role):
        """Inclusive pixel box of a painted element in the picture of a control."""
        return self.painted[(picture_of, under, role)]

    def text(self, picture_of, under, role, language):
        """The words painted as an element, in a language."""
        return self.texts[language][self.painted_texts[(picture_of, under, role)]]

    def in_language(self, file, language):
        """The file of a picture drawn in a language: the default language's
        is the file itself, another's carries the language's tag
        (logo.gif, logo-en.gif, logo-en@2x.png)."""
        if language == self.default_language:
            return file
        stem, dot, extension = file.partition(".")
        base, at, scale = stem.partition("@")
        return base + "-" + language + at + scale + dot + extension

    def boxes(self, picture_of):
        """(under, role) -> box of everything painted into a control's picture."""
        return {(u, r): b for (p, u, r), b in self.painted.items() if p == picture_of}

    def offset(self, control):
        """Top-left corner of a control in whole pixels of its parent."""
        left, top = self.controls[control]["twips"][:2]
        return (round(left / self.twips_per_pixel), round(top / self.twips_per_pixel))

    def place(self, control):
        """Inclusive pixel box that a control covers in its parent, rounded to
        whole pixels."""
        left, top, width, height = (t / self.twips_per_pixel for t in self.controls[control]["twips"])
        return (round(left), round(top), round(left + width) - 1, round(top + height) - 1)
