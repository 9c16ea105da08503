"""Adds Grize-Encrypt to Thunar's context menu for the user who runs it:

    python3 /usr/share/grize/add-thunar-action.py

Thunar reads a single uca.xml: the user's ($XDG_CONFIG_HOME/Thunar/uca.xml)
or, while the user has none, the first one in $XDG_CONFIG_DIRS. The action
from thunar-uca.xml beside this script goes into the user's file (a copy of
the one Thunar reads when there is none yet); every action already there
stays, and nothing is written when Grize-Encrypt is there already. The new
file is written beside the old one and then renamed over it.
"""
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ACTION_ID = "grize-encrypt"
EMPTY = '<?xml version="1.0" encoding="UTF-8"?>\n<actions>\n</actions>\n'


def config_home():
    return os.environ.get("XDG_CONFIG_HOME") or os.path.join(os.path.expanduser("~"), ".config")


def system_files():
    for folder in (os.environ.get("XDG_CONFIG_DIRS") or "/etc/xdg").split(":"):
        if folder:
            yield os.path.join(folder, "Thunar", "uca.xml")


def has_grize(root):
    # Also one the user made by hand, or renamed in Thunar's dialog.
    for action in root.iter("action"):
        if (action.findtext("unique-id") or "").strip() == ACTION_ID:
            return True
        command = (action.findtext("command") or "").split()
        if command and os.path.basename(command[0]) == "grize":
            return True
    return False


def parsed(text, name):
    try:
        root = ElementTree.fromstring(text.encode("utf-8"))
    except ElementTree.ParseError as error:
        sys.exit(f"{name} is not a list of Thunar's actions ({error}); nothing changed")
    if root.tag != "actions":
        sys.exit(f"{name} is not a list of Thunar's actions; nothing changed")
    return root


def with_action(text, action):
    end = text.rfind("</actions>")
    if end >= 0:
        return text[:end] + action + "\n" + text[end:]
    # An empty list Thunar did not write itself.
    return re.sub(r"<actions\s*/>", lambda _: "<actions>\n" + action + "\n</actions>", text, 1)


def write_beside(path, text):
    folder = os.path.dirname(path)
    os.makedirs(folder, exist_ok=True)
    try:
        mode = os.stat(path).st_mode & 0o7777
    except FileNotFoundError:
        umask = os.umask(0)
        os.umask(umask)
        mode = 0o666 & ~umask
    handle, scratch = tempfile.mkstemp(prefix=".uca.xml.", suffix=".new", dir=folder)
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as out:
            out.write(text)
            out.flush()
            os.fsync(out.fileno())
        os.chmod(scratch, mode)
        os.replace(scratch, path)
    except BaseException:
        os.unlink(scratch)
        raise
    folder_fd = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(folder_fd)
    finally:
        os.close(folder_fd)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "thunar-uca.xml"), encoding="utf-8") as snippet:
        text = snippet.read()
    action = text[text.index("<action>") : text.rindex("</action>") + len("</action>")]

    # A uca.xml linked from elsewhere (a dotfiles folder) stays a link.
    target = os.path.realpath(os.path.join(config_home(), "Thunar", "uca.xml"))
    source = target if os.path.exists(target) else None
    if source is None:
        source = next((path for path in system_files() if os.path.isfile(path)), None)
    current = EMPTY
    if source is not None:
        try:
            with open(source, encoding="utf-8") as old:
                current = old.read()
        except (OSError, UnicodeDecodeError) as error:
            sys.exit(f"cannot read {source} ({error}); nothing changed")
    if has_grize(parsed(current, source)):
        print(f"{source} has Grize-Encrypt already; nothing changed")
        return
    current = with_action(current, action)
    if not has_grize(parsed(current, source)):
        sys.exit(f"found no end of the list in {source}; nothing changed")
    write_beside(target, current)
    print(f"Grize-Encrypt added to {target}; quit Thunar (thunar -q) and start it again to see it")


if __name__ == "__main__":
    main()
