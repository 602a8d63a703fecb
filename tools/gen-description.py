#!/usr/bin/env python3
"""Writes what each front end reads from the window's description,
assets/layout.json:

    gen-description.py cpp OUT        the C++ header mnemora_layout.h (both windows)
    gen-description.py js OUT         the module description.js (page and popup)
    gen-description.py artwork OUT    the module artwork-table.js: the languages, each <img>'s picture in each
    gen-description.py pictures USER  the picture files USER (web, extension) carries
    gen-description.py webp           the WebP renditions the web build makes, as encode-webp.py reads them
    gen-description.py css            the colours and faces as CSS custom properties (page and popup)

The description is the only place these facts are written; see
docs/ARCHITECTURE.md for how to add a text."""

import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DESCRIPTION = os.path.join(ROOT, "assets", "layout.json")

# C++ identifiers of the languages, by tag.
LANGUAGES = {"zh-CN": "Chinese", "en": "English"}


def load(path=DESCRIPTION):
    with open(path, encoding="utf-8") as f:
        d = json.load(f)
    if d["defaultLanguage"] not in d["texts"]:
        raise SystemExit("gen-description: no texts for the default language")
    keys = set(d["texts"][d["defaultLanguage"]])
    for tag, texts in d["texts"].items():
        if tag not in LANGUAGES:
            raise SystemExit("gen-description: no C++ name for the language %s" % tag)
        if set(texts) != keys:
            raise SystemExit("gen-description: %s lacks or adds %s" % (tag, sorted(set(texts) ^ keys)))
    names = [c["name"] for c in d["controls"]]
    files = [p["file"] for p in d["pictures"]]
    for c in d["controls"]:
        for tag, file in c.get("pictureIn", {}).items():
            if tag not in d["texts"] or file not in files:
                raise SystemExit(
                    "gen-description: %s shows %s in %s, which is not listed" % (c["name"], file, tag)
                )
    for field in ("tabOrder", "raised"):
        for name in d[field]:
            if name not in names:
                raise SystemExit("gen-description: %s names no control %s" % (field, name))
    for name, colour in d["colours"].items():
        if not re.fullmatch(r"#[0-9A-F]{6}", colour):
            raise SystemExit("gen-description: the colour %s is not #RRGGBB in capitals: %s" % (name, colour))
    t = d["timings"]
    if t["confirmationMs"] % t["tickMs"]:
        raise SystemExit("gen-description: the confirmation is not a whole number of ticks")
    return d


def resolve(d, tag, key):
    """A text of a control: a key of the language's texts, or a dotted path
    into the description (a link, the window's copyright line)."""
    if key is None:
        return None
    if "." in key:
        value = d
        for part in key.split("."):
            value = value[part]
        return value
    return d["texts"][tag][key]


def cstr(s):
    if s is None:
        return "nullptr"
    out = s.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
    return '"%s"' % out


