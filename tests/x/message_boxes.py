#!/usr/bin/python3
"""Every kind of operator message box, closed as an operator closes it, leaves the program running.

Each case opens its box the way an operator meets it, closes it with the box's OK button, with
Return and with Escape, and then finds the program still running, no box left, and the window as
it was before the box opened (the same layout, page, entries and status line). The operator's
first steps are driven end to end as well: a wrong password, its box, the right password, and
work in the unlocked window that reaches the tables on disk.

    run-x.sh BUILD_DIR message_boxes.py
"""

import os

from dbfread import DBF
from xsite import (SITE, Failure, Program, box_text, click, is_current, key, menu_item, press, run,
                   show_page, type_text, wait_for)

CLOSERS = ("OK", "Return", "Escape")
WRONG_PASSWORD = "7"
ADMIN_PASSWORD = "9"  # what a new site starts with


def close_box(box, how):
    if how == "OK":
        press(wait_for(lambda: box.child(name="OK", roleName="push button"), "the box's OK button"))
    else:
        key(how)


def state(program):
    """What the operator sees of the main window: locked or not, the page, entries, the status."""
    window = program.main_window()
    seen = []
    for node in window.findChildren(lambda n: n.roleName in ("password text", "text", "page tab", "label",
                                                             "check box", "radio button")):
        try:
            if not node.showing:
                continue
            role = node.roleName
            if role == "page tab":
                seen.append((role, node.name, is_current(node)))
            elif role in ("check box", "radio button"):
                seen.append((role, node.name, node.checked))
            elif role == "password text":
                seen.append((role, node.name))
            else:
                seen.append((role, node.name, node.text))
        except Exception:
            pass
    return seen


def expect_box_closes(program, title, text, how, opened_by):
    """The box opened by opened_by() shows title and text; closing it with how leaves all as it was."""
    before = state(program)
    opened_by()
    box = program.wait_box(title)
    shown = box_text(box)
    if text not in shown:
        raise Failure(f"the box {title!r} reads {shown!r}, not {text!r}")
    close_box(box, how)
    program.wait_no_box()
    # A quit that the box's close set off is handled at once; give it the time to show itself.
    wait_for(lambda: program.alive() and state(program) == before, "the window as it was", timeout=3)
    program.expect_alive(f"after the box {title!r} was closed with {how}")
    after = state(program)
    if after != before:
        changed = [x for x in after if x not in before] + [x for x in before if x not in after]
        raise Failure(f"after the box {title!r} closed with {how} the window changed: {changed}")
    print(f"ok: {title!r} closed with {how}", flush=True)


def showing(window, name, role):
    """The control of that name and role that shows now (pages repeat names)."""
    return wait_for(lambda: next((n for n in window.findChildren(lambda n: n.name == name and n.roleName == role)
                                  if n.showing), None), f"the {role} {name}")


def users_on_disk():
    # Read beside the running program, which holds the table locked against other writers.
    return list(DBF(os.path.join(SITE, "osoby.dbf"), encoding="cp1250"))


def map_port(com, device):
    """Registers device as COM<com> in this user's COM-port map, as an installer does."""
    folder = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvern")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "comports"), "a") as ports:
        ports.write(f"COM{com} = {device}\n")


def main():
    # COM1 is an adapter that has been unplugged: its device is gone.
    map_port(1, os.path.join(SITE, "ttyUSB-unplugged"))
    program = Program()
    try:
        window = program.main_window()
        entry = wait_for(lambda: window.child(name="Hasło", roleName="password text"), "the password entry")

        # The lock: a wrong password opens the box; the window stays locked after each way of closing it.
        for how in CLOSERS:
            expect_box_closes(program, "Uwaga!", "Niepoprawne haslo.", how,
                              lambda: program.login(WRONG_PASSWORD))
            if not entry.showing:
                raise Failure("the window unlocked after a wrong password")

        # The right password then opens the working window, and work reaches the tables.
        program.login(ADMIN_PASSWORD)
        wait_for(lambda: not entry.showing, "the working window")
        show_page(window, "Osoby")
        click(showing(window, "Edytuj", "check box"))
        add = showing(window, "Dodaj", "push button")
        wait_for(lambda: add.sensitive, "the edit mode")
        press(add)
        wait_for(lambda: [u["NUMBER"] for u in users_on_disk()] == [1], "the new user 1 in osoby.dbf")
        click(showing(window, "Zatwierdź", "check box"))
        wait_for(lambda: not add.sensitive, "the view mode")

        no_link_cases = [
            ("Osoby", "Programuj", "Brak połączenia", "Sprawdź połączenie "),
            ("Osoby", "Usuń uprawnienia", "Brak łączności ", "Błąd komunikacji"),
            ("Osoby", "Znajdź", "Brak połączenia", "Sprawdź połączenie "),
            ("Czytniki", "Zapisz parametry czytnika do karty", "Brak połączenia", "Sprawdź połączenie "),
            ("Ustawienia", "Zapisz kod systemowy", "Konfiguracja", "Numer systemu zapisany!"),
            ("Ustawienia", "Zapisz hasło administratora", "Konfiguracja", "Haslo administratora - zapisano."),
            ("Ustawienia", "Zapisz hasło użytkownika", "Konfiguracja", "Haslo - zapisano."),
        ]
        for page, button, title, text in no_link_cases:
            show_page(window, page)
            control = showing(window, button, "push button")
            for how in CLOSERS:
                expect_box_closes(program, title, text, how, lambda: press(control))

        # A value the program refuses: the standard error display.
        show_page(window, "Ustawienia")
        code = window.child(name="Kod systemowy", roleName="text")
        code.text = "abc"
        for how in CLOSERS:
            expect_box_closes(program, "TALVERN", "'abc' is not a valid integer value", how,
                              lambda: press(window.child(name="Zapisz kod systemowy", roleName="push button")))
        code.text = "1"

        # A port that cannot be opened.
        for how in CLOSERS:
            expect_box_closes(program, "TALVERN", "COM1", how, lambda: menu_item(program, "Port", "Połącz"))
        return 0
    finally:
        program.stop()


if __name__ == "__main__":
    run(main)
