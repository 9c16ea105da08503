#!/usr/bin/env python3
"""Runs a command on a pseudo-terminal and types PASSPHRASE at each of its
passphrase prompts (age -p reads a passphrase from a terminal only). What the
command said there goes to standard output; the exit status is the command's.
  scripts/pty_answer.py PASSPHRASE COMMAND [ARG...]
As a module: run(command, passphrase) gives the exit status and the text."""
import os
import pty
import sys


def run(command, passphrase):
    """Runs `command` (a list) on a pseudo-terminal, answering its passphrase
    prompts with `passphrase` (bytes or text); its exit status and all it said."""
    if isinstance(passphrase, str):
        passphrase = passphrase.encode()
    pid, fd = pty.fork()
    if pid == 0:
        try:
            os.execvp(command[0], command)
        except OSError as error:
            print(f"{command[0]}: {error}", file=sys.stderr)
        os._exit(127)  # never back into the caller's code
    said = pending = b""
    while True:
        try:
            data = os.read(fd, 1024)
        except OSError:  # EIO once the command has closed the terminal
            break
        if not data:
            break
        said += data
        pending += data
        if b"passphrase" in pending.lower() and pending.rstrip().endswith(b":"):
            os.write(fd, passphrase + b"\n")
            pending = b""
    os.close(fd)
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), said.decode(errors="replace")


def main():
    # The passphrase's bytes as given, whatever the locale.
    code, said = run(sys.argv[2:], os.fsencode(sys.argv[1]))
    sys.stdout.write(said)
    return code


if __name__ == "__main__":
    sys.exit(main())
