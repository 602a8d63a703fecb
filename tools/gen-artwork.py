#!/usr/bin/python3
"""Draws every picture of Mnemora's main window.

Usage: tools/gen-artwork.py OUTDIR

All artwork is painted here from shapes, gradients and text; nothing is read
from disk except the two installed font families and assets/layout.json, which
places every painted element under its control and lists the files.  The
output is byte-for-byte reproducible: there are no timestamps, every
pseudo-random choice uses a fixed seed, and tools/imageformats.py writes the
containers itself.  assets/art/ holds the committed result; regenerate it with
`tools/gen-artwork.py assets/art` after changing anything below.
"""

import math
import os
import random
import sys

from imageformats import (
    Canvas,
    Image,
    ImageDraw,
    build_palette,
    fit_text_on,
    font,
    largest_fitting,
    ink_bbox,
    median_cut_colours,
    mix,
    ramp,
    rgb,
    save_indexed_gif,
    save_png,
    vgradient,
    write_ico,
)
from uilayout import Layout, shifted

LAYOUT = Layout()

FONT_CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONT_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_SANS_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# The window's own colours are the description's; the rest are the artwork's.
PANEL = rgb(LAYOUT.colours["panel"])
WHITE = rgb(LAYOUT.colours["input"])
TEAL = rgb(0x00A0C0)
CAPTION = rgb(0x404040)
HINT = rgb(0xA0A0A4)
FRAME = rgb(LAYOUT.colours["frame"])
RULE = rgb(0xEDE4D0)
WINDOW = rgb(LAYOUT.colours["window"])
ORANGE = rgb(0xFF881C)
GREEN = rgb(0x22B614)
BANNER = rgb(0x4C86D0)
BANNER_EDGE = rgb(0x3D72B8)
DONATE_TEXT = rgb(0x333333)
DONATE_BORDER = rgb(0xA9A9A9)

# Every captioned picture is drawn once per language of the description's
# texts, in the words its painted elements name there (painted[].text): the
# default language's is name.gif, another's name-<language>.gif
# (LAYOUT.in_language). Each language has its face; CJK captions are spaced
# out to their boxes' width and the headings emboldened by overprinting, while
# Latin ones keep their natural fit and take the face's own bold.
FACES = {"zh-CN": FONT_CJK, "en": FONT_SANS}
HEADING_FACES = {"zh-CN": FONT_CJK, "en": FONT_SANS_BOLD}
SPACED = {"zh-CN": True, "en": False}
# Captions that read as a pair share one size in another language than the
# default, as their equal-length CJK captions do, and none is drawn larger
# than the default language's caption in the same place.
SIBLINGS = [
    ("section1.heading", "section2.heading"),
    ("password.caption", "key.caption"),
    ("password.hint", "key.hint"),
    ("code16.caption", "code32.caption"),
]
PRODUCT = "Mnemora"
WEB_ADDRESS = "mnemora.example.org"


# --------------------------------------------------------------------------
# Background picture of the panel


def panel(under, role):
    """Where an element is painted into the panel picture."""
    return LAYOUT.box("PicContrl", under, role)


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


def words(under, role, language, picture_of="PicContrl"):
    return LAYOUT.text(picture_of, under, role, language)


def most(c, under, role, language, picture_of="PicContrl", heading=False, inset=0):
    """The largest font size a caption may take in a language (None: as
    large as its box allows, the default language's way)."""
    if language == LAYOUT.default_language:
        return None
    faces = HEADING_FACES if heading else FACES
    roles = next((pair for pair in SIBLINGS if role in pair), (role,))
    sizes = []
    for tag, face in ((language, faces[language]), (LAYOUT.default_language, faces[LAYOUT.default_language])):
        for each in roles:
            x0, y0, x1, y1 = c.px(LAYOUT.box(picture_of, under, each))
            x0 += inset * c.s
            sizes.append(largest_fitting(words(under, each, tag, picture_of), face, x1 - x0 + 1, y1 - y0 + 1))
    return min(sizes)


