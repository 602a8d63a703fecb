#!/usr/bin/python3
"""Draws the contributors' faces for screens of three times the density, as
PNG files named after the 1x ones (tarrow.gif gives tarrow@3x.png), with the
artwork generator's own drawing: a phone shows them sharp, and the web page
names them beside the 1x files. Deterministic, like the generator.

    gen-faces.py OUT-FOLDER
"""

import importlib.util
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
found = importlib.util.spec_from_file_location("gen_artwork", os.path.join(HERE, "gen-artwork.py"))
artwork = importlib.util.module_from_spec(found)
found.loader.exec_module(artwork)

SCALE = 3


def main(out):
    for file, look in artwork.AVATARS.items():
        name = os.path.splitext(file)[0] + "@%dx.png" % SCALE
        artwork.save_png(os.path.join(out, name), artwork.avatar(file, *look, scale=SCALE))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
