#!/usr/bin/python3
"""The message boxes of the card programmer's work, closed as an operator closes them, leave the
program running.

The site has three users (user 1 at the last duplicate, user 2, and user 70000, a number no card can
carry) and one reader; the simulated programmer is COM1. Each box is opened the way an operator
meets it, closed with the box's OK button, with Return and with Escape, and the program is then
found running, with no box left and the window as it was (or, where the operation goes on after
the box, as the operation leaves it):

- both read results of "Znajdź": a card of another site, a configuration card;
- a user whose number no card can carry ("Przekroczenie zakresu");
- a duplicate past the last one ("Index 16! "), after which the card is still written;
- a configuration card for a changed system code without a usable old code;
- a write cut off by the programmer's line going away (a pulled cable), which leaves the user's
  duplicate count as it was.

A card taken off the programmer in the middle of a write runs to the write's end; the read-back
after it finds no card, and the operator is asked to lay the card flat and write it again. "Anuluj"
leaves the same user current, and the program runs on.

    run-x.sh BUILD_DIR message_boxes_cards.py
"""

import threading
import time

from message_boxes import CLOSERS, ADMIN_PASSWORD, expect_box_closes, state, users_on_disk
from xsite import (Failure, Program, Simulator, box_text, click, connect_programmer, key, prepare_site, press,
                   run, select_user, show_page, showing, type_text, wait_for)

TRANSFER_WINDOW = "Read/write  card"


def without_status(program):
    """The window as state() sees it, but for the link's status (its text and the port's device
    beside it), which a lost line changes."""
    return [seen for seen in state(program) if seen[1] not in ("Stan połączenia", "Urządzenie portu")]


def after_log(simulator, logged, then, timeout=20.0):
    """Runs then() as soon as the simulator's log shows logged once more than now (on a thread of
    its own, so that it acts in the middle of what the program is doing)."""
    already = simulator.log_text().count(logged)

    def watch():
        deadline = time.monotonic() + timeout
        while simulator.log_text().count(logged) == already and time.monotonic() < deadline:
            time.sleep(0.005)
        then()

    thread = threading.Thread(target=watch)
    thread.start()
    return thread


def transfer_window_gone(program):
    return not any(w.name == TRANSFER_WINDOW and w.showing for w in program.app().children)


def user_on_disk(number):
    return next(u for u in users_on_disk() if u["NUMBER"] == number)


