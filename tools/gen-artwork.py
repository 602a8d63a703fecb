#!/usr/bin/python3
"""Draws every picture of Mnemora's main window.

Usage: tools/gen-artwork.py OUTDIR

All artwork is painted here from shapes, gradients and text; nothing is read
from disk except the two installed font families.  The output is
byte-for-byte reproducible: there are no timestamps, palettes are built by
fixed rules, every pseudo-random choice uses a fixed seed, and the GIF and ICO
containers are written by this script rather than by a library whose defaults
might drift.  ui/art/ holds the committed result; regenerate it with
`tools/gen-artwork.py ui/art` after changing anything below.
"""

import math
import os
import random
import struct
import sys

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    # Pillow comes from the system package python3-pil.  A python3 that a
    # version manager puts first on PATH cannot see it, so fall back to the
    # system interpreter once.
    _SYSTEM_PYTHON = "/usr/bin/python3"
    if (os.path.exists(_SYSTEM_PYTHON)
            and os.path.realpath(sys.executable) != os.path.realpath(_SYSTEM_PYTHON)):
        os.execv(_SYSTEM_PYTHON, [_SYSTEM_PYTHON] + sys.argv)
    raise


FONT_CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONT_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# Shapes are drawn this many times larger and box-filtered down: curves get
# antialiased edges while pixel-aligned rectangles keep exact colours.
SS = 4


def rgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


PANEL = rgb(0xFFFBF0)
WHITE = rgb(0xFFFFFF)
TEAL = rgb(0x00A0C0)
CAPTION = rgb(0x404040)
HINT = rgb(0xA0A0A4)
FRAME = rgb(0xC0C0C0)
RULE = rgb(0xEDE4D0)
WINDOW = rgb(0xF2F2F2)
ORANGE = rgb(0xFF881C)
GREEN = rgb(0x22B614)
BANNER = rgb(0x4C86D0)
BANNER_EDGE = rgb(0x3D72B8)
DONATE_TEXT = rgb(0x333333)
DONATE_BORDER = rgb(0xA9A9A9)

TEXT_COPY = "点击复制"
TEXT_COPIED = "√ 复制成功"
HINT_PASSWORD = "记忆密码：选择一个与个人信息无关的密码，防止社会工程学破解。"
HINT_KEY = "区分代号：用于区别不同用途密码的简短代号，如淘宝账号可用“taobao”或“tb”等。"
SLOGAN = "可记忆 非存储 轻松管理个人密码"
PRODUCT = "Mnemora"
WEB_ADDRESS = "mnemora.example.org"


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
            d.rounded_rectangle((x0 * f, y0 * f, (x1 + 1) * f - 1, (y1 + 1) * f - 1),
                                radius=radius * f, fill=255)
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
    for dx in ((0.0, bold) if bold else (0.0,)):
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


def fit_text(img, text, box, path, colour, halign="left", valign="center", mono=False,
             spread=False, bold=0.0):
    """Draws text as large as possible with all its ink inside the inclusive
    device box; returns the ink box actually covered (inclusive).

    With spread the characters are then spaced out until the line spans the
    whole width of the box, so long captions end where the layout expects."""
    x0, y0, x1, y1 = box
    bw, bh = x1 - x0 + 1, y1 - y0 + 1
    fnt = font(path, largest_fitting(text, path, bw, bh, mono, bold))
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
            if (dither_box and c not in exact
                    and dither_box[0] <= x < dither_box[2] and dither_box[1] <= y < dither_box[3]):
                t = (BAYER4[y & 3][x & 3] - 7.5) / 16.0 * dither_amount
                c = tuple(min(255, max(0, int(round(v + t)))) for v in c)
            out[y * w + x] = index(c)
    return out


