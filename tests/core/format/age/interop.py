#!/usr/bin/env python3
"""Our age files against the age tool, both ways, binary and armored, with a
file of several chunks: age decrypts what we write, we decrypt what age
writes (at its own work factor). The age tool reads its passphrase from a
terminal, so it runs on a pseudo-terminal here.
  interop.py AGE_FILE_TOOL    (exit 77: no age tool, skipped)"""
import os
import pty
import shutil
import subprocess
import sys
import tempfile

PASSPHRASE = "correct horse battery staple"


def run_age(args):
    """Runs age on a pseudo-terminal, answering its passphrase prompts."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp("age", ["age"] + args)
    said = b""
    pending = b""
    while True:
        try:
            data = os.read(fd, 1024)
        except OSError:
            break
        if not data:
            break
        said += data
        pending += data
        if b"passphrase" in pending.lower() and pending.rstrip().endswith(b":"):
            os.write(fd, PASSPHRASE.encode() + b"\n")
            pending = b""
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), said.decode(errors="replace")


def main():
    if shutil.which("age") is None:
        print("age is not installed: skipped")
        return 77
    tool = sys.argv[1]
    env = dict(os.environ, AGE_TOOL_PASSPHRASE=PASSPHRASE)
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        plain = os.path.join(tmp, "plain")
        with open(plain, "wb") as f:
            f.write(os.urandom(3 * 65536 + 1234))
        original = open(plain, "rb").read()
        for armor in (False, True):
            kind = "armored" if armor else "binary"
            # Ours to age.
            ours = os.path.join(tmp, f"ours-{kind}.age")
            with open(plain, "rb") as i, open(ours, "wb") as o:
                subprocess.run([tool, "encrypt"] + (["--armor"] if armor else []),
                               stdin=i, stdout=o, env=env, check=True)
            back = os.path.join(tmp, f"ours-{kind}.out")
            code, said = run_age(["-d", "-o", back, ours])
            if code != 0 or open(back, "rb").read() != original:
                failures.append(f"age does not decrypt our {kind} file: {said}")
            # Age's to ours.
            theirs = os.path.join(tmp, f"theirs-{kind}.age")
            code, said = run_age(["-p"] + (["-a"] if armor else []) + ["-o", theirs, plain])
            if code != 0:
                failures.append(f"age does not encrypt {kind}: {said}")
                continue
            with open(theirs, "rb") as i:
                got = subprocess.run([tool, "decrypt"], stdin=i, capture_output=True, env=env)
            if got.returncode != 0 or got.stdout != original:
                failures.append(f"we do not decrypt age's {kind} file: {got.stderr.decode()}")
            print(f"{kind}: both ways" if not failures else f"{kind}: failed")
    for f in failures:
        print(f, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