def cpp(d):
    controls = d["controls"]
    names = [c["name"] for c in controls]
    langs = list(d["texts"])
    w = []
    a = w.append
    a("// Generated from assets/layout.json by tools/gen-description.py; edit that file instead.")
    a("#pragma once")
    a("")
    a('#include "ControlKinds.h"')
    a("")
    a("namespace mnemora::layout {")
    a("")
    a("inline constexpr int TwipsPerPixel = %d;" % d["twipsPerPixel"])
    a("// The window's client area in twips.")
    a("inline constexpr int WindowWidth = %d;" % d["windowTwips"][0])
    a("inline constexpr int WindowHeight = %d;" % d["windowTwips"][1])
    a("")
    a("// The window's controls in the order of the file: a parent comes before its")
    a("// children, and a later sibling lies above an earlier one.")
    a("enum class Control { %s };" % ", ".join(names))
    a("")
    a(
        """// A control's place in twips, relative to its parent's client area, and the
// picture file it shows ("" for none).
struct ControlPlace {
    const char *name;
    int parent; // index in Controls; -1 for the window
    int left, top, width, height;
    const char *picture;
};

// A picture file of assets/art and its size in pixels (0 x 0 for the multi-size
// icon file).
struct PictureFile {
    const char *file;
    int width, height;
};

// An element painted into the picture of a control, named by the control it
// lies under and its role there; an inclusive pixel box in that picture.
struct PaintedElement {
    Control pictureOf;
    Control under;
    const char *role;
    int x0, y0, x1, y1;
};

// What a control is and does, whatever the language.
struct ControlRules {
    ControlKind kind;
    ControlRole role;
    ControlPointer pointer;
    bool hiddenAtStart;
    int maxLength; // 0 for no limit of the box's own
    int copies;    // index in Controls of the box a click copies; -1 for none
    const char *link; // the web page a click opens
};

// A control's texts in one language; accessible texts are what a screen
// reader says.
struct ControlTexts {
    const char *caption;
    const char *toolTip;
    const char *accessibleName;
    const char *accessibleDescription;
    const char *picture; // the picture file it shows in this language ("" for none)
};

enum class Language { %s };
inline constexpr const char *LanguageTags[] = {%s};
inline constexpr Language DefaultLanguage = Language::%s;
"""
        % (
            ", ".join(LANGUAGES[t] for t in langs),
            ", ".join(cstr(t) for t in langs),
            LANGUAGES[d["defaultLanguage"]],
        )
    )
    a("// clang-format off")
    a("inline constexpr ControlPlace Controls[] = {")
    for c in controls:
        parent = names.index(c["parent"]) if c["parent"] in names else -1
        a(
            "    {%s, %d, %s, %s},"
            % (cstr(c["name"]), parent, ", ".join(str(v) for v in c["twips"]), cstr(c.get("picture", "")))
        )
    a("};")
    a("")
    a("inline constexpr PictureFile Pictures[] = {")
    for p in d["pictures"]:
        size = p.get("size", [0, 0])
        a("    {%s, %d, %d}," % (cstr(p["file"]), size[0], size[1]))
    a("};")
    a("")
    a("inline constexpr PaintedElement Painted[] = {")
    for p in d["painted"]:
        a(
            "    {Control::%s, Control::%s, %s, %s},"
            % (p["pictureOf"], p["under"], cstr(p["role"]), ", ".join(str(v) for v in p["box"]))
        )
    a("};")
    a("")
    a("inline constexpr ControlRules Rules[] = {")
    for c in controls:
        copies = names.index(c["copies"]) if "copies" in c else -1
        a(
            "    {ControlKind::%s, ControlRole::%s, ControlPointer::%s, %s, %d, %d, %s}, // %s"
            % (
                c["kind"],
                c["role"],
                c["pointer"],
                "true" if c.get("hidden") else "false",
                c.get("maxLength", 0),
                copies,
                cstr(resolve(d, None, "links." + c["link"]) if "link" in c else None),
                c["name"],
            )
        )
    a("};")
    a("")
    a("// Per language, in the order of Language, one row per control.")
    a("inline constexpr ControlTexts Texts[][%d] = {" % len(controls))
    for tag in langs:
        a("    {")
        for c in controls:
            picture = c.get("pictureIn", {}).get(tag, c.get("picture", ""))
            a(
                "        {%s, %s},"
                % (
                    ", ".join(
                        cstr(resolve(d, tag, c.get(f)))
                        for f in ("caption", "toolTip", "accessibleName", "accessibleDescription")
                    ),
                    cstr(picture),
                )
            )
        a("    },")
    a("};")
    a("")
    a("// The window's own texts, per language.")
    a("struct WindowTexts {")
    window_keys = [
        "slogan",
        "selfTestNotice",
        "selfTestHeadline",
        "clipboardBusy",
        "pasteCut",
        "pressAction",
        "jumpAction",
    ]
    for k in window_keys:
        a("    const char *%s;" % k)
    a("};")
    a("inline constexpr WindowTexts Window[] = {")
    for tag in langs:
        a("    {%s}," % ", ".join(cstr(d["texts"][tag][k]) for k in window_keys))
    a("};")
    a("// clang-format on")
    a("")
    a("inline constexpr char WindowTitle[] = %s;" % cstr(d["window"]["title"]))
    a("// What the window is called on an accessibility bus.")
    a("inline constexpr char AccessibleTitle[] = %s;" % cstr(d["window"]["accessibleTitle"]))
    a("")
    t = d["timings"]
    a("// Colours as 0xRRGGBB: %s." % ", ".join(d["colours"]))
    for name, colour in d["colours"].items():
        a("inline constexpr unsigned %sColour = 0x%s;" % (name[0].upper() + name[1:], colour[1:]))
    f = d["fonts"]
    a("// The window's face, inherited by its captions, and the boxes' face, in points.")
    a("inline constexpr char WindowFontFamily[] = %s;" % cstr(f["window"]["family"]))
    a("inline constexpr double WindowFontPoints = %r;" % f["window"]["points"])
    a("inline constexpr char BoxFontFamily[] = %s;" % cstr(f["boxes"]["family"]))
    a("inline constexpr double InputFontPoints = %r;" % f["boxes"]["inputPoints"])
    a("inline constexpr double OutputFontPoints = %r;" % f["boxes"]["outputPoints"])
    a("")
    a("// The timer's tick, how long the confirmation of a copy shows, how long")
    a("// a copied code may stay on the clipboard, and how long the line saying")
    a("// a paste was cut stays, in milliseconds.")
    a("inline constexpr int TickMs = %d;" % t["tickMs"])
    a("inline constexpr int ConfirmationMs = %d;" % t["confirmationMs"])
    a("inline constexpr int ClipboardClearMs = %d;" % t["clipboardClearMs"])
    a("inline constexpr int PasteCutMs = %d;" % t["pasteCutMs"])
    a("")
    a("// The boxes Tab moves through, in order; every other control takes no focus.")
    a("inline constexpr Control TabOrder[] = {%s};" % ", ".join("Control::" + n for n in d["tabOrder"]))
    a("// Controls laid above all their siblings once every control exists, in order.")
    a("inline constexpr Control Raised[] = {%s};" % ", ".join("Control::" + n for n in d["raised"]))
    a("")
    a(
        """constexpr const ControlPlace &Place(Control control)
{
    return Controls[static_cast<int>(control)];
}

constexpr const ControlRules &RulesOf(Control control)
{
    return Rules[static_cast<int>(control)];
}

constexpr const ControlTexts &TextsOf(Control control, Language language)
{
    return Texts[static_cast<int>(language)][static_cast<int>(control)];
}

constexpr const WindowTexts &WindowTextsIn(Language language)
{
    return Window[static_cast<int>(language)];
}

} // namespace mnemora::layout"""
    )
    return "\n".join(w) + "\n"


