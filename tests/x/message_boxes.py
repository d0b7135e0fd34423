#!/usr/bin/python3
"""Every kind of operator message box, closed as an operator closes it, leaves the program running.

Each case opens its box the way an operator meets it, closes it with the box's OK button, with
Return and with Escape, and then finds the program still running, no box left, and the window as
it was before the box opened (the same layout, page, entries and status line). The operator's
first steps are driven end to end as well: a wrong password, its box, the right password, and
work in the unlocked window that reaches the tables on disk. The boxes of the card programmer's
work are driven by message_boxes_cards.py.

    run-x.sh BUILD_DIR message_boxes.py
"""

import fcntl
import os

from dbfread import DBF
from xsite import (SITE, Failure, Program, box_text, click, is_current, key, menu_item, prepare_site, press,
                   run, show_page, showing, type_text, wait_for)

CLOSERS = ("OK", "Return", "Escape")
WRONG_PASSWORD = "7"
ADMIN_PASSWORD = "9"  # what a new site starts with


def close_box(box, how):
    if how == "OK":
        press(wait_for(lambda: box.child(name="OK", roleName="push button"), "the box's OK button"))
    else:
        key(how)


def state(program):
    """What the operator sees of the main window: locked or not, the page, the entries and choices
    on it. Hidden parts and the grids' cells are not walked (the tree is large; a grid's current row
    shows in the entries beside it)."""
    seen = []

    def walk(node):
        for child in node.children:
            try:
                if not child.showing:
                    continue
                role = child.roleName
                if role == "page tab":
                    seen.append((role, child.name, is_current(child)))
                elif role in ("check box", "radio button"):
                    seen.append((role, child.name, child.checked))
                elif role == "password text":
                    seen.append((role, child.name))
                elif role in ("text", "label"):
                    seen.append((role, child.name, child.text))
                elif role in ("table", "menu bar", "list", "combo box"):
                    continue
            except Exception:  # a node that went away during the walk
                continue
            walk(child)

    walk(program.main_window())
    return seen


def expect_box_closes(program, title, text, how, opened_by, view=state, tries=1):
    """The box opened by opened_by() shows title and text; closing it with how leaves the program
    running and the window as it was, as view sees it (None where what opened the box changes the
    window; the caller then checks what it left). title None takes any box. tries > 1 for a box that
    comes from the programmer's answer, which a loaded machine can make the program miss (the answer
    is taken at a fixed tick): the operator would read the card again."""
    before = view(program) if view else None
    for attempt in range(1, tries + 1):
        opened_by()
        try:
            box = program.wait_box(title, timeout=20.0 if attempt == tries else 8.0)
            break
        except Failure:
            if attempt == tries:
                raise
            print(f"note: no box {title!r} after try {attempt}; again", flush=True)
    shown, title = box_text(box), box.name
    if text not in shown:
        raise Failure(f"the box {title!r} reads {shown!r}, not {text!r}")
    close_box(box, how)
    program.wait_no_box()
    # A quit that the box's close set off is handled at once; give it the time to show itself.
    wait_for(lambda: program.alive() and (view is None or view(program) == before), "the window as it was",
             timeout=3 if view else 1)
    program.expect_alive(f"after the box {title!r} was closed with {how}")
    after = view(program) if view else None
    if after != before:
        changed = [x for x in after if x not in before] + [x for x in before if x not in after]
        raise Failure(f"after the box {title!r} closed with {how} the window changed: {changed}")
    said = shown.replace("\n", " / ")
    print(f"ok: {title!r} ({said}) closed with {how}", flush=True)


def users_on_disk():
    # Read beside the running program, which holds the table locked against other writers.
    return list(DBF(os.path.join(SITE, "osoby.dbf"), encoding="cp1250"))


def map_port(com, device):
    """Registers device as COM<com> in this user's COM-port map, as an installer does."""
    folder = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvern")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "comports"), "a") as ports:
        ports.write(f"COM{com} = {device}\n")


