"""Image library of the artwork generator: a drawing canvas in design pixels,
text fitted to boxes, fixed palettes, and GIF, ICO and PNG writers.

Everything here is deterministic: palettes are built by fixed rules and the
GIF and ICO containers are written byte by byte rather than by a library
whose defaults might drift, so the same drawing always gives the same bytes.
"""

import math
import os
import struct
import sys

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    # Pillow comes from the system package python3-pil.  A python3 that a
    # version manager puts first on PATH cannot see it, so fall back to the
    # system interpreter once.
    _SYSTEM_PYTHON = "/usr/bin/python3"
    if os.path.exists(_SYSTEM_PYTHON) and os.path.realpath(sys.executable) != os.path.realpath(
        _SYSTEM_PYTHON
    ):
        os.execv(_SYSTEM_PYTHON, [_SYSTEM_PYTHON] + sys.argv)
    raise

# Shapes are drawn this many times larger and box-filtered down: curves get
# antialiased edges while pixel-aligned rectangles keep exact colours.
SS = 4


def rgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


# --------------------------------------------------------------------------
# Colour helpers


def mix(a, b, t):
    """Linear blend from colour a (t=0) to colour b (t=1)."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def ramp(a, b, steps):
    """The `steps` colours strictly between a and b, evenly spaced."""
    return [mix(a, b, (i + 1) / (steps + 1)) for i in range(steps)]


def vgradient(size, stops):
    """Vertical gradient; stops are (position 0..1, colour) pairs."""
    w, h = size
    column = Image.new("RGB", (1, h))
    rows = []
    for y in range(h):
        t = (y + 0.5) / h
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if t <= p1 or (p1, c1) == stops[-1]:
                u = 0.0 if p1 == p0 else min(1.0, max(0.0, (t - p0) / (p1 - p0)))
                rows.append(mix(c0, c1, u))
                break
    column.putdata(rows)
    return column.resize((w, h), Image.NEAREST)


# --------------------------------------------------------------------------
# Drawing surface


class Canvas:
    """An image addressed in 1x design pixels, rendered at `scale`.

    Design boxes are inclusive pixel boxes (x0, y0, x1, y1) as measured on
    the 1x picture; at 2x the same box covers exactly twice the pixels, so
    both renditions share one layout.
    """

    def __init__(self, width, height, scale, background, mode="RGB"):
        self.w, self.h, self.s = width, height, scale
        self.mode = mode
        self.img = Image.new(mode, (width * scale, height * scale), background)

    @property
    def size(self):
        return self.img.size

    def px(self, box):
        """Inclusive device-pixel box covering a design box."""
        x0, y0, x1, y1 = box
        s = self.s
        return (x0 * s, y0 * s, (x1 + 1) * s - 1, (y1 + 1) * s - 1)

    def mask(self, paint):
        """Antialiased coverage mask: paint(draw, f) draws in design units
        multiplied by f on a supersampled L image."""
        big = Image.new("L", (self.w * self.s * SS, self.h * self.s * SS), 0)
        paint(ImageDraw.Draw(big), self.s * SS)
        return big.reduce(SS)

    def paint(self, fill, paint=None, mask=None, opacity=1.0):
        """Lays `fill` (a colour or an image of the canvas size) through a mask."""
        if mask is None:
            mask = self.mask(paint)
        if opacity < 1.0:
            mask = mask.point(lambda v: int(round(v * opacity)))
        if self.mode == "RGBA":
            if isinstance(fill, tuple):
                layer = Image.new("RGBA", self.size, fill[:3] + (0,))
            else:
                layer = fill.convert("RGBA")
            layer.putalpha(mask)
            self.img = Image.alpha_composite(self.img, layer)
        else:
            self.img.paste(fill, (0, 0), mask)

    def rect(self, box, colour):
        """Pixel-aligned rectangle; needs no antialiasing."""
        ImageDraw.Draw(self.img).rectangle(self.px(box), fill=colour)

    def rounded(self, box, radius, colour):
        x0, y0, x1, y1 = box

        def paint(d, f):
            d.rounded_rectangle(
                (x0 * f, y0 * f, (x1 + 1) * f - 1, (y1 + 1) * f - 1), radius=radius * f, fill=255
            )

        self.paint(colour, paint)

    def polygon(self, points, colour, opacity=1.0):
        def paint(d, f):
            d.polygon([(x * f, y * f) for x, y in points], fill=255)

        self.paint(colour, paint, opacity=opacity)

    def ellipse(self, cx, cy, rx, ry, colour, opacity=1.0):
        def paint(d, f):
            d.ellipse(((cx - rx) * f, (cy - ry) * f, (cx + rx) * f, (cy + ry) * f), fill=255)

        self.paint(colour, paint, opacity=opacity)


# --------------------------------------------------------------------------
# Text


def font(path, size):
    return ImageFont.truetype(path, size, index=0)


def draw_line(draw, origin, text, fnt, fill, spacing=0.0, bold=0.0):
    """Draws one line of text with its top-left anchor at origin.

    spacing adds that many pixels after every CJK character (the glyphs are
    then placed one by one at whole-pixel positions, which keeps their
    hinted shapes alike); bold overprints the line shifted right by that
    fraction of a pixel, a light emboldening for a font without a bold face."""
    for dx in (0.0, bold) if bold else (0.0,):
        x, y = origin[0] + dx, origin[1]
        if not spacing:
            draw.text((x, y), text, font=fnt, fill=fill)
            continue
        pen = 0.0
        for ch in text:
            draw.text((x + round(pen), y), ch, font=fnt, fill=fill)
            # Latin runs keep their natural fit; only the square CJK cells
            # and full-width punctuation are spaced out.
            pen += fnt.getlength(ch) + (spacing if ord(ch) >= 0x2000 else 0.0)


def ink_bbox(text, fnt, mono=False, anchor="la", spacing=0.0, bold=0.0):
    """Box of every touched pixel when text is drawn with its anchor at
    (0, 0); (x0, y0, x1, y1), x1/y1 exclusive."""
    left, top, right, bottom = fnt.getbbox(text, anchor=anchor)
    right += int(math.ceil(spacing * len(text) + bold))
    pad = 4
    w, h = right - left + 2 * pad, bottom - top + 2 * pad
    scratch = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(scratch)
    d.fontmode = "1" if mono else "L"
    if anchor == "la":
        draw_line(d, (pad - left, pad - top), text, fnt, 255, spacing, bold)
    else:
        d.text((pad - left, pad - top), text, font=fnt, fill=255, anchor=anchor)
    box = scratch.getbbox()
    if box is None:
        return None
    return (box[0] - pad + left, box[1] - pad + top, box[2] - pad + left, box[3] - pad + top)


def largest_fitting(text, path, width, height, mono=False, bold=0.0):
    """Largest integer font size whose ink fits width x height pixels."""
    size = max(4, int(height * 2))
    while size > 4:
        ink = ink_bbox(text, font(path, size), mono, bold=bold)
        if ink[2] - ink[0] <= width and ink[3] - ink[1] <= height:
            break
        size -= 1
    return size


def fit_text(
    img,
    text,
    box,
    path,
    colour,
    halign="left",
    valign="center",
    mono=False,
    spread=False,
    bold=0.0,
    most=None,
):
    """Draws text as large as possible, and no larger than the font size most
    when given, with all its ink inside the inclusive device box; returns the
    ink box actually covered (inclusive).

    With spread the characters are then spaced out until the line spans the
    whole width of the box, so long captions end where the layout expects."""
    x0, y0, x1, y1 = box
    bw, bh = x1 - x0 + 1, y1 - y0 + 1
    size = largest_fitting(text, path, bw, bh, mono, bold)
    fnt = font(path, size if most is None else min(size, most))
    spacing = 0.0
    ink = ink_bbox(text, fnt, mono, bold=bold)
    if spread and len(text) > 1:
        step = 1.0 / 16
        while True:
            wider = ink_bbox(text, fnt, mono, spacing=spacing + step, bold=bold)
            if wider[2] - wider[0] > bw or spacing + step > fnt.size * 0.12:
                break
            spacing += step
            ink = wider
    iw, ih = ink[2] - ink[0], ink[3] - ink[1]
    ox = {"left": x0, "center": x0 + (bw - iw) // 2, "right": x1 + 1 - iw}[halign]
    oy = {"top": y0, "center": y0 + (bh - ih) // 2, "bottom": y1 + 1 - ih}[valign]
    d = ImageDraw.Draw(img)
    d.fontmode = "1" if mono else "L"
    draw_line(d, (ox - ink[0], oy - ink[1]), text, fnt, colour, spacing, bold)
    return (ox, oy, ox + iw - 1, oy + ih - 1)


def fit_text_on(canvas, text, box, path, colour, **kw):
    return fit_text(canvas.img, text, canvas.px(box), path, colour, **kw)


# --------------------------------------------------------------------------
# Palettes


def nearest_mapper(palette):
    """Maps colours to the index of the nearest palette entry (first wins on
    ties), so colours present in the palette map to themselves exactly."""
    cache = {}

    def index(c):
        i = cache.get(c)
        if i is None:
            best = None
            for j, p in enumerate(palette):
                dist = (c[0] - p[0]) ** 2 + (c[1] - p[1]) ** 2 + (c[2] - p[2]) ** 2
                if best is None or dist < best:
                    best, i = dist, j
                    if dist == 0:
                        break
            cache[c] = i
        return i

    return index


# 4x4 ordered-dither thresholds, centred on zero.
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def to_indices(img, palette, dither_box=None, dither_amount=0):
    """Palette indices for every pixel of an RGB image, row by row.

    Inside dither_box (an exclusive device box) colours that are not in the
    palette get a fixed ordered dither, which hides banding in the smooth
    gradients of the photograph without any run-to-run variation."""
    index = nearest_mapper(palette)
    exact = set(palette)
    w, h = img.size
    data = list(img.getdata())
    out = bytearray(w * h)
    for y in range(h):
        for x in range(w):
            c = data[y * w + x]
            if (
                dither_box
                and c not in exact
                and dither_box[0] <= x < dither_box[2]
                and dither_box[1] <= y < dither_box[3]
            ):
                t = (BAYER4[y & 3][x & 3] - 7.5) / 16.0 * dither_amount
                c = tuple(min(255, max(0, int(round(v + t)))) for v in c)
            out[y * w + x] = index(c)
    return out


def median_cut_colours(img, count):
    """Up to `count` representative colours of an image, in a fixed order."""
    q = img.quantize(colors=count, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = q.getpalette()
    used = [i for i, n in enumerate(q.histogram()) if n]
    return [tuple(pal[3 * i : 3 * i + 3]) for i in used]


def build_palette(fixed, extra, size):
    """fixed colours first, then the extra colours not yet present, up to size."""
    out = []
    for c in list(fixed) + list(extra):
        if c not in out:
            out.append(c)
        if len(out) == size:
            break
    return out


# --------------------------------------------------------------------------
# Containers


def lzw_compress(indices, min_code_size):
    """GIF-flavoured LZW with variable code width and a clear code whenever
    the 4096-entry table fills up."""
    clear = 1 << min_code_size
    end = clear + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 255)
            acc >>= 8
            nbits -= 8

    def width_for(next_code):
        # The decoder adds its table entry one code later than the encoder,
        # so the width follows the highest code the decoder may already know.
        return max(min_code_size + 1, min(12, (next_code - 1).bit_length()))

    table = {}
    next_code = end + 1
    emit(clear, width_for(next_code))
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix << 8) | k
        code = table.get(key)
        if code is not None:
            prefix = code
            continue
        emit(prefix, width_for(next_code))
        table[key] = next_code
        next_code += 1
        if next_code == 4096:
            emit(clear, width_for(next_code))
            table = {}
            next_code = end + 1
        prefix = k
    emit(prefix, width_for(next_code))
    next_code += 1
    emit(end, width_for(min(next_code, 4096)))
    if nbits:
        out.append(acc & 255)
    return bytes(out)


def write_gif(path, size, indices, palette, table_size):
    """Single-frame GIF with a global colour table of exactly table_size
    entries (a power of two), no transparency and no extensions."""
    assert table_size & (table_size - 1) == 0 and 2 <= table_size <= 256
    assert len(palette) <= table_size and max(indices) < len(palette)
    bits = table_size.bit_length() - 1
    w, h = size
    table = b"".join(bytes(c) for c in palette) + b"\0\0\0" * (table_size - len(palette))
    min_code = max(2, bits)
    data = lzw_compress(indices, min_code)
    blocks = b"".join(bytes([len(data[i : i + 255])]) + data[i : i + 255] for i in range(0, len(data), 255))
    with open(path, "wb") as f:
        f.write(b"GIF87a")
        f.write(struct.pack("<HHBBB", w, h, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0))
        f.write(table)
        f.write(b"," + struct.pack("<HHHHB", 0, 0, w, h, 0))
        f.write(bytes([min_code]) + blocks + b"\0;")


def save_indexed_gif(path, img, palette, table_size, **dither):
    write_gif(path, img.size, to_indices(img, palette, **dither), palette, table_size)


def save_png(path, img):
    img.save(path, "PNG", optimize=False, compress_level=9)


def dib(img, palette=None, indices=None):
    """BMP-style image entry of an icon file: header, pixels bottom-up, then
    the 1-bit AND mask (set where the pixel is see-through)."""
    w, h = img.size
    px = list(img.getdata())
    bpp = 8 if palette else 32
    row_bytes = (w * bpp // 8 + 3) & ~3
    mask_row = ((w + 31) // 32) * 4
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            if palette:
                row.append(indices[y * w + x])
            else:
                r, g, b, a = px[y * w + x]
                row += bytes((b, g, r, a))
        pixels += row + b"\0" * (row_bytes - len(row))
    masks = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(w):
            if px[y * w + x][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        masks += row
    header = struct.pack(
        "<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(pixels) + len(masks), 0, 0, 256 if palette else 0, 0
    )
    colours = b""
    if palette:
        colours = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
        colours += b"\0\0\0\0" * (256 - len(palette))
    return header + colours + bytes(pixels) + bytes(masks)


def write_ico(path, entries):
    """entries: list of (image RGBA, bits per pixel)."""
    blobs = []
    for img, bpp in entries:
        if bpp == 8:
            blobs.append(dib(img, *paletted_icon(img)))
        else:
            blobs.append(dib(img))
    offset = 6 + 16 * len(entries)
    head = struct.pack("<HHH", 0, 1, len(entries))
    dirs = b""
    for (img, bpp), blob in zip(entries, blobs):
        w, h = img.size
        dirs += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(head + dirs + b"".join(blobs))


def paletted_icon(img):
    """256-colour version of an RGBA icon: index 0 is black for the
    see-through pixels (the AND mask hides them); antialiased edges are
    flattened onto a light grey so they suit the usual light title bars."""
    backdrop = Image.new("RGB", img.size, (236, 236, 236))
    flat = backdrop.copy()
    flat.paste(img.convert("RGB"), (0, 0), img.getchannel("A"))
    opaque = [a >= 128 for a in img.getchannel("A").getdata()]
    colours = median_cut_colours(flat, 255)
    palette = [(0, 0, 0)] + [c for c in colours if c != (0, 0, 0)]
    index = nearest_mapper(palette)
    indices = bytes(index(c) if o else 0 for c, o in zip(flat.getdata(), opaque))
    return palette, indices
