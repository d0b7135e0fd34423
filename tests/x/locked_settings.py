#!/usr/bin/python3
"""A settings file the program cannot read keeps it locked, in the real window.

With nothing loaded the passwords stand empty; neither the empty entry nor the site's first
password opens the program, and each attempt answers with a box that names the file. Closing the
box leaves the window locked and the file as it was.

    run-x.sh BUILD_DIR locked_settings.py
"""

import os

from xsite import Failure, Program, box_text, run, wait_for

GARBAGE = b"\x01\x02 not a settings file at all\r\n"


def main():
    folder = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvern")
    os.makedirs(folder, exist_ok=True)
    settings = os.path.join(folder, "settings.reg")
    with open(settings, "wb") as file:
        file.write(GARBAGE)
    program = Program()
    try:
        # The start-up tells what it could not read first.
        first = program.wait_box()
        print("start-up box:", box_text(first).replace("\n", " "), flush=True)
        first.child(name="OK", roleName="push button").doActionNamed("Press")
        program.wait_no_box()
        window = program.main_window()
        entry = wait_for(lambda: window.child(name="Hasło", roleName="password text"), "the password entry")
        for typed in ("", "9", "7"):
            program.login(typed)
            box = program.wait_box("Uwaga!")
            text = box_text(box)
            if settings not in text:
                raise Failure(f"the box for {typed!r} does not name the settings file: {text!r}")
            box.child(name="OK", roleName="push button").doActionNamed("Press")
            program.wait_no_box()
            program.expect_alive(f"after the box for {typed!r}")
            if not entry.showing:
                raise Failure(f"the entry {typed!r} opened the program with no settings loaded")
            print(f"ok: {typed!r} refused", flush=True)
        with open(settings, "rb") as file:
            if file.read() != GARBAGE:
                raise Failure("the settings file was changed")
        return 0
    finally:
        program.stop()


if __name__ == "__main__":
    run(main)