def median_cut_colours(img, count):
    """Up to `count` representative colours of an image, in a fixed order."""
    q = img.quantize(colors=count, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = q.getpalette()
    used = [i for i, n in enumerate(q.histogram()) if n]
    return [tuple(pal[3 * i:3 * i + 3]) for i in used]


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
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255))
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
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0,
                         len(pixels) + len(masks), 0, 0, 256 if palette else 0, 0)
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


# --------------------------------------------------------------------------
# Background picture of the panel (664 x 318)

BG_SIZE = (664, 318)

# Inclusive design boxes of everything painted on the panel.
BG_SQUARE_1 = (15, 17, 47, 52)
BG_DIGIT_1 = (23, 25, 39, 44)
BG_HEADING_1 = (56, 25, 99, 44)
BG_CAPTION_PASSWORD = (15, 79, 65, 90)
BG_FIELD_PASSWORD = (78, 69, 297, 95)
BG_PLUS = (326, 77, 338, 89)
BG_CAPTION_KEY = (366, 79, 415, 90)
BG_FIELD_KEY = (428, 69, 647, 95)
BG_HINT_PASSWORD = (16, 125, 372, 134)
BG_HINT_KEY = (16, 143, 448, 153)
BG_RULE_Y = 170
BG_SQUARE_2 = (15, 188, 47, 223)
BG_DIGIT_2 = (23, 196, 39, 215)
BG_HEADING_2 = (56, 196, 99, 215)
BG_CAPTION_16 = (16, 249, 106, 259)
BG_COPY_FRAME = (113, 244, 314, 265)
BG_COPY_FIELD = (115, 246, 254, 263)
BG_COPY_BUTTON = (255, 246, 314, 263)
BG_COPY_LABEL = (260, 249, 309, 260)
BG_CAPTION_32 = (15, 289, 107, 299)


def background_palette():
    """32 colours: the flat colours of the panel plus the blends that
    antialiased text and rounded corners produce between them."""
    pal = [PANEL, WHITE, TEAL, CAPTION, HINT, FRAME, RULE]
    pal += ramp(PANEL, CAPTION, 6)
    pal += ramp(PANEL, HINT, 4)
    pal += ramp(PANEL, TEAL, 5)
    pal += ramp(TEAL, WHITE, 5)
    pal += ramp(PANEL, FRAME, 2)
    pal += ramp(WHITE, FRAME, 2)
    pal += ramp(PANEL, RULE, 1)
    assert len(pal) == 32 and len(set(pal)) == 32
    return pal


def input_frame(c, interior):
    """White field with a one-pixel light-grey border that rounds off only
    its outermost corner pixels, so the interior stays a full rectangle."""
    x0, y0, x1, y1 = interior
    c.rounded((x0 - 1, y0 - 1, x1 + 1, y1 + 1), 2.5, FRAME)
    c.rect(interior, WHITE)


def section(c, square, digit_box, digit, heading_box, heading):
    c.rounded(square, 3, TEAL)
    fit_text_on(c, digit, digit_box, FONT_SANS_BOLD, WHITE, halign="center")
    fit_text_on(c, heading, heading_box, FONT_CJK, TEAL, bold=0.6 * c.s)


def caption(c, text, box, colour=CAPTION):
    fit_text_on(c, text, box, FONT_CJK, colour, spread=True)


def hint(c, text, box):
    """A grey hint line opened by a round dot."""
    x0, y0, x1, y1 = box
    c.ellipse(x0 + 1.5, (y0 + y1 + 1) / 2.0, 1.5, 1.5, HINT)
    caption(c, text, (x0 + 6, y0, x1, y1), HINT)


