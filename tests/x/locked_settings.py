#!/usr/bin/python3
"""The settings files an operator meets, in the real window: the password rule holds for each.

- A file the program cannot read: nothing is loaded, so the passwords stand empty. The start-up box
  ("Uwaga!", Polish) names the file and says the program stays locked; neither the empty entry nor
  the site's first password opens it, each attempt answers with a box naming the file, and closing a
  box leaves the window locked and the file as it was.
- An export of today's registry editor (UTF-16LE, version 5 header): only its own password opens,
  and confirming the system code as it stands leaves every byte of the file.
- A symbolic link to a file elsewhere: a new password is written to that file, the link stays.
- A read-only file: a new password is refused with a Polish box, and the file keeps the old one.

    run-x.sh BUILD_DIR locked_settings.py
"""

import os
import shutil

from xsite import SCRATCH, Failure, Program, box_text, run, show_page, press, wait_for

GARBAGE = b"\x01\x02 not a settings file at all\r\n"
FOLDER = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvern")
SETTINGS = os.path.join(FOLDER, "settings.reg")


def key_text(header, admin):
    return (f"{header}\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000001\r\n"
            f"\"sys_nr\"=\"12\"\r\n\"sys_nr2\"=\"12\"\r\n\"admin\"=\"{admin}\"\r\n\"admin2\"=\"usr\"\r\n\r\n")


def unicode_export(admin):
    return b"\xff\xfe" + key_text("Windows Registry Editor Version 5.00", admin).encode("utf-16-le")


def ansi_file(admin):
    return key_text("REGEDIT4", admin).encode("cp1250")


def settings_bytes():
    with open(SETTINGS, "rb") as file:
        return file.read()


def lay_down(layout, data):
    """Puts the settings in place; returns the file that holds them."""
    shutil.rmtree(FOLDER, ignore_errors=True)
    os.makedirs(FOLDER)
    target = SETTINGS
    if layout == "link":
        target = os.path.join(SCRATCH, "shared-settings.reg")
        os.symlink(target, SETTINGS)
    with open(target, "wb") as file:
        file.write(data)
    if layout == "read-only":
        os.chmod(target, 0o440)
    return target


def ok(program, box):
    box.child(name="OK", roleName="push button").doActionNamed("Press")
    program.wait_no_box()


def refused(program, entry, typed, expected_text):
    program.login(typed)
    box = program.wait_box("Uwaga!")
    text = box_text(box)
    if expected_text not in text:
        raise Failure(f"the box for {typed!r} says {text!r}, not {expected_text!r}")
    ok(program, box)
    program.expect_alive(f"after the box for {typed!r}")
    if not entry.showing:
        raise Failure(f"the entry {typed!r} opened the program")
    print(f"ok: {typed!r} refused", flush=True)


def unreadable():
    lay_down("file", GARBAGE)
    program = Program()
    try:
        # The start-up tells what it could not read first.
        first = program.wait_box("Uwaga!")
        text = box_text(first)
        print("start-up box:", text.replace("\n", " "), flush=True)
        for part in (f"Nie można odczytać ustawień z pliku {SETTINGS}", "Program pozostaje zablokowany"):
            if part not in text:
                raise Failure(f"the start-up box does not say {part!r}: {text!r}")
        ok(program, first)
        window = program.main_window()
        entry = wait_for(lambda: window.child(name="Hasło", roleName="password text"), "the password entry")
        for typed in ("", "9", "7"):
            refused(program, entry, typed, SETTINGS)
        if settings_bytes() != GARBAGE:
            raise Failure("the settings file was changed")
    finally:
        program.stop()


def readable(layout, data, new_admin_box, after_change):
    target = lay_down(layout, data)
    program = Program()
    try:
        window = program.main_window()
        entry = wait_for(lambda: window.child(name="Hasło", roleName="password text"), "the password entry")
        for typed in ("", "7", "new"):
            refused(program, entry, typed, "Niepoprawne haslo.")
        program.login("adm")
        wait_for(lambda: not entry.showing, "the working window")
        show_page(window, "Ustawienia")

        press(window.child(name="Zapisz kod systemowy", roleName="push button"))
        box = program.wait_box()
        ok(program, box)
        if settings_bytes() != data:
            raise Failure(f"{layout}: confirming the system code as it stands changed the file")

        window.child(name="Hasło administratora programu", roleName="text").text = "new"
        press(window.child(name="Zapisz hasło administratora", roleName="push button"))
        box = program.wait_box()
        text = box_text(box)
        if new_admin_box not in text:
            raise Failure(f"{layout}: the new password gave {text!r}, not {new_admin_box!r}")
        ok(program, box)
        program.expect_alive("after the password box")
        if settings_bytes() != after_change:
            raise Failure(f"{layout}: the file holds {settings_bytes()!r}")
        if layout == "link" and os.readlink(SETTINGS) != target:
            raise Failure("the link was replaced")
        print(f"ok: {layout}: {text!r}", flush=True)
    finally:
        program.stop()


def main():
    unreadable()
    readable("file", unicode_export("adm"), "Haslo administratora - zapisano.", unicode_export("new"))
    readable("link", ansi_file("adm"), "Haslo administratora - zapisano.", ansi_file("new"))
    readable("read-only", ansi_file("adm"), "plik jest tylko do odczytu", ansi_file("adm"))
    return 0


if __name__ == "__main__":
    run(main)