def section(c, number, language):
    name = "section%d." % number
    c.rounded(panel("PicContrl", name + "square"), 3, TEAL)
    fit_text_on(c, str(number), panel("PicContrl", name + "digit"), FONT_SANS_BOLD, WHITE, halign="center")
    fit_text_on(
        c,
        words("PicContrl", name + "heading", language),
        panel("PicContrl", name + "heading"),
        HEADING_FACES[language],
        TEAL,
        bold=0.6 * c.s if SPACED[language] else 0.0,
        most=most(c, "PicContrl", name + "heading", language, heading=True),
    )


def caption(c, role, language, colour=CAPTION, inset=0):
    text = words("PicContrl", role, language)
    x0, y0, x1, y1 = panel("PicContrl", role)
    fit_text_on(
        c,
        text,
        (x0 + inset, y0, x1, y1),
        FACES[language],
        colour,
        spread=SPACED[language],
        most=most(c, "PicContrl", role, language, inset=inset),
    )


def hint(c, role, language):
    """A grey hint line opened by a round dot."""
    x0, y0, x1, y1 = panel("PicContrl", role)
    c.ellipse(x0 + 1.5, (y0 + y1 + 1) / 2.0, 1.5, 1.5, HINT)
    caption(c, role, language, HINT, inset=6)


def draw_background(scale, language):
    c = Canvas(*LAYOUT.size("background.gif"), scale, PANEL)

    section(c, 1, language)
    caption(c, "password.caption", language)
    input_frame(c, panel("txtPassword", "interior"))
    x0, y0, x1, y1 = panel("PicContrl", "plus")
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
    c.rect((x0, cy - 1, x1, cy + 1), TEAL)
    c.rect((cx - 1, y0, cx + 1, y1), TEAL)
    caption(c, "key.caption", language)
    input_frame(c, panel("txtKey", "interior"))
    hint(c, "password.hint", language)
    hint(c, "key.hint", language)

    # A dotted rule separates the two sections without boxing them in.
    x0, y, x1, _ = panel("PicContrl", "rule")
    for x in range(x0, x1 + 1, 3):
        c.rect((x, y, min(x + 1, x1), y), RULE)

    section(c, 2, language)
    caption(c, "code16.caption", language)
    # The teal frame is the copy button too: the field in it is cut out again.
    c.rect(panel("ImgCode", "frame"), TEAL)
    c.rect(panel("txtCode16", "interior"), PANEL)
    fit_text_on(
        c,
        words("lblCopy", "caption", language),
        panel("lblCopy", "caption"),
        FACES[language],
        WHITE,
        halign="center",
        most=most(c, "lblCopy", "caption", language),
    )
    caption(c, "code32.caption", language)
    return c.img


# --------------------------------------------------------------------------
# Copy-row highlight and copy confirmation


def draw_code(scale, mono, language):
    # The highlight lies over the panel where ImgCode stands, so its frame and
    # button coincide with the teal ones painted into the background.
    offset = LAYOUT.offset("ImgCode")
    c = Canvas(*LAYOUT.size("code.gif"), scale, WINDOW)
    c.rect(shifted(panel("ImgCode", "frame"), offset), ORANGE)
    c.rect(shifted(panel("txtCode16", "interior"), offset), WINDOW)
    fit_text_on(
        c,
        words("lblCopy", "caption", language),
        shifted(panel("lblCopy", "caption"), offset),
        FACES[language],
        WHITE,
        halign="center",
        mono=mono,
        most=most(c, "lblCopy", "caption", language),
    )
    return c.img


def draw_copy(scale, mono, language):
    # Two colours only: the lettering uses the margin colour, which reads as
    # white on the green box.
    c = Canvas(*LAYOUT.size("copy.gif"), scale, WINDOW)
    c.rect(LAYOUT.box("ImgCopy", "ImgCopy", "box"), GREEN)
    fit_text_on(
        c,
        words("ImgCopy", "caption", language, "ImgCopy"),
        LAYOUT.box("ImgCopy", "ImgCopy", "caption"),
        FACES[language],
        WINDOW,
        halign="center",
        mono=mono,
        most=most(c, "ImgCopy", "caption", language, "ImgCopy"),
    )
    return c.img


# --------------------------------------------------------------------------
# Donation button