def main():
    prepare_site({
        "osoby.dbf": "NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\n"
                     "1,Anna,Nowak,,15,wydana\n2,Jan,Kowalski,,0,\n70000,Zbyt,Duży,,0,\n",
        "sprzet.dbf": "ID_CZYT,NAME,TIME,PROX,EMULACJA,MIEJSCE\n1,Czytnik 1,2,False,False,\n",
    })
    simulator = Simulator(1)
    program = Program()
    try:
        window = program.main_window()
        program.login(ADMIN_PASSWORD)
        wait_for(lambda: not window.child(name="Hasło", roleName="password text").showing, "the working window")
        connect_programmer(program, simulator)
        read_card = lambda: press(showing(window, "Znajdź", "push button"))
        program_card = lambda: press(showing(window, "Programuj", "push button"))

        # The read results that come as boxes: a card of another site, and a reader's configuration
        # card of this site.
        show_page(window, "Osoby")
        simulator.control("place", "42", "777")
        for how in CLOSERS:
            expect_box_closes(program, "Wynik wyszukiwania", "Brak karty lub karta pochodzi z innego systemu.",
                              how, read_card, tries=2)
        simulator.control("place", "0", "1")
        for how in CLOSERS:
            expect_box_closes(program, "Wynik wyszukiwania", "Karta konfiguracyjna.", how, read_card, tries=2)
        simulator.control("place")

        # A user whose number no card can carry: refused before anything is written.
        select_user(window, 70000)
        blank = simulator.card()
        for how in CLOSERS:
            expect_box_closes(program, "Przekroczenie zakresu", "70000", how, program_card)
        if simulator.card() != blank:
            raise Failure(f"a card was written for user 70000:\n{simulator.card()}")

        # A duplicate past the last one: the box comes before the write, which then goes on with the
        # last duplicate; the count stays 15, the note is emptied, and the next user becomes current.
        duplicate = showing(window, "Duplikat karty", "check box")
        click(duplicate)
        wait_for(lambda: duplicate.checked, "the duplicate ticked")
        for how in CLOSERS:
            select_user(window, 1)
            written = simulator.log_text().count("block 6 stored")
            expect_box_closes(program, "Przekroczenie zakresu", "Index 16! ", how, program_card, view=None)
            wait_for(lambda: simulator.log_text().count("block 6 stored") > written, "the last block written")
            wait_for(lambda: transfer_window_gone(program), "the end of the write")
            program.expect_alive("after the last duplicate was written")
            card = simulator.card()
            if "user 1, system code 1, duplicate 15" not in card:
                raise Failure(f"the duplicate card reads:\n{card}")
            wait_for(lambda: showing(window, "Numer w bazie", "text").text == "2", "user 2 current after the write")
            user = user_on_disk(1)
            if user["INDEX"] != 15 or user["INFO"]:
                raise Failure(f"after the last duplicate osoby.dbf holds {dict(user)}")
            simulator.control("place")

        # The programmer's line goes (a pulled cable) as soon as block 2 of the six is stored: the
        # write stops and says so, and the duplicate it was making is not counted.
        for how in CLOSERS:
            select_user(window, 2)
            pulled = after_log(simulator, "block 2 stored", simulator.stop)
            time.sleep(0.1)  # the watch has counted the blocks stored so far
            expect_box_closes(program, "Błąd zapisu karty", "nie została zapisana w całości", how, program_card,
                              view=without_status)
            pulled.join()
            if user_on_disk(2)["INDEX"] != 0:
                raise Failure(f"a cut-off write counted a duplicate: {dict(user_on_disk(2))}")
            simulator = Simulator(1)
            connect_programmer(program, simulator)
        click(duplicate)
        wait_for(lambda: not duplicate.checked, "the duplicate unticked")

        # The card taken off in the middle of a write: the write runs to its end, the read-back finds no
        # card and the operator is asked to write it again; "Anuluj" leaves the user current.
        select_user(window, 2)
        refused = simulator.log_text().count("write-block 6 with no card")
        taken = after_log(simulator, "block 2 stored", lambda: simulator.control("remove"))
        time.sleep(0.1)
        program_card()
        taken.join()
        wait_for(lambda: simulator.log_text().count("write-block 6 with no card") > refused, "the write's last block")
        box = program.wait_box("Karta niesprawdzona")
        if "płasko" not in box_text(box):
            raise Failure(f"the box after a card taken off says: {box_text(box)!r}")
        press(box.child(name="Anuluj", roleName="push button"))
        program.wait_no_box()
        program.expect_alive("after a card was taken off during a write")
        wait_for(lambda: showing(window, "Numer w bazie", "text").text == "2", "user 2 still current")
        print("ok: a card taken off during a write: asked to write again, cancelled, user still current", flush=True)
        simulator.control("place")

        # A configuration card for a changed system code needs the code the readers have now: none
        # given, or one no card can carry.
        show_page(window, "Czytniki")
        radios = [r for r in window.findChildren(lambda n: n.roleName == "radio button") if r.showing]
        chosen = next(r for r in radios if r.checked)
        click(showing(window, "Gdy zmieniłeś kod systemowy", "radio button"))
        old_code = showing(window, "Stary kod", "text")
        write_reader = lambda: press(showing(window, "Zapisz parametry czytnika do karty", "push button"))
        for typed in ("", "2000000"):
            old_code.grabFocus()
            key("ctrl+a", "BackSpace")
            if typed:
                type_text(typed)
            wait_for(lambda: old_code.text == typed, f"{typed!r} as the old code")
            for how in CLOSERS:
                expect_box_closes(program, "Error", "Nieprawidłowe hasło systemowe.", how, write_reader)
        if simulator.card() != blank:
            raise Failure(f"a configuration card was written without the old code:\n{simulator.card()}")
        click(chosen)
        return 0
    except Failure:
        print("The programmer's log ends:\n" + simulator.log_text()[-2000:])
        raise
    finally:
        program.stop()
        simulator.stop()


if __name__ == "__main__":
    run(main)
