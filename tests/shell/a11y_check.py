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

from dogtail import config, tree

config.searchCutoffCount = 20
config.defaultDelay = 0.2

OPERATED = {
    "push button", "toggle button", "check box", "radio button", "text", "password text",
    "combo box", "table", "page tab", "menu item", "menu", "list", "tree table", "spin button",
}


def find_app():
    for _ in range(100):
        for app in tree.root.applications():
            if app.name.lower() == "talvern":
                return app
        time.sleep(0.2)
    sys.exit("TALVERN did not appear on the accessibility bus")


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


def show_page(tab):
    try:
        tab.doActionNamed("Switch")
    except Exception:
        tab.click()
    time.sleep(0.5)


def shoot(window, file):
    x, y = window.position
    w, h = window.size
    subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", file], check=True)


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
    time.sleep(1)

    tabs = [t for t in window.findChildren(lambda n: n.roleName == "page tab")]
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