def draw_donation(scale, language):
    c = Canvas(*LAYOUT.size("donation.gif"), scale, WINDOW)
    box = LAYOUT.box("ImgDonation", "ImgDonation", "button")
    c.rounded(box, 5, DONATE_BORDER)
    x0, y0, x1, y1 = box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1

    def paint(d, f):
        d.rounded_rectangle((x0 * f, y0 * f, (x1 + 1) * f - 1, (y1 + 1) * f - 1), radius=4 * f, fill=255)

    shade = vgradient(c.size, [(0.0, rgb(0xFFFFFF)), (0.55, rgb(0xF3F3F3)), (1.0, rgb(0xDCDCDC))])
    c.paint(shade, paint)
    fit_text_on(
        c,
        words("ImgDonation", "caption", language, "ImgDonation"),
        LAYOUT.box("ImgDonation", "ImgDonation", "caption"),
        FACES[language],
        DONATE_TEXT,
        halign="center",
        most=most(c, "ImgDonation", "caption", language, "ImgDonation"),
    )
    return c.img


# --------------------------------------------------------------------------
# Logo band

LOGO_SIZE = LAYOUT.size("logo.gif")
LOGO_TITLE = LAYOUT.box("ImgLogo", "ImgLogo", "title")
LOGO_SLOGAN = LAYOUT.box("ImgLogo", "ImgLogo", "slogan")
PHOTO_LEFT = 372  # where the photograph starts to fade in
PHOTO_SOLID = 470  # from here on it is fully opaque


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
    sky = vgradient(
        c.size,
        [
            (0.0, rgb(0x3C74C4)),
            (0.30, rgb(0x6E9FDC)),
            (0.52, rgb(0xB9D3EE)),
            (horizon / h, rgb(0xFFDDB0)),
            (1.0, rgb(0xFFDDB0)),
        ],
    )
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
    near_colour = vgradient(
        c.size, [(0.0, rgb(0x4A6A9E)), (horizon / h, rgb(0x3D5A8A)), (1.0, rgb(0x3D5A8A))]
    )
    c.paint(
        near_colour,
        lambda d, f: d.polygon(
            [(x * f, y * f) for x, y in near + [(660, horizon + 1), (360, horizon + 1)]], fill=255
        ),
    )

    # The lake mirrors the sky, darkening toward the viewer, and the ridges.
    lake = vgradient(
        c.size,
        [(0.0, rgb(0xE6D8C8)), (horizon / h, rgb(0xE6D8C8)), (0.80, rgb(0x7FA2D0)), (1.0, rgb(0x41689E))],
    )
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
        c.polygon(
            [(x - half, y), (x + half, y), (x + half, y + 0.7), (x - half, y + 0.7)],
            rgb(0xFFF2D8),
            opacity=max(0.2, 0.75 - i * 0.03),
        )

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
        c.polygon(
            [
                (bx - span, by - 1.5),
                (bx, by + 0.6),
                (bx + span, by - 1.5),
                (bx + span, by - 0.7),
                (bx, by + 1.5),
                (bx - span, by - 0.7),
            ],
            rgb(0x2E4E80),
        )
    return c.img


def draw_logo(scale, language):
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
    c.paint(
        WHITE,
        lambda d, f: d.rectangle((LOGO_TITLE[0] * f, rule_y * f, 330 * f, (rule_y + 1) * f - 1), fill=255),
        opacity=0.35,
    )
    fit_text_on(c, words("ImgLogo", "slogan", language, "ImgLogo"), LOGO_SLOGAN, FACES[language], WHITE)
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