def js(d):
    t = d["timings"]
    out = {
        "defaultLanguage": d["defaultLanguage"],
        "tickMs": t["tickMs"],
        "confirmationMs": t["confirmationMs"],
        "clipboardClearMs": t["clipboardClearMs"],
        "links": d["links"],
        "colours": d["colours"],
        "copyright": d["window"]["copyright"],
        "maxLength": {c["name"]: c["maxLength"] for c in d["controls"] if "maxLength" in c},
        # Paths in the site, so that the offline edition finds and carries them.
        "pictureIn": {
            c["name"]: {
                tag: {
                    "src": "art/" + f,
                    "src2x": "art/" + f.rsplit(".", 1)[0] + "@2x.png",
                    "webp": webp_srcset(d, f),
                }
                for tag, f in c["pictureIn"].items()
            }
            for c in d["controls"]
            if "pictureIn" in c
        },
        "texts": d["texts"],
    }
    return (
        "// Generated from assets/layout.json by tools/gen-description.py; edit that file instead.\n"
        "export const Description = %s;\n" % json.dumps(out, ensure_ascii=False, indent=2)
    )


def picture_sources(d, f):
    return {"src": "art/" + f, "src2x": "art/" + f.rsplit(".", 1)[0] + "@2x.png", "webp": webp_srcset(d, f)}


def artwork(d):
    """The languages, and the picture every captioned <img> of the page shows
    in each, the default language's too: small enough for the page to carry in
    its head, so that it asks for no picture of another language."""
    languages = list(d["texts"])
    pictures = {
        c["name"]: {tag: picture_sources(d, c["pictureIn"].get(tag, c["picture"])) for tag in languages}
        for c in d["controls"]
        if "pictureIn" in c and c["kind"] == "Picture"
    }
    # One export each, every control's too, so that a script bundles only
    # what it reads.
    return "".join(
        "%s\n" % line
        for line in [
            "// Generated from assets/layout.json by tools/gen-description.py; edit that file instead.",
            "export const DefaultLanguage = %s;" % json.dumps(d["defaultLanguage"]),
            "export const Languages = %s;" % json.dumps(languages),
        ]
        + [
            "export const %s = %s;" % (name, json.dumps(p, ensure_ascii=False))
            for name, p in pictures.items()
        ]
        + ["export const Pictures = { %s };" % ", ".join(pictures)]
    )


