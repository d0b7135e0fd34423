#!/usr/bin/python3
"""The site folder of a start from the menu, and its choice in the real window.

- Started with --menu and a fresh HOME, the program makes ~/.local/share/talvern/site, opens its new
  tables there and names it in the title; the folder it was started in stays empty.
- "Edycja" > "Wybierz folder obiektu..." (administrator) opens a folder dialog; a path typed into its
  box is taken. A folder with two of the three tables is refused with the start-up's refusal; an empty
  folder is stored, with a box saying it counts from the next start from the menu.
- The next start from the menu opens the chosen folder (new tables, its name in the title); in user
  mode the item is greyed.
- The chosen folder deleted: the start shows a Polish box naming it, and on OK the program ends
  without making a folder or a table anywhere.

    run-x.sh BUILD_DIR site_choice.py
"""

import os
import shutil

import pyatspi

from xsite import SCRATCH, SITE, Failure, Program, box_text, click, key, menu_item, run, type_text, wait_for

DEFAULT = os.path.join(os.environ["XDG_DATA_HOME"], "talvern", "site")
SETTINGS = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvern", "settings.reg")
TABLES = sorted(name + ext for name in ("grupa", "osoby", "sprzet") for ext in (".dbf", ".dbt"))
ITEM = "Wybierz folder obiektu..."


def listing(folder):
    found = []
    for root, dirs, files in os.walk(folder):
        found += [os.path.relpath(os.path.join(root, name), folder) for name in dirs + files]
    return sorted(found)


def expect_title(program, folder):
    window = program.main_window()
    title = f"TALVERN — {folder}"
    wait_for(lambda: window.name == title, f"the title {title!r} (it is {window.name!r})")
    print(f"ok: title {window.name!r}", flush=True)


def ok(program, box):
    box.child(name="OK", roleName="push button").doActionNamed("Press")


def dialog_control(dialog, name, role):
    """A control of the folder dialog, found without walking into its views of files (a search of
    the whole tree stumbles over their rows as they change)."""
    def find(node):
        for child in node.children:
            if child.name == name and child.roleName == role and child.showing:
                return child
            if child.roleName in ("panel", "filler"):
                found = find(child)
                if found:
                    return found
        return None
    return wait_for(lambda: find(dialog), f"the dialog's {role} {name}")


def choose(program, folder):
    """The menu item, then the folder typed into the dialog's box and taken with its button."""
    menu_item(program, "Edycja", ITEM)
    dialog = program.wait_box("Wybierz folder obiektu")
    entry = dialog_control(dialog, "Folder:", "text")
    entry.grabFocus()
    key("ctrl+a")
    type_text(folder)
    button = dialog_control(dialog, "Wybierz", "push button")
    # The box's completion list may be open over the dialog: the first click then only closes it.
    for attempt in range(3):
        click(button)
        try:
            return wait_for(lambda: next((b for b in program.boxes() if b.name != "Wybierz folder obiektu"), None),
                            "the box after the choice", timeout=3 if attempt < 2 else 20)
        except Failure:
            if attempt == 2:
                raise


def first_start():
    program = Program(args=["--menu"])
    try:
        expect_title(program, DEFAULT)
        wait_for(lambda: listing(DEFAULT) == TABLES, f"the new tables in {DEFAULT}")
        if listing(SITE):
            raise Failure(f"the folder the program was started in got {listing(SITE)}")

        program.login("9")
        half = os.path.join(SCRATCH, "polowa")
        os.makedirs(half)
        for name in ("osoby.dbf", "osoby.dbt", "sprzet.dbf", "sprzet.dbt"):
            shutil.copy(os.path.join(DEFAULT, name), half)
        box = choose(program, half)
        text = box_text(box)
        for part in ("W folderze roboczym brakuje tabel: grupa.dbf.", "Folder obiektu pozostaje bez zmian."):
            if part not in text or box.name != "Uwaga!":
                raise Failure(f"the half set gave {box.name!r}: {text!r}")
        ok(program, box)
        program.wait_no_box()
        print("ok: half set refused:", text.replace("\n", " "), flush=True)

        chosen = os.path.join(SCRATCH, "obiekt nowy")
        os.makedirs(chosen)
        box = choose(program, chosen)
        text = box_text(box)
        if box.name != "Konfiguracja" or f"Folder obiektu zapisany: {chosen}" not in text:
            raise Failure(f"the empty folder gave {box.name!r}: {text!r}")
        ok(program, box)
        program.wait_no_box()
        if listing(chosen):
            raise Failure(f"the choice made {listing(chosen)} at once")
        with open(SETTINGS, "rb") as file:
            if f'"Site"="{chosen}"'.encode() not in file.read():
                raise Failure("the choice is not in the settings file")
        print("ok: empty folder stored:", text.replace("\n", " "), flush=True)
        return chosen
    finally:
        program.stop()


def chosen_start(chosen):
    program = Program(args=["--menu"])
    try:
        expect_title(program, chosen)
        wait_for(lambda: listing(chosen) == TABLES, f"the new tables in {chosen}")
        program.login("5")
        window = program.main_window()
        click(wait_for(lambda: window.child(name="Edycja", roleName="menu item"), "the menu Edycja"))
        item = wait_for(lambda: next((n for n in program.app().findChildren(
            lambda n: n.name == ITEM and n.roleName == "menu item") if n.showing), None), "the item")
        if item.getState().contains(pyatspi.STATE_ENABLED) or item.getState().contains(pyatspi.STATE_SENSITIVE):
            raise Failure("the item can be used in user mode")
        key("Escape")
        print("ok: the item is greyed in user mode", flush=True)
    finally:
        program.stop()


def deleted_start(chosen):
    shutil.rmtree(chosen)
    before = {folder: listing(folder) for folder in (SITE, DEFAULT, SCRATCH)}
    program = Program(args=["--menu"])
    try:
        box = program.wait_box("Uwaga!")
        text = box_text(box)
        if f"Nie ma folderu obiektu {chosen} wybranego w ustawieniach programu" not in text:
            raise Failure(f"the box says {text!r}")
        ok(program, box)
        status = program.wait_ended()
        if status != 1:
            raise Failure(f"the program ended with {status}")
        for folder, contents in before.items():
            after = [name for name in listing(folder) if not name.startswith("talvern-")]  # the logs
            if after != [name for name in contents if not name.startswith("talvern-")]:
                raise Failure(f"{folder} changed: {after}")
        if os.path.exists(chosen):
            raise Failure("the deleted folder was made again")
        print("ok: deleted site:", text.replace("\n", " "), flush=True)
    finally:
        program.stop()


def main():
    chosen = first_start()
    chosen_start(chosen)
    deleted_start(chosen)
    return 0


if __name__ == "__main__":
    run(main)