def avatar(file, backdrop, skin, hair, shirt, style, scale=1):
    """A head-and-shoulders portrait; style picks hair and accessories."""
    c = Canvas(*LAYOUT.size(file), scale, backdrop[1])
    c.img.paste(vgradient(c.size, [(0.0, backdrop[0]), (1.0, backdrop[1])]), (0, 0))
    c.ellipse(10, 22.5, 8.5, 6.5, shirt)  # shoulders
    c.rect((9, 14, 10, 16), mix(skin, (0, 0, 0), 0.12))  # neck
    if style == "long":
        c.ellipse(10, 10.5, 6.2, 7.2, hair)  # hair behind the face
        c.polygon([(3.8, 10), (16.2, 10), (16.6, 17), (3.4, 17)], hair)
    c.ellipse(10, 9.6, 4.6, 5.3, skin)  # face
    if style in ("short", "headphones"):
        c.polygon(
            [
                (5.2, 9),
                (5.6, 5.4),
                (8, 3.6),
                (12.5, 3.6),
                (14.6, 5.6),
                (14.8, 9),
                (13.6, 6.8),
                (9.5, 6.2),
                (6.4, 7.0),
            ],
            hair,
        )
    elif style == "long":
        c.polygon(
            [
                (5.3, 9.5),
                (6.2, 5.2),
                (10, 3.8),
                (13.8, 5.2),
                (14.7, 9.5),
                (13.2, 6.6),
                (10.6, 6.3),
                (6.8, 7.4),
            ],
            hair,
        )
    elif style == "beard":
        c.polygon([(5.3, 8), (6.4, 4.6), (10, 3.6), (13.6, 4.6), (14.7, 8), (12.5, 6.4), (7.5, 6.4)], hair)
        c.polygon([(5.5, 9.5), (14.5, 9.5), (13.6, 13.6), (10, 15.4), (6.4, 13.6)], hair)
        c.ellipse(10, 12.2, 1.6, 0.7, mix(skin, hair, 0.3))  # mouth in the beard
    elif style == "beanie":
        c.polygon([(5.0, 8.2), (5.6, 4.6), (8, 2.4), (12, 2.4), (14.4, 4.6), (15.0, 8.2)], hair)
        c.rect((5, 7, 14, 8), mix(hair, (255, 255, 255), 0.35))
        c.ellipse(10, 2.0, 1.3, 1.3, mix(hair, (255, 255, 255), 0.5))
    eye = rgb(0x2A2420)
    c.ellipse(8.1, 10.2, 0.7, 0.8, eye)
    c.ellipse(11.9, 10.2, 0.7, 0.8, eye)
    if style == "headphones":
        band = rgb(0x26262E)
        c.paint(
            band,
            lambda d, f: d.arc((4.2 * f, 2.6 * f, 15.8 * f, 15 * f), 180, 360, fill=255, width=int(1.1 * f)),
        )
        c.ellipse(4.9, 10.4, 1.6, 2.5, band)
        c.ellipse(15.1, 10.4, 1.6, 2.5, band)
    if style != "beard":
        c.polygon([(8.6, 12.6), (11.4, 12.6), (10, 13.5)], rgb(0xB45A4A))
    return c.img


AVATARS = {
    "tarrow.gif": ((rgb(0xFFC46B), rgb(0xF08A24)), rgb(0xF3C9A4), rgb(0x3A2A20), rgb(0x2F5C9E), "headphones"),
    "belmir.gif": ((rgb(0x9BE3C8), rgb(0x2FA88A)), rgb(0xE8B68E), rgb(0x8A4B22), rgb(0x6B3F8F), "beard"),
    "odrin.gif": ((rgb(0xC6B4F0), rgb(0x7A5CC8)), rgb(0xD9A57C), rgb(0xD8343F), rgb(0x2D3B4D), "beanie"),
    "pelu.jpg": ((rgb(0xFFB3C7), rgb(0xE2557E)), rgb(0xF6D2B6), rgb(0x1E1A1A), rgb(0xF4F4F4), "long"),
}


# --------------------------------------------------------------------------
# Window icon: a key whose bow holds a small memory chip, on a blue-to-teal tile