def refuse_letter(program, window, field, letter):
    """A letter the users table cannot store typed at the end of the field field of user 1 in edit
    mode (each keystroke is stored at once). Each way of closing the refusal leaves osoby.dbf as it
    was; the letter is then erased, and the window is as it was."""
    entry = showing(window, field, "text")
    original = entry.text
    stored = users_on_disk()

    def type_letter():
        entry.grabFocus()
        key("End")
        type_text(letter)

    before = state(program)
    for how in CLOSERS:
        # The refusal names the letter (in whatever words the program uses).
        expect_box_closes(program, None, letter, how, type_letter, view=None)
        if users_on_disk() != stored:
            raise Failure(f"{letter!r} in {field!r} changed osoby.dbf: {users_on_disk()}")
        if entry.text == original + letter:
            entry.grabFocus()
            key("End", "BackSpace")
        elif entry.text != original:
            raise Failure(f"{field!r} reads {entry.text!r} after {letter!r} was refused")
        program.wait_no_box()
        wait_for(lambda: state(program) == before, f"{field!r} as it was after {letter!r} was refused", timeout=5)
        program.expect_alive(f"after {letter!r} in {field!r} was erased")
    if users_on_disk() != stored:
        raise Failure(f"erasing {letter!r} in {field!r} changed osoby.dbf: {users_on_disk()}")


def main():
    # The site's readers: all 96 numbers are taken.
    prepare_site({"sprzet.dbf": "ID_CZYT,NAME,TIME,PROX,EMULACJA,MIEJSCE\n"
                  + "".join(f"{n},Czytnik {n},2,False,False,\n" for n in range(1, 97))})
    # COM1 is an adapter that has been unplugged: its device is gone. COM2 names a file that is no
    # serial port. COM3 is a serial line that another program holds.
    map_port(1, os.path.join(SITE, "ttyUSB-unplugged"))
    not_a_port = os.path.join(SITE, "not-a-port")
    open(not_a_port, "w").close()
    map_port(2, not_a_port)
    held_line, held_device = os.openpty()
    fcntl.flock(held_device, fcntl.LOCK_EX | fcntl.LOCK_NB)
    map_port(3, os.ttyname(held_device))
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

        # Ports that cannot be opened: gone, no serial port, held by another program.
        for com in (1, 2, 3):
            if com != 1:
                menu_item(program, "Port", "Port", f"COM{com}")
            # The open error's two lines reach a screen reader apart, as the box shows them.
            said = f'COM{com}" Open Error !!!\n' if com == 1 else f"COM{com}"
            for how in CLOSERS:
                expect_box_closes(program, "TALVERN", said, how, lambda: menu_item(program, "Port", "Połącz"))
        menu_item(program, "Port", "Port", "COM1")

        # Names the users table cannot store (its code page has no Cyrillic): "Дмитрий" refused at its
        # first letter, in either name box.
        show_page(window, "Osoby")
        click(showing(window, "Edytuj", "check box"))
        wait_for(lambda: add.sensitive, "the edit mode")
        refuse_letter(program, window, "Imię", "Д")
        refuse_letter(program, window, "Nazwisko", "Д")
        click(showing(window, "Zatwierdź", "check box"))
        wait_for(lambda: not add.sensitive, "the view mode")

        # A 97th reader. The first refusal makes reader 96 the current one; the others change nothing.
        show_page(window, "Czytniki")
        click(showing(window, "Edytuj", "check box"))
        add_reader = showing(window, "Dodaj", "push button")
        wait_for(lambda: add_reader.sensitive, "the readers' edit mode")
        expect_box_closes(program, "Error", "Maksymalny numer czytnika to 96.", "OK", lambda: press(add_reader),
                          view=None)
        for how in CLOSERS:
            expect_box_closes(program, "Error", "Maksymalny numer czytnika to 96.", how, lambda: press(add_reader))
        click(showing(window, "Zatwierdź", "check box"))
        wait_for(lambda: not add_reader.sensitive, "the readers' view mode")
        return 0
    finally:
        program.stop()


if __name__ == "__main__":
    run(main)
