"""mnemora-cli.exe under Wine: the known-answer file, usage errors and
over-long input, each with its exit status, all in one Wine session through
process_batch.exe.

    test_cli_wine.py PREFIX BINDIR DERIVATIONS
"""

import os
import sys
import tempfile

import wine

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "oracle"))
import engine_model  # noqa: E402

# The program's messages, as its Linux tests expect them; Windows ends lines
# with "\r\n".
HINT = "Try 'mnemora-cli --help'.\r\n"


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"t": "\t", "n": "\n", "\\": "\\"}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def known_answers(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line.startswith("#"):
                yield [unescape(field) for field in line.split("\t")]


def case(name, stdin, args, status, out="", err=""):
    return {"name": name, "stdin": stdin, "args": args, "status": status, "out": out, "err": err}


def cases(derivations):
    result, unusable = [], 0
    for password, key, code16, code32 in known_answers(derivations):
        if "\n" in password or "\r" in password:
            unusable += 1  # not a first line of standard input
            continue
        # The line end Windows editors write, and Unix's: both end the line.
        ending = "\r\n" if len(result) % 2 else "\n"
        result.append(
            case(
                "%r %r" % (password, key),
                (password + ending).encode(),
                ["--all", "--", key],
                0,
                code16 + "\r\n" + code32 + "\r\n",
            )
        )
    # The known fitted codes, the same here as in the core and the module.
    for password, key, rule, _canonical, code, _plain in known_answers(
        os.path.join(os.path.dirname(derivations), "fitted.txt")
    ):
        result.append(
            case(
                "%r %r %r" % (password, key, rule),
                (password + "\n").encode(),
                ["--rules", rule, "--", key],
                0,
                code + "\r\n",
            )
        )
    result += [
        case(
            "--site", b"test\n", ["--site", "WWW.access.service.gov.uk", "taobao"], 0, "kxFF7ciPW.(/R)J%\r\n"
        ),
        case(
            "bad rule",
            b"test\n",
            ["--rules", "maxlength: 0", "k"],
            2,
            err='mnemora-cli: bad rule: "maxlength: 0": a password cannot be empty\r\n',
        ),
        case("--long", b"test\n", ["--long", "taobao"], 0, "a20caCf8Eb1b8B6d5b8a66996910E124\r\n"),
        case("no key", b"test\n", [], 2, err="mnemora-cli: no key given\r\n" + HINT),
        case(
            "unknown option, in Chinese",
            b"test\n",
            ["--淘宝"],
            2,
            err="mnemora-cli: unrecognised option '--淘宝'\r\n" + HINT,
        ),
        case(
            "two keys",
            b"test\n",
            ["a", "b"],
            2,
            err="mnemora-cli: too many arguments: give exactly one key\r\n" + HINT,
        ),
        case(
            "--long --all",
            b"test\n",
            ["--long", "--all", "k"],
            2,
            err="mnemora-cli: --long and --all cannot be used together\r\n" + HINT,
        ),
        case("no input", b"", ["taobao"], 2, err="mnemora-cli: no password given\r\n"),
        case("empty password", b"\r\n", ["taobao"], 2, err="mnemora-cli: the password is empty\r\n"),
        case(
            "password not UTF-8",
            b"\xff\n",
            ["taobao"],
            2,
            err="mnemora-cli: the password is not valid UTF-8\r\n",
        ),
        case(
            "over-long password",
            b"x" * 40000 + b"\n",
            ["taobao"],
            1,
            err="mnemora-cli: the password is longer than 32,767 bytes in UTF-8\r\n",
        ),
        case(
            "over-long key",
            b"test\n",
            ["é" * 20000],
            1,
            err="mnemora-cli: the key is longer than 32,767 bytes in UTF-8\r\n",
        ),
        # The byte-order mark PowerShell 5.1 writes at the start of a file.
        case("byte-order mark", b"\xef\xbb\xbftest\r\n", ["taobao"], 0, "a20caCf8Eb1b8B6d\r\n"),
        # Standard input is binary: Ctrl-Z is a character, not the end of a text file.
        case(
            "password ends with Ctrl-Z",
            b"test\x1a\n",
            ["taobao"],
            0,
            engine_model.generate_codes("test\x1a", "taobao")[0] + "\r\n",
        ),
    ]
    return result, unusable


def field(data):
    return data.hex() or "-"


def main(prefix, bindir, derivations):
    session = wine.session(prefix)
    all_cases, unusable = cases(derivations)
    with tempfile.TemporaryDirectory() as tmp:
        jobs = os.path.join(tmp, "jobs.txt")
        with open(jobs, "w") as f:
            for c in all_cases:
                f.write(" ".join([field(c["stdin"])] + [field(a.encode()) for a in c["args"]]) + "\n")
        run = session.run(
            os.path.join(bindir, "process_batch.exe"),
            [wine.windows_path(os.path.join(bindir, "mnemora-cli.exe")), wine.windows_path(jobs)],
        )
    if run.returncode != 0:
        print("process_batch failed (%d): %s" % (run.returncode, run.stderr.decode(errors="replace")))
        return 1
    results = run.stdout.decode().splitlines()
    if len(results) != len(all_cases):
        print("%d results for %d cases" % (len(results), len(all_cases)))
        return 1

    failures, too_long = 0, 0
    for c, line in zip(all_cases, results):
        if line == "toolong":
            too_long += 1
            continue
        status, out, err = line.split(" ")
        got = (
            int(status),
            bytes.fromhex(out.strip("-")).decode("utf-8", "replace"),
            bytes.fromhex(err.strip("-")).decode("utf-8", "replace"),
        )
        want = (c["status"], c["out"], c["err"])
        if got != want:
            failures += 1
            print("FAIL %s\n  want %r\n  got  %r" % (c["name"], want, got))
    ran = len(all_cases) - too_long
    print(
        "%d cases run under Wine, %d failed; skipped: %d with a command line longer than Windows allows, "
        "%d with a password that is no single line" % (ran, failures, too_long, unusable)
    )
    return 1 if failures or ran < 20 else 0


if __name__ == "__main__":
    wine.run_test(main, __doc__, 3)
