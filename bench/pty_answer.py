#!/usr/bin/env python3
"""Runs a command on a pseudo-terminal and types PASSPHRASE at each of its
passphrase prompts: age -p reads a passphrase from a terminal only.
  bench/pty_answer.py PASSPHRASE COMMAND [ARG...]"""
import os
import pty
import sys


def main():
    passphrase, command = sys.argv[1].encode() + b"\n", sys.argv[2:]
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(command[0], command)
    pending = b""
    while True:
        try:
            data = os.read(fd, 1024)
        except OSError:
            break
        if not data:
            break
        pending += data
        if b"passphrase" in pending.lower() and pending.rstrip().endswith(b":"):
            os.write(fd, passphrase)
            pending = b""
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status)


if __name__ == "__main__":
    sys.exit(main())