def draw_background(scale):
    c = Canvas(*BG_SIZE, scale, PANEL)

    section(c, BG_SQUARE_1, BG_DIGIT_1, "1", BG_HEADING_1, "输入")
    caption(c, "记忆密码", BG_CAPTION_PASSWORD)
    input_frame(c, BG_FIELD_PASSWORD)
    x0, y0, x1, y1 = BG_PLUS
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
    c.rect((x0, cy - 1, x1, cy + 1), TEAL)
    c.rect((cx - 1, y0, cx + 1, y1), TEAL)
    caption(c, "区分代号", BG_CAPTION_KEY)
    input_frame(c, BG_FIELD_KEY)
    hint(c, HINT_PASSWORD, BG_HINT_PASSWORD)
    hint(c, HINT_KEY, BG_HINT_KEY)

    # A dotted rule separates the two sections without boxing them in.
    for x in range(15, 649, 3):
        c.rect((x, BG_RULE_Y, min(x + 1, 648), BG_RULE_Y), RULE)

    section(c, BG_SQUARE_2, BG_DIGIT_2, "2", BG_HEADING_2, "获取")
    caption(c, "16位码（推荐）：", BG_CAPTION_16)
    c.rect(BG_COPY_FRAME, TEAL)
    c.rect(BG_COPY_FIELD, PANEL)
    fit_text_on(c, TEXT_COPY, BG_COPY_LABEL, FONT_CJK, WHITE, halign="center")
    caption(c, "32位完整MD5码：", BG_CAPTION_32)
    return c.img


# --------------------------------------------------------------------------
# Copy-row highlight (204 x 24) and copy confirmation (75 x 24)

CODE_SIZE = (204, 24)
# The highlight is laid over the panel 112 px right and 243 px down, so its
# frame and button coincide with the teal ones of the background.
CODE_OFFSET = (112, 243)


def shifted(box, offset):
    return (box[0] - offset[0], box[1] - offset[1], box[2] - offset[0], box[3] - offset[1])


def draw_code(scale, mono):
    c = Canvas(*CODE_SIZE, scale, WINDOW)
    c.rect(shifted(BG_COPY_FRAME, CODE_OFFSET), ORANGE)
    c.rect(shifted(BG_COPY_FIELD, CODE_OFFSET), WINDOW)
    fit_text_on(c, TEXT_COPY, shifted(BG_COPY_LABEL, CODE_OFFSET), FONT_CJK, WHITE,
                halign="center", mono=mono)
    return c.img


COPY_SIZE = (75, 24)


def draw_copy(scale, mono):
    # Two colours only: the lettering uses the margin colour, which reads as
    # white on the green box.
    c = Canvas(*COPY_SIZE, scale, WINDOW)
    c.rect((1, 1, 73, 22), GREEN)
    fit_text_on(c, TEXT_COPIED, (6, 6, 68, 17), FONT_CJK, WINDOW, halign="center", mono=mono)
    return c.img


# --------------------------------------------------------------------------
# Donation button (92 x 39)

DONATION_SIZE = (92, 39)


def draw_donation(scale):
    c = Canvas(*DONATION_SIZE, scale, WINDOW)
    box = (0, 0, 91, 38)
    c.rounded(box, 5, DONATE_BORDER)

    def paint(d, f):
        d.rounded_rectangle((1 * f, 1 * f, 91 * f - 1, 38 * f - 1), radius=4 * f, fill=255)
    shade = vgradient(c.size, [(0.0, rgb(0xFFFFFF)), (0.55, rgb(0xF3F3F3)), (1.0, rgb(0xDCDCDC))])
    c.paint(shade, paint)
    fit_text_on(c, "捐助 " + PRODUCT, (10, 12, 81, 26), FONT_CJK, DONATE_TEXT, halign="center")
    return c.img


# --------------------------------------------------------------------------
# Logo band (660 x 156)

LOGO_SIZE = (660, 156)
LOGO_TITLE = (57, 26, 369, 68)
LOGO_SLOGAN = (55, 97, 356, 120)
PHOTO_LEFT = 372        # where the photograph starts to fade in
PHOTO_SOLID = 470       # from here on it is fully opaque


