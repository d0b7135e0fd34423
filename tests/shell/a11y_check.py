#!/usr/bin/python3
"""Screen-reader walk of a running TALVERN, through the accessibility bus (AT-SPI).

Checks that every control an operator works with carries a name, in the locked window and on
every page of the working window, logging in on the way with the password given. With --shots
DIR it also saves the locked window and the Settings page as PNG files (root window of the X
server, cut to the program's window).

    a11y_check.py --password 9 [--shots DIR]

Exit status 0 when every control is named, 1 otherwise (the nameless ones are listed).
"""

import argparse
import os
import subprocess
import sys
import time

import pyatspi
from dogtail import config, tree

config.searchCutoffCount = 20
config.defaultDelay = 0.2

OPERATED = {
    "push button", "toggle button", "check box", "radio button", "text", "password text",
    "combo box", "table", "page tab", "menu item", "menu", "list", "tree table", "spin button",
}


def wait_for(condition, what, timeout=20.0):
    """Polls condition until it holds; gives up with a message after timeout seconds."""
    deadline = time.monotonic() + timeout
    failure = ""
    while True:
        try:
            result = condition()
        except Exception as error:  # the tree may be changing under the walk
            result, failure = None, f" ({error})"
        if result:
            return result
        if time.monotonic() > deadline:
            sys.exit(f"gave up waiting for {what}{failure}")
        time.sleep(0.05)


def find_app():
    return wait_for(lambda: next((a for a in tree.root.applications() if a.name.lower() == "talvern"), None),
                    "TALVERN on the accessibility bus")


def page_tabs(window):
    return [t for t in window.findChildren(lambda n: n.roleName == "page tab") if t.showing]


def nameless(node, path=""):
    missing = []
    try:
        role = node.roleName
        showing = node.showing
    except Exception:
        return missing
    if role in OPERATED and showing and not (node.name or "").strip():
        missing.append(f"{path}/{role}")
    for index, child in enumerate(node.children):
        missing += nameless(child, f"{path}/{role}[{index}]")
    return missing


def is_current(tab):
    state = tab.getState()
    return state.contains(pyatspi.STATE_SELECTED) or state.contains(pyatspi.STATE_CHECKED)


def show_page(tab):
    # An action is a call the program answers once it has run, so the page is there when it returns;
    # a click is an input event, so the walk waits for the tab to become the current one.
    for action in ("Press", "Switch"):
        try:
            tab.doActionNamed(action)
            return
        except Exception:
            pass
    tab.click()
    wait_for(lambda: is_current(tab), f"page {tab.name} to be shown")


def shoot(window, file):
    # GDK comes with dogtail's own dependencies, so the shots need no image tool besides.
    import gi
    gi.require_version("Gdk", "3.0")
    from gi.repository import Gdk
    x, y = window.position
    w, h = window.size
    picture = Gdk.pixbuf_get_from_window(Gdk.get_default_root_window(), x, y, w, h)
    if picture is None:
        sys.exit(f"could not take {file}")
    picture.savev(file, "png", [], [])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--password", required=True)
    parser.add_argument("--shots")
    args = parser.parse_args()

    app = find_app()
    window = app.child(roleName="frame")
    problems = [f"locked: {m}" for m in nameless(window)]
    if args.shots:
        shoot(window, os.path.join(args.shots, "locked-window.png"))

    entry = window.child(name="Hasło", roleName="password text")
    entry.grabFocus()
    entry.typeText(args.password)
    window.child(name="Zatwierdź", roleName="push button").doActionNamed("Press")
    # The working layout is there once the notebook's four tabs show.
    tabs = wait_for(lambda: (lambda found: found if len(found) >= 4 else None)(page_tabs(window)),
                    "the working layout")
    if [t.name for t in tabs] != ["Osoby", "Grupy", "Czytniki", "Ustawienia"]:
        problems.append(f"tabs read {[t.name for t in tabs]}")
    for tab in tabs:
        show_page(tab)
        problems += [f"{tab.name}: {m}" for m in nameless(window)]
    if args.shots and tabs:
        show_page(tabs[-1])
        shoot(window, os.path.join(args.shots, "settings-page.png"))

    for problem in problems:
        print("no accessible name:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
