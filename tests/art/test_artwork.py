#!/usr/bin/python3
"""Checks the main-window artwork committed in assets/art.

Run as `python3 tests/art/test_artwork.py`; exits 0 when every check passes.
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from imageformats import Image  # noqa: E402  (re-runs under the system python3 that has Pillow)
from uilayout import Layout, shifted  # noqa: E402

ART = os.path.join(ROOT, "assets", "art")
GENERATOR = os.path.join(ROOT, "tools", "gen-artwork.py")
LAYOUT = Layout()

PANEL = (0xFF, 0xFB, 0xF0)
WHITE = (0xFF, 0xFF, 0xFF)
TEAL = (0x00, 0xA0, 0xC0)
WINDOW = (0xF2, 0xF2, 0xF2)
ORANGE = (0xFF, 0x88, 0x1C)
GREEN = (0x22, 0xB6, 0x14)
BANNER = (0x4C, 0x86, 0xD0)

GENERATED = sorted(LAYOUT.files())
SIZES = {name: LAYOUT.size(name) for name in GENERATED if "size" in LAYOUT.pictures[name]}
DOUBLED = [name[: -len("@2x.png")] for name in GENERATED if name.endswith("@2x.png")]
ICONS = [name for name in GENERATED if name.startswith("icon-")]
# Every language's captioned pictures, the default language's first.
LANGUAGES = [LAYOUT.default_language] + [tag for tag in LAYOUT.texts if tag != LAYOUT.default_language]

# Everything painted into the panel picture, by the control it lies under;
# outside these boxes the picture must be plain panel colour.
BACKGROUND = LAYOUT.boxes("PicContrl")
TEXT_BOXES = {
    role: box
    for (under, role), box in BACKGROUND.items()
    if under == "PicContrl" and role.rsplit(".", 1)[-1] in ("heading", "caption", "hint")
}
PASSWORD_FIELD = BACKGROUND[("txtPassword", "interior")]
KEY_FIELD = BACKGROUND[("txtKey", "interior")]
COPY_FRAME = BACKGROUND[("ImgCode", "frame")]
COPY_FIELD = BACKGROUND[("txtCode16", "interior")]
COPY_BUTTON = BACKGROUND[("lblCopy", "button")]


def grown(box, by):
    return (box[0] - by, box[1] - by, box[2] + by, box[3] + by)


# The input frames' one-pixel border lies around their white interiors.
PAINTED = [
    grown(box, 1) if under in ("txtPassword", "txtKey") else box for (under, _), box in BACKGROUND.items()
]


def path(name):
    return os.path.join(ART, name)


def load(name, mode=None):
    with Image.open(path(name)) as im:
        im.load()
        return im.convert(mode) if mode else im.copy()


def rgb_image(name):
    return load(name, "RGB")


def gif_table_size(name):
    with open(path(name), "rb") as f:
        head = f.read(13)
    assert head[:3] == b"GIF", name
    assert head[10] & 0x80, name + " has no global colour table"
    return 2 << (head[10] & 7)


def colours(img):
    return {c for _, c in img.getcolors(1 << 20)}


def inside(box, x, y):
    return box[0] <= x <= box[2] and box[1] <= y <= box[3]


def region(img, box):
    x0, y0, x1, y1 = box
    return [img.getpixel((x, y)) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)]


class Reproducible(unittest.TestCase):
    def test_generator_reproduces_the_committed_files(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, GENERATOR, out], check=True)
            self.assertEqual(sorted(os.listdir(out)), GENERATED)
            for name in GENERATED:
                with open(os.path.join(out, name), "rb") as a, open(path(name), "rb") as b:
                    self.assertTrue(a.read() == b.read(), name + " differs from a fresh run of the generator")

    def test_art_folder_holds_exactly_the_generated_files(self):
        self.assertEqual(sorted(os.listdir(ART)), sorted(GENERATED + ["README"]))


class Formats(unittest.TestCase):
    def test_sizes_and_formats(self):
        for name, size in SIZES.items():
            with Image.open(path(name)) as im:
                im.load()
            self.assertEqual(im.size, size, name)
            expected = {"gif": "GIF", "jpg": "JPEG", "png": "PNG"}[name.rsplit(".", 1)[1]]
            self.assertEqual(im.format, expected, name)
            if name.endswith(".gif"):
                self.assertEqual(im.mode, "P", name)
                self.assertNotIn("transparency", im.info, name)
            if name.endswith("@2x.png"):
                self.assertEqual(im.mode, "RGB", name)
            if name.startswith(("icon-", "hand")):
                self.assertEqual(im.mode, "RGBA", name)

    def test_palette_sizes(self):
        for name in ("tarrow.gif", "belmir.gif", "odrin.gif"):
            self.assertIn(gif_table_size(name), (64, 128), name)
        for language in LANGUAGES:
            with self.subTest(language=language):
                named = lambda file: LAYOUT.in_language(file, language)  # noqa: E731
                self.assertLessEqual(gif_table_size(named("background.gif")), 32)
                self.assertLessEqual(gif_table_size(named("logo.gif")), 128)
                self.assertEqual(gif_table_size(named("code.gif")), 4)
                self.assertEqual(gif_table_size(named("copy.gif")), 2)
                self.assertEqual(gif_table_size(named("donation.gif")), 64)
                self.assertLessEqual(len(colours(rgb_image(named("background.gif")))), 32)
                self.assertEqual(colours(rgb_image(named("code.gif"))), {WINDOW, ORANGE, WHITE})
                self.assertEqual(colours(rgb_image(named("copy.gif"))), {WINDOW, GREEN})

    def test_jpeg_is_baseline(self):
        with open(path("pelu.jpg"), "rb") as f:
            data = f.read()
        self.assertEqual(data[:2], b"\xff\xd8")
        frames = []
        pos = 2
        while pos < len(data) and data[pos] == 0xFF:
            marker = data[pos + 1]
            if marker == 0xDA:  # start of scan: headers are over
                break
            length = struct.unpack(">H", data[pos + 2 : pos + 4])[0]
            if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
                frames.append(marker)
            pos += 2 + length
        self.assertEqual(frames, [0xC0])

    def test_icon_file_entries(self):
        with open(path("mnemora.ico"), "rb") as f:
            data = f.read()
        reserved, kind, count = struct.unpack("<HHH", data[:6])
        self.assertEqual((reserved, kind, count), (0, 1, 4))
        wanted = [(32, 8), (48, 32), (32, 32), (16, 32)]
        end = 6 + 16 * count
        for i, (size, bpp) in enumerate(wanted):
            w, h, ncol, _, planes, bits, length, offset = struct.unpack(
                "<BBBBHHII", data[6 + 16 * i : 22 + 16 * i]
            )
            self.assertEqual((w, h, ncol, planes, bits), (size, size, 0, 1, bpp), i)
            self.assertEqual(offset, end, "entries must follow each other")
            end = offset + length
            hsize, dw, dh, dplanes, dbits, comp, _, _, _, used, _ = struct.unpack(
                "<IiiHHIIiiII", data[offset : offset + 40]
            )
            self.assertEqual((hsize, dw, dh, dplanes, dbits, comp), (40, size, 2 * size, 1, bpp, 0), i)
            palette = 4 * 256 if bpp == 8 else 0
            row = (size * bpp // 8 + 3) & ~3
            mask_row = ((size + 31) // 32) * 4
            self.assertEqual(length, 40 + palette + size * (row + mask_row), i)
            if bpp == 8:
                self.assertEqual(used, 256)
                indices = set()
                for y in range(size):
                    start = offset + 40 + palette + y * row
                    indices.update(data[start : start + size])
                self.assertGreater(len(indices), 16, "the paletted icon should use its palette")
        self.assertEqual(end, len(data))
        with Image.open(path("mnemora.ico")) as ico:
            self.assertEqual(set(ico.info["sizes"]), {(16, 16), (32, 32), (48, 48)})

    def test_icons_are_shaped(self):
        for name in ICONS:
            im = load(name)
            s = im.width
            alpha = im.getchannel("A")
            self.assertLess(alpha.getpixel((0, 0)), 128, s)  # rounded corner
            self.assertEqual(alpha.getpixel((s // 2, s // 2)), 255, s)
            self.assertGreater(len(colours(im.convert("RGB"))), 8, s)

    def test_doubled_pictures_match_their_originals(self):
        for base in DOUBLED:
            small = rgb_image(base + ".gif")
            big = rgb_image(base + "@2x.png")
            # Flat areas agree: compare the pixels where the small picture and
            # its whole 2x2 block in the big one are all one colour.
            agree = total = 0
            for y in range(0, small.height, 3):
                for x in range(0, small.width, 3):
                    block = {big.getpixel((2 * x + dx, 2 * y + dy)) for dx in (0, 1) for dy in (0, 1)}
                    if len(block) == 1:
                        total += 1
                        c = block.pop()
                        s = small.getpixel((x, y))
                        agree += max(abs(c[i] - s[i]) for i in range(3)) <= 24
            self.assertGreater(agree, 0.9 * total, base)
            # Drawn afresh at 2x, not enlarged: far more distinct colours.
            self.assertGreater(len(colours(big)), len(colours(small)), base)


class Background(unittest.TestCase):
    language = LAYOUT.default_language

    @classmethod
    def setUpClass(cls):
        cls.img = rgb_image(LAYOUT.in_language("background.gif", cls.language))
        cls.big = rgb_image(LAYOUT.in_language("background@2x.png", cls.language))

    def px(self, x, y):
        return self.img.getpixel((x, y))

    def test_input_fields_are_white_inside_and_framed(self):
        for img, k in ((self.img, 1), (self.big, 2)):
            for box in (PASSWORD_FIELD, KEY_FIELD):
                x0, y0, x1, y1 = box[0] * k, box[1] * k, box[2] * k + k - 1, box[3] * k + k - 1
                cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
                for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1), (cx, cy)):
                    self.assertEqual(img.getpixel((x, y)), WHITE, (k, box, x, y))
                self.assertEqual(set(region(img, (x0, y0, x1, y1))), {WHITE}, (k, box))
                for x, y in (
                    (x0 - 1, cy),
                    (x1 + 1, cy),
                    (cx, y0 - 1),
                    (cx, y1 + 1),
                    (x0 - 1, y0 + 3),
                    (x1 + 1, y1 - 3),
                ):
                    self.assertNotEqual(img.getpixel((x, y)), WHITE, (k, box, x, y))

    def test_copy_row(self):
        self.assertEqual(set(region(self.img, COPY_FIELD)), {PANEL})
        button = region(self.img, COPY_BUTTON)
        self.assertGreater(button.count(TEAL), 0.6 * len(button))
        self.assertIn(WHITE, button)
        # The two-pixel frame around the code box.
        x0, y0, x1, y1 = COPY_FRAME
        for x in range(x0, x1 + 1, 7):
            for y in (y0, y0 + 1, y1 - 1, y1):
                self.assertEqual(self.px(x, y), TEAL, (x, y))
        for y in range(y0, y1 + 1):
            for x in (x0, x0 + 1, x1 - 1, x1):
                self.assertEqual(self.px(x, y), TEAL, (x, y))

    def test_code32_box_is_plain(self):
        self.assertEqual(set(region(self.img, LAYOUT.place("txtCode32"))), {PANEL})

    def test_nothing_painted_outside_the_layout(self):
        stray = [
            (x, y)
            for y in range(self.img.height)
            for x in range(self.img.width)
            if self.px(x, y) != PANEL and not any(inside(b, x, y) for b in PAINTED)
        ]
        self.assertEqual(stray[:10], [])

    def test_texts_fill_their_boxes(self):
        # No caption is cut or spills over its box, at 1x and at 2x; the
        # default language's fill them, another's may be drawn smaller.
        for img, k in ((self.img, 1), (self.big, 2)):
            for what, box in TEXT_BOXES.items():
                x0, y0, x1, y1 = box[0] * k, box[1] * k, box[2] * k + k - 1, box[3] * k + k - 1
                m = 3 * k
                ink = [
                    (x, y)
                    for y in range(y0 - m, y1 + m + 1)
                    for x in range(x0 - m, x1 + m + 1)
                    if img.getpixel((x, y)) != PANEL
                ]
                self.assertTrue(ink, (what, k))
                xs = [p[0] for p in ink]
                ys = [p[1] for p in ink]
                self.assertGreaterEqual(min(xs), x0, (what, k))
                self.assertLessEqual(max(xs), x1, (what, k))
                self.assertGreaterEqual(min(ys), y0, (what, k))
                self.assertLessEqual(max(ys), y1, (what, k))
                fill = max((max(xs) - min(xs) + 1) / (x1 - x0 + 1), (max(ys) - min(ys) + 1) / (y1 - y0 + 1))
                self.assertGreaterEqual(fill, 0.85 if self.language == LAYOUT.default_language else 0.4, what)

    def test_section_squares_and_plus(self):
        for role in ("section1.square", "section2.square"):
            x0, y0, x1, y1 = box = BACKGROUND[("PicContrl", role)]
            self.assertEqual(self.px(x0 + 3, y0 + 3), TEAL)
            self.assertEqual(self.px(x1 - 3, y1 - 3), TEAL)
            self.assertIn(WHITE, region(self.img, box))
        x0, y0, x1, y1 = BACKGROUND[("PicContrl", "plus")]
        cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
        self.assertEqual(self.px(cx, y0), TEAL)
        self.assertEqual(self.px(x0, cy), TEAL)
        self.assertEqual(self.px(cx, cy), TEAL)
        self.assertEqual(self.px(x0 + 1, y0 + 1), PANEL)


class EnglishBackground(Background):
    language = "en"

    def test_captions_are_in_the_language(self):
        default = rgb_image("background.gif")
        for what, box in TEXT_BOXES.items():
            self.assertNotEqual(region(self.img, box), region(default, box), what)


class SmallPictures(unittest.TestCase):
    language = LAYOUT.default_language

    def named(self, file):
        return LAYOUT.in_language(file, self.language)

    def test_code_highlight_lies_on_the_copy_row(self):
        im = rgb_image(self.named("code.gif"))
        offset = LAYOUT.offset("ImgCode")
        x0, y0, x1, y1 = shifted(COPY_FRAME, offset)
        for x in range(im.width):
            self.assertEqual(im.getpixel((x, y0 - 1)), WINDOW)
            self.assertEqual(im.getpixel((x, y1 + 1)), WINDOW)
        for y in range(y0, y1 + 1):
            for x in (x0, x0 + 1, x1 - 1, x1):
                self.assertEqual(im.getpixel((x, y)), ORANGE, (x, y))
        self.assertEqual(set(region(im, shifted(COPY_FIELD, offset))), {WINDOW})
        button = region(im, shifted(COPY_BUTTON, offset))
        self.assertGreater(button.count(ORANGE), 0.6 * len(button))
        self.assertIn(WHITE, button)

    def test_copy_confirmation_layout(self):
        im = rgb_image(self.named("copy.gif"))
        edge = (
            region(im, (0, 0, 74, 0))
            + region(im, (0, 23, 74, 23))
            + region(im, (0, 0, 0, 23))
            + region(im, (74, 0, 74, 23))
        )
        self.assertEqual(set(edge), {WINDOW})
        box = region(im, LAYOUT.box("ImgCopy", "ImgCopy", "box"))
        self.assertGreater(box.count(GREEN), 0.7 * len(box))
        self.assertGreater(box.count(WINDOW), 30, "the lettering")

    def test_donation_button(self):
        im = rgb_image(self.named("donation.gif"))
        x0, y0, x1, y1 = LAYOUT.box("ImgDonation", "ImgDonation", "button")
        for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
            self.assertEqual(im.getpixel((x, y)), WINDOW)
        self.assertIn((0x33, 0x33, 0x33), colours(im))
        top, bottom = im.getpixel((46, 3)), im.getpixel((46, 35))
        self.assertGreater(sum(top), sum(bottom), "light at the top, greyer at the bottom")

    def test_logo(self):
        im = rgb_image(self.named("logo.gif"))
        counts = sorted(im.getcolors(1 << 20), reverse=True)
        self.assertEqual(counts[0][1], BANNER)
        self.assertGreater(counts[0][0], im.width * im.height // 3)
        self.assertEqual(set(region(im, (0, 0, 50, 150))), {BANNER})
        for role in ("title", "slogan"):
            self.assertIn(WHITE, region(im, LAYOUT.box("ImgLogo", "ImgLogo", role)))
        # The photograph brings its own colours to the right end.
        self.assertGreater(len(set(region(im, (480, 0, 659, 153)))), 60)

    def test_avatars_differ(self):
        pics = [rgb_image(n) for n in ("tarrow.gif", "belmir.gif", "odrin.gif", "pelu.jpg")]
        for i in range(4):
            for j in range(i + 1, 4):
                a, b = list(pics[i].getdata()), list(pics[j].getdata())
                diff = sum(sum(abs(p[k] - q[k]) for k in range(3)) for p, q in zip(a, b)) / len(a)
                self.assertGreater(diff, 40, (i, j))


class EnglishSmallPictures(SmallPictures):
    language = "en"

    def test_captions_are_in_the_language(self):
        for file in ("code.gif", "copy.gif", "donation.gif", "logo.gif"):
            self.assertNotEqual(rgb_image(self.named(file)).tobytes(), rgb_image(file).tobytes(), file)


class HandPointer(unittest.TestCase):
    OPAQUE_BLACK, OPAQUE_WHITE, CLEAR = (0, 0, 0, 255), (255, 255, 255, 255), (0, 0, 0, 0)

    def setUp(self):
        self.im = load("hand.png", "RGBA")

    def test_three_pixel_values(self):
        values = colours(self.im)
        self.assertLessEqual(values, {self.OPAQUE_BLACK, self.OPAQUE_WHITE, self.CLEAR})
        self.assertEqual(len(values), 3)

    def test_fingertip_is_the_hot_spot(self):
        opaque = [(x, y) for y in range(32) for x in range(32) if self.im.getpixel((x, y))[3]]
        top = min(y for _, y in opaque)
        self.assertEqual(top, 0)
        row = [x for x, y in opaque if y == 0]
        self.assertIn(6, row)
        self.assertEqual(sum(row) / len(row), 6)

    def test_outline_is_closed(self):
        for y in range(32):
            for x in range(32):
                if self.im.getpixel((x, y)) == self.OPAQUE_WHITE:
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        nx, ny = x + dx, y + dy
                        self.assertTrue(0 <= nx < 32 and 0 <= ny < 32, (x, y))
                        self.assertNotEqual(self.im.getpixel((nx, ny)), self.CLEAR, (x, y))


if __name__ == "__main__":
    unittest.main()