def ridge(x0, x1, base, waves, step=2.0):
    """Outline of a mountain ridge as a list of points, a sum of sines."""
    pts = []
    x = x0
    while x <= x1 + step:
        y = base + sum(a * math.sin(x / p + ph) for a, p, ph in waves)
        pts.append((x, y))
        x += step
    return pts


def draw_photo(scale):
    """A sunrise over a mountain lake, framed for the right end of the band."""
    w, h = LOGO_SIZE
    c = Canvas(w, h, scale, BANNER)
    horizon = 104
    sky = vgradient(c.size, [(0.0, rgb(0x3C74C4)), (0.30, rgb(0x6E9FDC)),
                             (0.52, rgb(0xB9D3EE)), (horizon / h, rgb(0xFFDDB0)),
                             (1.0, rgb(0xFFDDB0))])
    c.img.paste(sky, (0, 0))

    # The sun rises in the saddle of the far range, inside a wide glow.
    sun_x, sun_y = 572, 81
    glow = Image.new("L", c.size, 0)
    gp = glow.load()
    s = c.s
    for y in range(c.size[1]):
        for x in range(int((sun_x - 120) * s), c.size[0]):
            d = math.hypot(x / s - sun_x, (y / s - sun_y) * 1.5) / 120.0
            if d < 1:
                gp[x, y] = int(round(235 * (1 - d) ** 2))
    c.paint(rgb(0xFFF1D2), mask=glow)
    c.ellipse(sun_x, sun_y, 8, 8, rgb(0xFFF6E0))

    # Three mountain ranges, hazier with distance.
    far = ridge(360, 660, 80, [(7, 23, 0.3), (4, 9, 1.7), (2, 4.1, 0.2)])
    c.polygon(far + [(660, horizon + 1), (360, horizon + 1)], rgb(0x9AAFD6))
    mid = ridge(360, 660, 92, [(8, 31, 2.2), (3.5, 11, 0.9), (1.5, 3.7, 2.9)])
    c.polygon(mid + [(660, horizon + 1), (360, horizon + 1)], rgb(0x6C85B8))
    near = ridge(360, 660, 99, [(5, 19, 4.1), (2, 6.3, 1.1)])
    near_colour = vgradient(c.size, [(0.0, rgb(0x4A6A9E)), (horizon / h, rgb(0x3D5A8A)), (1.0, rgb(0x3D5A8A))])
    c.paint(near_colour, lambda d, f: d.polygon([(x * f, y * f) for x, y in
                                                  near + [(660, horizon + 1), (360, horizon + 1)]], fill=255))

    # The lake mirrors the sky, darkening toward the viewer, and the ridges.
    lake = vgradient(c.size, [(0.0, rgb(0xE6D8C8)), (horizon / h, rgb(0xE6D8C8)),
                              (0.80, rgb(0x7FA2D0)), (1.0, rgb(0x41689E))])
    c.paint(lake, lambda d, f: d.rectangle((0, (horizon + 1) * f, 660 * f, h * f), fill=255))
    mirrored = [(x, 2 * (horizon + 1) - y) for x, y in mid]
    c.polygon(mirrored + [(660, horizon + 1), (360, horizon + 1)], rgb(0x6C85B8), opacity=0.35)
    mirrored = [(x, 2 * (horizon + 1) - y) for x, y in near]
    c.polygon(mirrored + [(660, horizon + 1), (360, horizon + 1)], rgb(0x3D5A8A), opacity=0.45)

    # Sunlight glitter on the water, placed by a seeded generator.
    rnd = random.Random(20120314)
    for i in range(20):
        y = horizon + 3 + i * 2.2
        half = max(1.0, 12 - i * 0.45) * (0.5 + 0.8 * rnd.random())
        x = sun_x + rnd.uniform(-5, 5)
        c.polygon([(x - half, y), (x + half, y), (x + half, y + 0.7), (x - half, y + 0.7)],
                  rgb(0xFFF2D8), opacity=max(0.2, 0.75 - i * 0.03))

    # Dark shore and pines framing the right edge.
    shore = ridge(560, 662, 143, [(4, 17, 0.5), (1.5, 5, 2.0)])
    c.polygon([(540, 157)] + shore + [(662, 157)], rgb(0x1F3858))
    for tx, base, height in [(612, 150, 52), (630, 148, 64), (646, 151, 44), (598, 153, 30)]:
        half = height * 0.23
        tiers = 4
        for t in range(tiers):
            top = base - height + t * height / (tiers + 1.2)
            bottom = top + height / 2.2
            spread = half * (0.45 + 0.55 * (t + 1) / tiers)
            c.polygon([(tx, top), (tx + spread, bottom), (tx - spread, bottom)], rgb(0x1B3150))
        c.rect((int(tx) - 1, int(base - 4), int(tx), int(base)), rgb(0x1B3150))

    # A few birds over the hills.
    for bx, by, span in [(470, 40, 5), (484, 46, 4), (462, 51, 3.5)]:
        c.polygon([(bx - span, by - 1.5), (bx, by + 0.6), (bx + span, by - 1.5),
                   (bx + span, by - 0.7), (bx, by + 1.5), (bx - span, by - 0.7)], rgb(0x2E4E80))
    return c.img


