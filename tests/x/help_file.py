#!/usr/bin/python3
""""Pomoc" → "Plik pomocy" in the real program, in a real X server, clicked as an operator does.

The desktop's "open" is the real one (Qt hands the address to xdg-open); only xdg-open itself is a
stand-in on PATH that writes down what it was asked to open, since no desktop runs here.

- A build from a clone, with no access.chm in the site: the source tree's manual opens.
- access.chm put in the site: that file opens, not the manual.
- The program as a package lays it out (<prefix>/bin/talvern beside
  <prefix>/share/doc/talvern/manual): the installed manual opens.

No box is shown in any of these.

    run-x.sh BUILD_DIR help_file.py
"""

import os
import shutil
import stat
import subprocess
import time
import urllib.parse

from xsite import PROGRAM, SCRATCH, SITE, Failure, Program, click, run, wait_for

SOURCE_MANUAL = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                                              "manual", "index.html"))
OPENED = os.path.join(SCRATCH, "opened.txt")


def fake_desktop():
    """An xdg-open that writes its argument down, first on PATH."""
    folder = os.path.join(SCRATCH, "desktop")
    os.makedirs(folder, exist_ok=True)
    opener = os.path.join(folder, "xdg-open")
    with open(opener, "w") as script:
        script.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{OPENED}"\n')
    os.chmod(opener, os.stat(opener).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    return {"PATH": folder + os.pathsep + os.environ["PATH"]}


def opened():
    try:
        with open(OPENED) as record:
            return [urllib.parse.unquote(urllib.parse.urlsplit(line.strip()).path) for line in record if line.strip()]
    except FileNotFoundError:
        return []


class InstalledProgram(Program):
    """The program started from another place than the build (a copy laid out as a package does)."""

    def __init__(self, executable, env):
        environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                           QT_ACCESSIBILITY="1", **env)
        self.log = open(os.path.join(SCRATCH, f"talvern-{time.monotonic_ns()}.log"), "w+")
        self.process = subprocess.Popen([executable], cwd=SITE, env=environment, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        self._app = None


def help_file(program):
    """Clicks "Pomoc", then "Plik pomocy", and returns the path the desktop was asked to open."""
    window = program.main_window()
    before = len(opened())
    click(wait_for(lambda: window.child(name="Pomoc", roleName="menu item"), "the menu Pomoc"))
    item = wait_for(lambda: next((n for n in program.app().findChildren(
        lambda n: n.name == "Plik pomocy" and n.roleName == "menu item") if n.showing), None), "Plik pomocy")
    click(item)
    wait_for(lambda: len(opened()) > before, "the desktop asked to open something")
    program.expect_alive("after Plik pomocy")
    if program.boxes():
        raise Failure(f"a box was shown: {[b.name for b in program.boxes()]}")
    return opened()[-1]


def logged_in(program):
    window = program.main_window()
    # Keys go to the window under the pointer (no window manager): move it over this window.
    x, y = window.position
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + 40), str(y + 40)], check=True)
    program.login("9")
    wait_for(lambda: not window.child(name="Hasło", roleName="password text").showing, "the working window")


def expect(what, path, wanted):
    if os.path.realpath(path) != os.path.realpath(wanted):
        raise Failure(f"{what}: the desktop was asked to open {path}, not {wanted}")
    print(f"ok: {what}: {path}", flush=True)


def main():
    if not os.path.isfile(SOURCE_MANUAL):
        raise Failure(f"no manual in the source tree at {SOURCE_MANUAL}")
    desktop = fake_desktop()

    program = Program(env=desktop)
    try:
        logged_in(program)
        expect("no access.chm, a build from a clone", help_file(program), SOURCE_MANUAL)
        chm = os.path.join(SITE, "access.chm")
        with open(chm, "wb") as help_file_of_the_site:
            help_file_of_the_site.write(b"ITSF")
        expect("access.chm in the site", help_file(program), chm)
        os.remove(chm)
    finally:
        program.stop()

    # The layout a package installs: the program in <prefix>/bin, the manual in <prefix>/share/doc.
    prefix = os.path.join(SCRATCH, "usr")
    os.makedirs(os.path.join(prefix, "bin"))
    shutil.copy2(PROGRAM, os.path.join(prefix, "bin", "talvern"))
    installed = os.path.join(prefix, "share", "doc", "talvern", "manual")
    shutil.copytree(os.path.dirname(SOURCE_MANUAL), installed)
    program = InstalledProgram(os.path.join(prefix, "bin", "talvern"), desktop)
    try:
        logged_in(program)
        expect("the installed manual", help_file(program), os.path.join(installed, "index.html"))
    finally:
        program.stop()
    return 0


if __name__ == "__main__":
    run(main)
