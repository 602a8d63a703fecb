#!/usr/bin/python3
"""Writes a lossless WebP beside each picture given, into OUT-FOLDER, for
browsers that read it: the same pixels in fewer bytes. The originals stay
the fallback. PICTURE=NAME:WIDTH writes NAME instead, the picture resampled
to WIDTH pixels across, for screens between the drawn sizes (a phone whose
page is narrower than the picture).

Pillow's encoder (Debian's libwebp) and resampling at fixed settings: the
same picture gives the same bytes, so the web build stays reproducible.

    encode-webp.py OUT-FOLDER PICTURE[=NAME:WIDTH]...
"""

import os
import sys

try:
    from PIL import Image
except ImportError:
    # Pillow comes from the system package python3-pil (tools/install-deps).
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise


def main(out, pictures):
    for argument in pictures:
        path, _, resampled = argument.partition("=")
        with Image.open(path) as picture:
            picture.load()
            alpha = picture.mode in ("RGBA", "LA") or "transparency" in picture.info
            pixels = picture.convert("RGBA" if alpha else "RGB")
        name = os.path.splitext(os.path.basename(path))[0] + ".webp"
        if resampled:
            name, width = resampled.split(":")
            width = int(width)
            height = round(pixels.height * width / pixels.width)
            pixels = pixels.resize((width, height), Image.LANCZOS)
        if resampled:
            # Resampling leaves no pixel as drawn: lossy costs nothing more
            # and a third of the bytes of lossless.
            pixels.save(os.path.join(out, name), "WEBP", quality=90, method=6, exact=True)
        else:
            # exact: transparent pixels keep their colour, as in the original.
            pixels.save(os.path.join(out, name), "WEBP", lossless=True, quality=100, method=6, exact=True)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