def draw_logo(scale):
    w, h = LOGO_SIZE
    c = Canvas(w, h, scale, BANNER)
    photo = draw_photo(scale)

    # The photograph fades in from the left so it melts into the banner.
    fade = Image.new("L", (c.size[0], 1), 0)
    for x in range(c.size[0]):
        t = (x / scale - PHOTO_LEFT) / (PHOTO_SOLID - PHOTO_LEFT)
        t = min(1.0, max(0.0, t))
        fade.putpixel((x, 0), int(round(255 * t * t * (3 - 2 * t))))
    c.paint(photo, mask=fade.resize(c.size, Image.NEAREST))

    # A darker edge under the band sets it off from the panel below.
    c.rect((0, h - 2, w - 1, h - 1), BANNER_EDGE)

    title_ink = draw_title(c)
    # A faint rule between name and slogan.
    rule_y = (title_ink[3] // scale + LOGO_SLOGAN[1]) // 2 + 1
    c.paint(WHITE, lambda d, f: d.rectangle((LOGO_TITLE[0] * f, rule_y * f, 330 * f, (rule_y + 1) * f - 1), fill=255),
            opacity=0.35)
    fit_text_on(c, SLOGAN, LOGO_SLOGAN, FONT_CJK, WHITE)
    return c.img


def draw_title(c):
    """Product name in large bold letters followed, on the same baseline, by
    the web address; the pair is as large as the title band allows."""
    x0, y0, x1, y1 = c.px(LOGO_TITLE)
    bw, bh = x1 - x0 + 1, y1 - y0 + 1
    for size in range(bh * 2, 8, -1):
        big = font(FONT_SANS_BOLD, size)
        small = font(FONT_SANS, max(6, int(round(size * 0.38))))
        gap = int(round(size * 0.22))
        a = ink_bbox(PRODUCT, big, anchor="ls")
        b = ink_bbox(WEB_ADDRESS, small, anchor="ls")
        bx = a[2] + gap - b[0]
        left, right = a[0], bx + b[2]
        top, bottom = min(a[1], b[1]), max(a[3], b[3])
        if right - left <= bw and bottom - top <= bh:
            break
    ox = x0 - left
    oy = y0 + (bh - (bottom - top)) // 2 - top
    d = ImageDraw.Draw(c.img)
    d.text((ox, oy), PRODUCT, font=big, fill=WHITE, anchor="ls")
    d.text((ox + bx, oy), WEB_ADDRESS, font=small, fill=rgb(0xE4EEFA), anchor="ls")
    return (ox + left, oy + top, ox + right - 1, oy + bottom - 1)


def logo_palette(img):
    fixed = [BANNER, WHITE, BANNER_EDGE, rgb(0xE4EEFA)]
    fixed += ramp(BANNER, WHITE, 10)
    fixed += ramp(BANNER, rgb(0xE4EEFA), 4)
    photo = img.crop((PHOTO_LEFT, 0, LOGO_SIZE[0], LOGO_SIZE[1] - 2))
    return build_palette(fixed, median_cut_colours(photo, 128 - len(fixed)), 128)


# --------------------------------------------------------------------------
# Contributor avatars (20 x 20)

AVATAR = 20


def avatar(scale, backdrop, skin, hair, shirt, style):
    """A head-and-shoulders portrait; style picks hair and accessories."""
    c = Canvas(AVATAR, AVATAR, scale, backdrop[1])
    c.img.paste(vgradient(c.size, [(0.0, backdrop[0]), (1.0, backdrop[1])]), (0, 0))
    c.ellipse(10, 22.5, 8.5, 6.5, shirt)                       # shoulders
    c.rect((9, 14, 10, 16), mix(skin, (0, 0, 0), 0.12))         # neck
    if style == "long":
        c.ellipse(10, 10.5, 6.2, 7.2, hair)                     # hair behind the face
        c.polygon([(3.8, 10), (16.2, 10), (16.6, 17), (3.4, 17)], hair)
    c.ellipse(10, 9.6, 4.6, 5.3, skin)                          # face
    if style in ("short", "headphones"):
        c.polygon([(5.2, 9), (5.6, 5.4), (8, 3.6), (12.5, 3.6), (14.6, 5.6), (14.8, 9),
                   (13.6, 6.8), (9.5, 6.2), (6.4, 7.0)], hair)
    elif style == "long":
        c.polygon([(5.3, 9.5), (6.2, 5.2), (10, 3.8), (13.8, 5.2), (14.7, 9.5),
                   (13.2, 6.6), (10.6, 6.3), (6.8, 7.4)], hair)
    elif style == "beard":
        c.polygon([(5.3, 8), (6.4, 4.6), (10, 3.6), (13.6, 4.6), (14.7, 8), (12.5, 6.4), (7.5, 6.4)], hair)
        c.polygon([(5.5, 9.5), (14.5, 9.5), (13.6, 13.6), (10, 15.4), (6.4, 13.6)], hair)
        c.ellipse(10, 12.2, 1.6, 0.7, mix(skin, hair, 0.3))     # mouth in the beard
    elif style == "beanie":
        c.polygon([(5.0, 8.2), (5.6, 4.6), (8, 2.4), (12, 2.4), (14.4, 4.6), (15.0, 8.2)], hair)
        c.rect((5, 7, 14, 8), mix(hair, (255, 255, 255), 0.35))
        c.ellipse(10, 2.0, 1.3, 1.3, mix(hair, (255, 255, 255), 0.5))
    eye = rgb(0x2A2420)
    c.ellipse(8.1, 10.2, 0.7, 0.8, eye)
    c.ellipse(11.9, 10.2, 0.7, 0.8, eye)
    if style == "headphones":
        band = rgb(0x26262E)
        c.paint(band, lambda d, f: d.arc((4.2 * f, 2.6 * f, 15.8 * f, 15 * f), 180, 360,
                                          fill=255, width=int(1.1 * f)))
        c.ellipse(4.9, 10.4, 1.6, 2.5, band)
        c.ellipse(15.1, 10.4, 1.6, 2.5, band)
    if style != "beard":
        c.polygon([(8.6, 12.6), (11.4, 12.6), (10, 13.5)], rgb(0xB45A4A))
    return c.img


AVATARS = {
    "tarrow": ((rgb(0xFFC46B), rgb(0xF08A24)), rgb(0xF3C9A4), rgb(0x3A2A20), rgb(0x2F5C9E), "headphones"),
    "belmir": ((rgb(0x9BE3C8), rgb(0x2FA88A)), rgb(0xE8B68E), rgb(0x8A4B22), rgb(0x6B3F8F), "beard"),
    "odrin": ((rgb(0xC6B4F0), rgb(0x7A5CC8)), rgb(0xD9A57C), rgb(0xD8343F), rgb(0x2D3B4D), "beanie"),
    "pelu": ((rgb(0xFFB3C7), rgb(0xE2557E)), rgb(0xF6D2B6), rgb(0x1E1A1A), rgb(0xF4F4F4), "long"),
}


# --------------------------------------------------------------------------
# Window icon: a key whose bow holds a small memory chip, on a blue-to-teal tile

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def rotate(points, angle, cx, cy):
    ca, sa = math.cos(angle), math.sin(angle)
    return [(cx + x * ca - y * sa, cy + x * sa + y * ca) for x, y in points]


def draw_icon(size):
    # Icons are drawn per size in units of 1/size; strokes are thickened at
    # the small sizes so the key still reads at 16 px.
    c = Canvas(size, size, 1, (0, 0, 0, 0), mode="RGBA")
    bold = {16: 1.35, 24: 1.2, 32: 1.1}.get(size, 1.0)
    m = 0 if size <= 16 else size / 32.0
    tile = vgradient((size, size), [(0.0, rgb(0x3D7BD6)), (1.0, rgb(0x00A5BE))])
    r = size * 0.22
    c.paint(tile, lambda d, f: d.rounded_rectangle((m * f, m * f, (size - m) * f - 1, (size - m) * f - 1),
                                                  radius=r * f, fill=255))
    # Gloss on the upper half.
    c.paint(WHITE, lambda d, f: d.ellipse((-0.2 * size * f, -0.75 * size * f, 1.2 * size * f, 0.42 * size * f),
                                          fill=255), opacity=0.13)

    u = size
    cx, cy = 0.36 * u, 0.36 * u
    angle = math.radians(45)
    ring_out = 0.20 * u
    ring_in = (0.11 if size >= 48 else 0.095) * u / bold
    shaft = 0.052 * u * bold
    end = 0.62 * u

    def key_paint(dx, dy):
        def paint(d, f):
            d.ellipse(((cx + dx - ring_out) * f, (cy + dy - ring_out) * f,
                       (cx + dx + ring_out) * f, (cy + dy + ring_out) * f), fill=255)
            d.ellipse(((cx + dx - ring_in) * f, (cy + dy - ring_in) * f,
                       (cx + dx + ring_in) * f, (cy + dy + ring_in) * f), fill=0)
            parts = [
                [(ring_out * 0.8, -shaft), (end, -shaft), (end, shaft), (ring_out * 0.8, shaft)],
                [(end - 0.16 * u, shaft * 0.5), (end - 0.09 * u, shaft * 0.5),
                 (end - 0.09 * u, shaft + 0.10 * u * bold), (end - 0.16 * u, shaft + 0.10 * u * bold)],
                [(end - 0.06 * u, shaft * 0.5), (end, shaft * 0.5),
                 (end, shaft + 0.075 * u * bold), (end - 0.06 * u, shaft + 0.075 * u * bold)],
            ]
            for p in parts:
                d.polygon([(x * f, y * f) for x, y in rotate(p, angle, cx + dx, cy + dy)], fill=255)
        return paint

    shadow = max(0.6, u * 0.025)
    c.paint(rgb(0x123F6E), key_paint(shadow, shadow), opacity=0.35)
    c.paint(WHITE, key_paint(0, 0))

    if size >= 48:
        # The memory chip in the bow: a square body with two pins per side,
        # turned with the key.
        body = ring_in * 0.44
        pin_len = ring_in * 0.74
        pin_half = ring_in * 0.09

        def chip_paint(d, f):
            square = [(-body, -body), (body, -body), (body, body), (-body, body)]
            d.polygon([(x * f, y * f) for x, y in rotate(square, angle, cx, cy)], fill=255)
            for t in (-0.45 * body, 0.45 * body):
                for pin in ([(t - pin_half, -pin_len), (t + pin_half, -pin_len),
                             (t + pin_half, pin_len), (t - pin_half, pin_len)],
                            [(-pin_len, t - pin_half), (pin_len, t - pin_half),
                             (pin_len, t + pin_half), (-pin_len, t + pin_half)]):
                    d.polygon([(x * f, y * f) for x, y in rotate(pin, angle, cx, cy)], fill=255)
        c.paint(rgb(0xC8EEFA), chip_paint)
    return c.img


# --------------------------------------------------------------------------
# Hand pointer (32 x 32): black outline, white fill, hot spot (6, 0)

HAND = """
.....XXX
....XoooX
....XoooX
....XoooX
....XoooX
....XoooX
....XoooXXXX
....XoooXoooXXXX
....XoooXoooXoooXXX
....XoooXoooXoooXooX
.XXXXoooXoooXoooXooX
XoooXoooXoooXoooXooX
XoooXoooooooooooooX
XooooooooooooooooooX
.XoooooooooooooooooX
.XoooooooooooooooooX
..XooooooooooooooooX
..XoooooooooooooooX
...XooooooooooooooX
...XooooooooooooooX
....XooooooooooooX
....XooooooooooooX
....XXXXXXXXXXXXXX
"""


def draw_hand():
    img = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    rows = HAND.strip("\n").split("\n")
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch == "X":
                img.putpixel((x, y), (0, 0, 0, 255))
            elif ch == "o":
                img.putpixel((x, y), (255, 255, 255, 255))
    return img


# --------------------------------------------------------------------------

def generate(outdir):
    os.makedirs(outdir, exist_ok=True)
    out = lambda name: os.path.join(outdir, name)

    bg = draw_background(1)
    save_indexed_gif(out("background.gif"), bg, background_palette(), 32)
    save_png(out("background@2x.png"), draw_background(2))

    logo = draw_logo(1)
    w, h = LOGO_SIZE
    save_indexed_gif(out("logo.gif"), logo, logo_palette(logo), 128,
                     dither_box=(PHOTO_LEFT, 0, w, h - 2), dither_amount=6)
    save_png(out("logo@2x.png"), draw_logo(2))

    save_indexed_gif(out("code.gif"), draw_code(1, True), [WINDOW, ORANGE, WHITE, (0, 0, 0)], 4)
    save_png(out("code@2x.png"), draw_code(2, False))
    save_indexed_gif(out("copy.gif"), draw_copy(1, True), [WINDOW, GREEN], 2)
    save_png(out("copy@2x.png"), draw_copy(2, False))

    don = draw_donation(1)
    fixed = [WINDOW, DONATE_TEXT, DONATE_BORDER, WHITE]
    save_indexed_gif(out("donation.gif"), don,
                     build_palette(fixed, median_cut_colours(don, 64 - len(fixed)), 64), 64)
    save_png(out("donation@2x.png"), draw_donation(2))

    for name in ("tarrow", "belmir", "odrin"):
        img = avatar(1, *AVATARS[name])
        save_indexed_gif(out(name + ".gif"), img, median_cut_colours(img, 64), 64)
    avatar(1, *AVATARS["pelu"]).save(out("pelu.jpg"), "JPEG", quality=92, subsampling=0,
                                      optimize=False, progressive=False)

    icons = {s: draw_icon(s) for s in ICON_SIZES}
    for s in ICON_SIZES:
        save_png(out("icon-%d.png" % s), icons[s])
    write_ico(out("mnemora.ico"), [(icons[32], 8), (icons[48], 32), (icons[32], 32), (icons[16], 32)])

    save_png(out("hand.png"), draw_hand())


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: gen-artwork.py OUTDIR\n")
        return 2
    generate(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
