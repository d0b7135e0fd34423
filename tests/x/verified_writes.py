#!/usr/bin/python3
"""Cards read back after they are written, the card journal and a lost card, worked as an operator
works them in the real window.

The site has two users in one group and the simulated programmer on COM1; the read-back is on, as
on a new site.

- "Programuj" with the card lying still: no box, the next user becomes current, and the journal
  (read by python3-dbfread beside the running program) holds a verified row.
- The simulator drops block 1 of the next write on a blank card (a card moved on the antenna): the box "Karta
  niesprawdzona" asks to lay the card flat and write again; "Zapisz ponownie" writes it again, and
  the card is then right and counted.
- No card on the programmer: asked again, "Anuluj": nothing counted, the same user stays current.
- "Zgubiona karta": a box says the lost card is recorded, the duplicate option is ticked, the Users
  page's line says the lost card is out, and the next "Programuj" writes the replacement with the next
  duplicate index, verified; back on that user, the line names the duplicate that replaced it.

    run-x.sh BUILD_DIR verified_writes.py
"""

import os

from dbfread import DBF

from message_boxes import ADMIN_PASSWORD, users_on_disk
from xsite import (SITE, Failure, Program, Simulator, box_text, connect_programmer, prepare_site, press, run,
                   select_user, showing, wait_for)

QUESTION = "Karta niesprawdzona"


def journal():
    path = os.path.join(SITE, "karty.dbf")
    if not os.path.exists(path):
        return []
    return [dict(row) for row in DBF(path, encoding="cp1250", char_decode_errors="strict")]


def expect_journal(rows, what):
    found = [(r["KIND"], int(r["NUMBER"]), int(r["INDEX"]), r["RESULT"], r["MODE"]) for r in journal()]
    if found != rows:
        raise Failure(f"{what}: the journal holds {found}, not {rows}")


def main():
    prepare_site({
        "grupa.dbf": "ID_GRUPY,NAME,NOTES,P1,P2\n1,Biuro,,True,True\n",
        "osoby.dbf": "NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\n1,Nowak,Anna,Biuro,0,\n2,Kowal,Jan,Biuro,3,\n",
    })
    simulator = Simulator(1)
    program = Program()
    try:
        window = program.main_window()
        program.login(ADMIN_PASSWORD)
        wait_for(lambda: not window.child(name="Hasło", roleName="password text").showing, "the working window")
        connect_programmer(program, simulator)
        program_card = lambda: press(showing(window, "Programuj", "push button"))
        current = lambda: showing(window, "Numer w bazie", "text").text

        # A card lying still: written, read back, counted.
        select_user(window, 1)
        program_card()
        wait_for(lambda: current() == "2", "user 2 current after the write")
        if program.boxes():
            raise Failure("a box opened after a good write")
        if "user 1, system code 1, duplicate 0" not in simulator.card():
            raise Failure(f"the card reads:\n{simulator.card()}")
        expect_journal([("UZYTKOWNIK", 1, 0, "ZWERYF", "ADMIN")], "after a good write")
        print("ok: a good card verified and recorded", flush=True)

        # Block 1 dropped: asked to write again; the second write is right and counts.
        # (On a fresh card: a card that already carries this identity reads back right even so.)
        select_user(window, 1)
        simulator.control("place")
        simulator.control("drop", "1")
        program_card()
        box = program.wait_box(QUESTION)
        if "płasko" not in box_text(box):
            raise Failure(f"the question says: {box_text(box)!r}")
        expect_journal([("UZYTKOWNIK", 1, 0, "ZWERYF", "ADMIN"), ("UZYTKOWNIK", 1, 0, "BLAD WERYF", "ADMIN")],
                       "when the operator is asked")
        press(box.child(name="Zapisz ponownie", roleName="push button"))
        wait_for(lambda: current() == "2", "user 2 current after the second write")
        program.wait_no_box()
        expect_journal([("UZYTKOWNIK", 1, 0, "ZWERYF", "ADMIN"), ("UZYTKOWNIK", 1, 0, "BLAD WERYF", "ADMIN"),
                        ("UZYTKOWNIK", 1, 0, "ZWERYF", "ADMIN")], "after the second write")
        print("ok: a dropped block: asked, written again, verified", flush=True)

        # No card: asked, cancelled, nothing counted.
        simulator.control("remove")
        select_user(window, 2)
        duplicate = showing(window, "Duplikat karty", "check box")
        press(duplicate)
        wait_for(lambda: duplicate.checked, "the duplicate ticked")
        program_card()
        box = program.wait_box(QUESTION)
        press(box.child(name="Anuluj", roleName="push button"))
        program.wait_no_box()
        if current() != "2" or next(u for u in users_on_disk() if u["NUMBER"] == 2)["INDEX"] != 3:
            raise Failure("a card that was never verified was counted")
        expect_journal([("UZYTKOWNIK", 1, 0, "ZWERYF", "ADMIN"), ("UZYTKOWNIK", 1, 0, "BLAD WERYF", "ADMIN"),
                        ("UZYTKOWNIK", 1, 0, "ZWERYF", "ADMIN"), ("DUPLIKAT", 2, 4, "BLAD WERYF", "ADMIN")],
                       "after no card")
        press(duplicate)
        wait_for(lambda: not duplicate.checked, "the duplicate unticked")
        simulator.control("place")
        print("ok: no card: not verified, nothing counted", flush=True)

        # A lost card, then its replacement.
        select_user(window, 2)
        press(showing(window, "Zgubiona karta", "push button"))
        box = program.wait_box("Zgubiona karta")
        press(box.child(name="OK", roleName="push button"))
        program.wait_no_box()
        wait_for(lambda: duplicate.checked, "the duplicate ticked by the lost card")
        if journal()[-1]["KIND"] != "ZGUBIONA" or int(journal()[-1]["INDEX"]) != 3:
            raise Failure(f"the lost card's row is {journal()[-1]}")
        line = showing(window, "Stan zgubionej karty", "label")
        wait_for(lambda: (line.description or "").startswith("Zgubiona karta (duplikat 3) zgłoszona "),
                 "the line saying the lost card is out")
        program_card()
        wait_for(lambda: "user 2, system code 1, duplicate 4" in simulator.card(), "the replacement card")
        wait_for(lambda: next(u for u in users_on_disk() if u["NUMBER"] == 2)["INDEX"] == 4, "the duplicate counted")
        if journal()[-1]["KIND"] != "DUPLIKAT" or journal()[-1]["RESULT"] != "ZWERYF":
            raise Failure(f"the replacement's row is {journal()[-1]}")
        # "Programuj" moved on to the next user; back on this one the line names the replacement.
        select_user(window, 2)
        replaced = "Zgubiona karta (duplikat 3) zastąpiona duplikatem 4, " + journal()[-1]["WRITTEN"][:10]
        wait_for(lambda: (line.description or "") == replaced, f"the line {replaced!r}")
        print("ok: a lost card replaced by a verified duplicate", flush=True)
        return 0
    except Failure:
        print("The programmer's log ends:\n" + simulator.log_text()[-2000:])
        raise
    finally:
        program.stop()
        simulator.stop()


if __name__ == "__main__":
    run(main)