def css(d):
    """The colours and faces as custom properties, ahead of each page's own
    style sheet: --<name> for a colour, --window-face and --box-face, and the
    sizes in CSS pixels (a point is 4/3 of one) as --window-size,
    --input-size and --output-size."""
    f = d["fonts"]

    def px(points):
        return "%gpx" % (points * 4 / 3)

    props = ["--%s: %s" % (name, colour) for name, colour in d["colours"].items()]
    props += [
        "--window-face: %s" % json.dumps(f["window"]["family"]),
        "--box-face: %s" % json.dumps(f["boxes"]["family"]),
        "--window-size: %s" % px(f["window"]["points"]),
        "--input-size: %s" % px(f["boxes"]["inputPoints"]),
        "--output-size: %s" % px(f["boxes"]["outputPoints"]),
    ]
    # A panel's picture in each language, as --<name>-picture: the language
    # on <html> chooses it, before anything asks for a picture.
    by_language = {}
    for c in d["controls"]:
        if c["kind"] != "Panel" or "picture" not in c:
            continue
        for tag in d["texts"]:
            sources = picture_sources(d, c.get("pictureIn", {}).get(tag, c["picture"]))
            renditions = [(sources["src"], "1x"), (sources["src2x"], "2x")]
            webp = (
                [
                    'url("%s") type("image/webp") %s' % (re.sub(r"\.\w+$", ".webp", path), x)
                    for path, x in renditions
                ]
                if sources["webp"]
                else []
            )
            image = "image-set(%s)" % ", ".join(webp + ['url("%s") %s' % r for r in renditions])
            by_language.setdefault(tag, []).append("--%s-picture: %s" % (c["name"], image))
    props += by_language.get(d["defaultLanguage"], [])
    rules = "".join(
        ":root:lang(%s) {\n%s}\n" % (tag, "".join("    %s;\n" % p for p in decls))
        for tag, decls in by_language.items()
        if tag != d["defaultLanguage"]
    )
    return (
        "/* Generated from assets/layout.json by tools/gen-description.py; edit that file instead. */\n"
        ":root {\n%s}\n%s" % ("".join("    %s;\n" % p for p in props), rules)
    )


def pictures(d, user):
    return [p["file"] for p in d["pictures"] if user in p.get("carriedBy", [])]


def webp_srcset(d, picture):
    """A picture's WebP renditions (its own and its @2x drawing's) as a srcset
    of widths, narrowest first; empty where the description makes none."""
    stem = picture.rsplit(".", 1)[0]
    candidates = []
    for p in d["pictures"]:
        if p["file"].rsplit(".", 1)[0] not in (stem, stem + "@2x"):
            continue
        for width in p.get("webp", []):
            if width == 0:
                candidates.append((p["size"][0], "art/%s.webp" % p["file"].rsplit(".", 1)[0]))
            else:
                candidates.append((width, "art/%s-%dw.webp" % (stem, width)))
    return ", ".join("%s %dw" % (name, width) for width, name in sorted(candidates))


def webp(d):
    """The WebP renditions the page offers beside its pictures, as arguments of
    tools/encode-webp.py: 0 the picture as drawn, any other width it resampled
    to that many pixels across (NAME-WIDTHw.webp)."""
    out = []
    for p in d["pictures"]:
        stem = p["file"].split(".")[0].split("@")[0]
        for width in p.get("webp", []):
            out.append(p["file"] if width == 0 else "%s=%s-%dw.webp:%d" % (p["file"], stem, width, width))
    return out


def write(path, text):
    # Written only when it changes, so that nothing rebuilds for nothing.
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    if argv[1:] == ["webp"]:
        print("\n".join(webp(load())))
        return
    if argv[1:] == ["css"]:
        sys.stdout.write(css(load()))
        return
    if len(argv) != 3 or argv[1] not in ("cpp", "js", "artwork", "pictures"):
        raise SystemExit(__doc__)
    d = load()
    if argv[1] == "cpp":
        write(argv[2], cpp(d))
    elif argv[1] == "js":
        write(argv[2], js(d))
    elif argv[1] == "artwork":
        write(argv[2], artwork(d))
    else:
        files = pictures(d, argv[2])
        if not files:
            raise SystemExit("gen-description: no picture is carried by %s" % argv[2])
        print("\n".join(files))


if __name__ == "__main__":
    main(sys.argv)
