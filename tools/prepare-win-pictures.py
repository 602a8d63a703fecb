#!/usr/bin/env python3
"""Build step of the Windows window: decodes each picture it shows and
writes the pixels in the form its bitmaps keep them (32-bit BGRA, alpha
premultiplied, top row first), so that the window fills its bitmaps at start
without loading an image codec. Pillow decodes, as it does for the artwork.

    prepare-win-pictures.py OUTPUT-FOLDER PICTURE...

Each OUTPUT-FOLDER/NAME.px holds, little-endian, the header of
win/Pictures.cpp (magic "MPX1", width, height, colours, bytes per index),
the colours (4 bytes each, BGRA premultiplied), then the pixels as indices
into the colours, in runs: a byte c below 128 is followed by c + 1 indices
taken as they are; a byte c from 128 up is followed by one index that
stands for c - 126 pixels (2 to 129). Colours are numbered in the order
they first appear, so the same picture always gives the same bytes.
"""

import os
import struct
import sys

try:
    from PIL import Image
except ImportError:
    # Pillow comes from the system package python3-pil, which a python3 put
    # first on PATH by a version manager cannot see.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

MAGIC = 0x3158504D  # "MPX1"
LITERAL_MAX = 128
RUN_MIN, RUN_MAX = 2, 129


def premultiplied(pixel):
    """BGRA bytes of an RGBA pixel with its colour scaled by its alpha,
    rounded to the nearest, as a 32-bit premultiplied bitmap keeps it."""
    r, g, b, a = pixel
    return bytes(((c * a + 127) // 255) for c in (b, g, r)) + bytes((a,))


def prepare(path):
    image = Image.open(path)
    image.load()
    width, height = image.size
    pixels = list(image.convert("RGBA").getdata())
    colours = {}
    indices = []
    for pixel in pixels:
        colour = premultiplied(pixel)
        indices.append(colours.setdefault(colour, len(colours)))
    if len(colours) > 1 << 16:
        raise SystemExit("prepare-win-pictures: %s has more than 65536 colours" % path)
    size = 1 if len(colours) <= 256 else 2
    index = (lambda i: bytes((i,))) if size == 1 else (lambda i: struct.pack("<H", i))

    out = bytearray(struct.pack("<5I", MAGIC, width, height, len(colours), size))
    for colour in colours:  # dicts keep the order of first appearance
        out += colour
    literal = []

    def flush():
        if literal:
            out.append(len(literal) - 1)
            for i in literal:
                out.extend(index(i))
            literal.clear()

    at = 0
    while at < len(indices):
        end = at
        while end < len(indices) and indices[end] == indices[at] and end - at < RUN_MAX:
            end += 1
        if end - at >= RUN_MIN:
            flush()
            out.append(128 + end - at - RUN_MIN)
            out.extend(index(indices[at]))
        else:
            literal.append(indices[at])
            if len(literal) == LITERAL_MAX:
                flush()
        at = end
    flush()
    return bytes(out)


def main(argv):
    if len(argv) < 3:
        raise SystemExit("usage: prepare-win-pictures.py OUTPUT-FOLDER PICTURE...")
    folder = argv[1]
    os.makedirs(folder, exist_ok=True)
    for path in argv[2:]:
        data = prepare(path)
        with open(os.path.join(folder, os.path.basename(path) + ".px"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv)
