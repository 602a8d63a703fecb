#!/usr/bin/env python3
"""Independent model of the site-fitted code (docs/fitted-code.md), written
from that description and sharing no code with the C++ core. It reads only
canonical rule texts, draws its bytes through engine_model's HMAC (checked
against Python's hmac module wherever the standard finishing rule applies),
and checks the known-answer file against its own answers.

Usage: fitted_model.py FITTED_TXT           (exit status 1 on any mismatch)
       fitted_model.py --line PW KEY RULE   (prints the fitted code)
"""
import sys

import engine_model

PRINTABLE = [chr(c) for c in range(0x20, 0x7F)]
CLASSES = {
    "upper": set("ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
    "lower": set("abcdefghijklmnopqrstuvwxyz"),
    "digit": set("0123456789"),
    "special": set(c for c in PRINTABLE if not c.isalnum()),
    "ascii-printable": set(PRINTABLE),
    "unicode": set(PRINTABLE),
}


def parse_canonical(text):
    """{'required': [sets], 'allowed': set, 'unicode': bool, lengths} from a canonical rule."""
    rule = {
        "required": [],
        "allowed": None,
        "unicode": False,
        "max-consecutive": 0,
        "minlength": 0,
        "maxlength": 0,
    }
    i = 0
    while i < len(text):
        colon = text.index(": ", i)
        name = text[i:colon]
        i = colon + 2
        if name in ("required", "allowed"):
            chars = set()
            while True:
                if text[i] == "[":
                    j = text.index("]", i + 1)
                    if j + 1 < len(text) and text[j + 1] == "]":
                        chars |= set(text[i + 1 : j + 1])
                        i = j + 2
                    else:
                        chars |= set(text[i + 1 : j])
                        i = j + 1
                else:
                    end = min(k for k in (text.find(",", i), text.find(";", i)) if k >= 0)
                    word = text[i:end]
                    chars |= CLASSES[word]
                    if word == "unicode":
                        rule["unicode"] = True
                    i = end
                if text[i] == ";":
                    break
                assert text[i : i + 2] == ", "
                i += 2
            if name == "required":
                rule["required"].append(chars)
            else:
                rule["allowed"] = chars
        else:
            end = text.index(";", i)
            rule[name] = int(text[i:end])
            i = end
        assert text[i] == ";"
        i += 2  # "; " between properties; past the end after the last
    return rule


def accepts(rule, code):
    if len(code) < rule["minlength"] or (rule["maxlength"] and len(code) > rule["maxlength"]):
        return False
    if not rule["unicode"] and any(c not in rule["allowed"] for c in code):
        return False
    if any(not any(c in s for c in code) for s in rule["required"]):
        return False
    run = 0
    for n, c in enumerate(code):
        run = run + 1 if n and code[n - 1] == c else 1
        if rule["max-consecutive"] and run > rule["max-consecutive"]:
            return False
    return True


class Stream:
    def __init__(self, one, canonical):
        self.key = one.encode()
        self.canonical = canonical.encode()
        self.counter = 0
        self.block = b""

    def byte(self):
        if not self.block:
            self.block = engine_model.hmac_md5(b"%d:" % self.counter + self.canonical, self.key)
            self.counter += 1
        b, self.block = self.block[0], self.block[1:]
        return b

    def draw(self, n):
        while True:
            b = self.byte()
            if b < 256 - 256 % n:
                return b % n


def fit(password, key, canonical):
    rule = parse_canonical(canonical)
    code16, _ = engine_model.generate_codes(password, key)
    if accepts(rule, code16):
        return code16, True
    one = engine_model.hmac_md5(password.encode(), key.encode()).hex()
    stream = Stream(one, canonical)
    length = max(rule["minlength"], min(rule["maxlength"] or 16, 16))
    for _ in range(100):
        slots = rule["required"] + [rule["allowed"]] * (length - len(rule["required"]))
        for i in range(length - 1, 0, -1):
            j = stream.draw(i + 1)
            slots[i], slots[j] = slots[j], slots[i]
        code = ""
        for at, chars in enumerate(slots):
            run_full = (
                rule["max-consecutive"]
                and len(code) >= rule["max-consecutive"]
                and len(set(code[-rule["max-consecutive"] :])) == 1
            )
            candidates = sorted(
                c
                for c in chars
                if not (c == " " and at in (0, length - 1)) and not (run_full and c == code[-1])
            )
            if not candidates:
                break
            code += candidates[stream.draw(len(candidates))]
        else:
            assert accepts(rule, code), (canonical, code)
            return code, False
    raise ValueError("no code for " + canonical)


def unescape(s):
    out, i = "", 0
    while i < len(s):
        if s[i] == "\\":
            out += {"t": "\t", "n": "\n"}.get(s[i + 1], s[i + 1])
            i += 2
        else:
            out += s[i]
            i += 1
    return out


def check(path):
    failures = 0
    rows = 0
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        password, key, _written, canonical, code, plain = [unescape(f) for f in line.split("\t")]
        got, got_plain = fit(password, key, canonical)
        rows += 1
        if (got, got_plain) != (code, plain == "plain"):
            failures += 1
            model, written = f"model {got!r} {got_plain}", f"file {code!r} {plain}"
            print(f"mismatch: {password!r} {key!r} {canonical!r}: {model}, {written}")
    print(f"{rows} vectors, {failures} mismatches")
    return failures == 0 and rows > 0


if __name__ == "__main__":
    engine_model.self_check()
    if sys.argv[1] == "--line":
        print(fit(sys.argv[2], sys.argv[3], sys.argv[4]))
    else:
        sys.exit(0 if check(sys.argv[1]) else 1)