ICON_FILES = [f for f in LAYOUT.files() if f.startswith("icon-")]


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
    c.paint(
        tile,
        lambda d, f: d.rounded_rectangle(
            (m * f, m * f, (size - m) * f - 1, (size - m) * f - 1), radius=r * f, fill=255
        ),
    )
    # Gloss on the upper half.
    c.paint(
        WHITE,
        lambda d, f: d.ellipse(
            (-0.2 * size * f, -0.75 * size * f, 1.2 * size * f, 0.42 * size * f), fill=255
        ),
        opacity=0.13,
    )

    u = size
    cx, cy = 0.36 * u, 0.36 * u
    angle = math.radians(45)
    ring_out = 0.20 * u
    ring_in = (0.11 if size >= 48 else 0.095) * u / bold
    shaft = 0.052 * u * bold
    end = 0.62 * u

    def key_paint(dx, dy):
        def paint(d, f):
            d.ellipse(
                (
                    (cx + dx - ring_out) * f,
                    (cy + dy - ring_out) * f,
                    (cx + dx + ring_out) * f,
                    (cy + dy + ring_out) * f,
                ),
                fill=255,
            )
            d.ellipse(
                (
                    (cx + dx - ring_in) * f,
                    (cy + dy - ring_in) * f,
                    (cx + dx + ring_in) * f,
                    (cy + dy + ring_in) * f,
                ),
                fill=0,
            )
            parts = [
                [(ring_out * 0.8, -shaft), (end, -shaft), (end, shaft), (ring_out * 0.8, shaft)],
                [
                    (end - 0.16 * u, shaft * 0.5),
                    (end - 0.09 * u, shaft * 0.5),
                    (end - 0.09 * u, shaft + 0.10 * u * bold),
                    (end - 0.16 * u, shaft + 0.10 * u * bold),
                ],
                [
                    (end - 0.06 * u, shaft * 0.5),
                    (end, shaft * 0.5),
                    (end, shaft + 0.075 * u * bold),
                    (end - 0.06 * u, shaft + 0.075 * u * bold),
                ],
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
                for pin in (
                    [
                        (t - pin_half, -pin_len),
                        (t + pin_half, -pin_len),
                        (t + pin_half, pin_len),
                        (t - pin_half, pin_len),
                    ],
                    [
                        (-pin_len, t - pin_half),
                        (pin_len, t - pin_half),
                        (pin_len, t + pin_half),
                        (-pin_len, t + pin_half),
                    ],
                ):
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
    img = Image.new("RGBA", LAYOUT.size("hand.png"), (0, 0, 0, 0))
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
    written = []

    def out(name):
        written.append(name)
        return os.path.join(outdir, name)

    for language in LAYOUT.texts:

        def named(file):
            return out(LAYOUT.in_language(file, language))

        bg = draw_background(1, language)
        save_indexed_gif(named("background.gif"), bg, background_palette(), 32)
        save_png(named("background@2x.png"), draw_background(2, language))

        logo = draw_logo(1, language)
        w, h = LOGO_SIZE
        save_indexed_gif(
            named("logo.gif"),
            logo,
            logo_palette(logo),
            128,
            dither_box=(PHOTO_LEFT, 0, w, h - 2),
            dither_amount=6,
        )
        save_png(named("logo@2x.png"), draw_logo(2, language))

        save_indexed_gif(
            named("code.gif"), draw_code(1, True, language), [WINDOW, ORANGE, WHITE, (0, 0, 0)], 4
        )
        save_png(named("code@2x.png"), draw_code(2, False, language))
        save_indexed_gif(named("copy.gif"), draw_copy(1, True, language), [WINDOW, GREEN], 2)
        save_png(named("copy@2x.png"), draw_copy(2, False, language))

        don = draw_donation(1, language)
        fixed = [WINDOW, DONATE_TEXT, DONATE_BORDER, WHITE]
        save_indexed_gif(
            named("donation.gif"), don, build_palette(fixed, median_cut_colours(don, 64 - len(fixed)), 64), 64
        )
        save_png(named("donation@2x.png"), draw_donation(2, language))

    for file, look in AVATARS.items():
        img = avatar(file, *look)
        if file.endswith(".jpg"):
            img.save(out(file), "JPEG", quality=92, subsampling=0, optimize=False, progressive=False)
        else:
            save_indexed_gif(out(file), img, median_cut_colours(img, 64), 64)

    icons = {}
    for file in ICON_FILES:
        size = LAYOUT.size(file)[0]
        icons[size] = draw_icon(size)
        save_png(out(file), icons[size])
    write_ico(out("mnemora.ico"), [(icons[32], 8), (icons[48], 32), (icons[32], 32), (icons[16], 32)])

    save_png(out("hand.png"), draw_hand())

    if sorted(written) != sorted(LAYOUT.files()):
        raise SystemExit(
            "gen-artwork: assets/layout.json lists %s, the generator wrote %s"
            % (sorted(LAYOUT.files()), sorted(written))
        )


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: gen-artwork.py OUTDIR\n")
        return 2
    generate(argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
