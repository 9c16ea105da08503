#!/usr/bin/env python3
"""grize-cli against the age tool, both ways, binary and armored: age decrypts
what grize-cli writes and grize-cli decrypts what age writes, byte for byte,
at sizes around the 64 KiB chunk and with passphrases beyond ASCII. Empty
data goes through standard input, as grize-cli refuses empty files. The age
tool reads its passphrase from a terminal, so it runs on a pseudo-terminal.
  age_interop.py GRIZE_CLI    (exit 77: no age tool, skipped)"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import pty_answer  # noqa: E402

PASSPHRASES = ["correct horse battery staple", "Gr\u00fc\u00dfe, \u00e9t\u00e9",
               "\u043f\u0430\u0440\u043e\u043b\u044c", "\u5bc6\u7801\u3068\u6697\u53f7"]
SIZES = [1, 65535, 65536, 65537, 131072, 3 * 1024 * 1024 + 7]


def run_age(args, passphrase):
    """Runs age on a pseudo-terminal, answering its passphrase prompts."""
    return pty_answer.run(["age"] + args, passphrase)


def main():
    if shutil.which("age") is None:
        print("age is not installed: skipped")
        return 77
    cli = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        pwfile = os.path.join(tmp, "pw")

        def grize(*args, **kw):
            return subprocess.run([cli, *args[:1], "--password-file", pwfile, *args[1:]],
                                  capture_output=True, **kw)

        for n, size in enumerate(SIZES):
            passphrase = PASSPHRASES[n % len(PASSPHRASES)]
            with open(pwfile, "w", encoding="utf-8") as f:
                f.write(passphrase + "\n")
            original = os.urandom(size)
            for armor in (False, True):
                kind = f"{size} bytes, {'armored' if armor else 'binary'}"
                # grize-cli's file, opened by age.
                plain = os.path.join(tmp, "notes.txt")
                open(plain, "wb").write(original)
                done = grize("encrypt", "--age", *(["--armor"] if armor else []), plain)
                back = os.path.join(tmp, "back")
                code, said = run_age(["-d", "-o", back, plain + ".age"], passphrase)
                if done.returncode != 0 or code != 0 or open(back, "rb").read() != original:
                    failures.append(f"age does not open grize-cli's {kind}: "
                                    f"{done.stderr.decode()} {said}")
                os.remove(plain + ".age")
                # age's file, opened by grize-cli.
                theirs = os.path.join(tmp, "theirs.age")
                code, said = run_age(["-p", *(["-a"] if armor else []), "-o", theirs, back],
                                     passphrase)
                got = grize("decrypt", theirs)
                out = os.path.join(tmp, "theirs")
                if code != 0 or got.returncode != 0 or open(out, "rb").read() != original:
                    failures.append(f"grize-cli does not open age's {kind}: "
                                    f"{got.stderr.decode()} {said}")
                for leftover in (back, out):
                    if os.path.exists(leftover):
                        os.remove(leftover)
        # Empty data, through standard input: age writes no file for it.
        sealed = grize("encrypt", "--age", "-", input=b"")
        open(os.path.join(tmp, "empty.age"), "wb").write(sealed.stdout)
        code, said = run_age(["-d", "-o", os.path.join(tmp, "empty"),
                              os.path.join(tmp, "empty.age")],
                             open(pwfile, encoding="utf-8").read().rstrip("\n"))
        if sealed.returncode != 0 or code != 0:
            failures.append(f"age does not open grize-cli's empty stream: {said}")
        if os.path.exists(os.path.join(tmp, "empty")) and os.path.getsize(
                os.path.join(tmp, "empty")) != 0:
            failures.append("age made something of nothing")
    for f in failures:
        print(f, file=sys.stderr)
    print(f"{len(SIZES) * 2 * 2 + 1} runs, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
