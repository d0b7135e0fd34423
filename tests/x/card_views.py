#!/usr/bin/python3
"""The card windows of the "Karty" menu in the real program, driven as an operator drives them:

- "Historia kart" over a journal of 200 rows (made by make-big-journal for users 1 and 2 of
  "Grupa 1") shows every row, newest first; a user number typed into "Użytkownik" and "Filtruj"
  narrow it to that user's rows, and "Pokaż wszystko" brings every row back;
- "Karty do przeprogramowania" lists both users, whose cards open other readers than "Grupa 1"
  opens now (reader 1 only); the second user selected and "Programuj" pressed, the simulated
  programmer holds that user's card with reader 1, written by the Users page's own "Program", and
  the list keeps only the first user.

    run-x.sh BUILD_DIR card_views.py
"""

import os
import subprocess

from xsite import (BUILD, SITE, Failure, Program, Simulator, click, connect_programmer, menu_item, prepare_site,
                   press, run, type_text, wait_for)

BIG_JOURNAL = os.path.join(BUILD, "bench", "cards", "make-big-journal")
ADMIN_PASSWORD = "9"


def window_named(program, title):
    return wait_for(lambda: next((w for w in program.app().children if w.name == title and w.showing), None),
                    f"the window {title}")


def control(window, name, role):
    return wait_for(lambda: next((n for n in window.findChildren(lambda n: n.name == name and n.roleName == role)
                                  if n.showing), None), f"the {role} {name}")


def summary(window, name):
    label = control(window, name, "label")
    return label.description or label.text or ""


def holders(grid):
    """The first names of the holders in the rows the grid shows ("Imię1", "Imię2")."""
    return [c.name for c in grid.findChildren(lambda n: n.roleName == "table cell")
            if c.showing and c.name.startswith("Imię")]


def main():
    columns = ",".join(f"P{r}" for r in range(1, 97))
    values = ",".join("True" if r == 1 else "False" for r in range(1, 97))
    prepare_site({
        "grupa.dbf": f"ID_GRUPY,NAME,NOTES,{columns}\n1,Grupa 1,,{values}\n",
        "osoby.dbf": "NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\n1,Anna,Nowak,Grupa 1,0,\n2,Jan,Kowalski,Grupa 1,0,\n",
        "sprzet.dbf": "ID_CZYT,NAME,TIME,PROX,EMULACJA,MIEJSCE\n1,Czytnik 1,2,False,False,\n",
    })
    subprocess.run([BIG_JOURNAL, SITE, "200", "2", "1"], check=True)
    simulator = Simulator(1)
    program = Program()
    try:
        window = program.main_window()
        program.login(ADMIN_PASSWORD)
        wait_for(lambda: not window.child(name="Hasło", roleName="password text").showing, "the working window")
        connect_programmer(program, simulator)

        # The history: every row, then one user's, then every row again.
        menu_item(program, "Karty", "Historia kart")
        history = window_named(program, "Historia kart")
        wait_for(lambda: "Wierszy w dzienniku: 200" in summary(history, "Stan dziennika"), "all 200 rows")
        user = control(history, "Użytkownik", "text")
        user.grabFocus()
        type_text("2")
        press(control(history, "Filtruj", "push button"))
        wait_for(lambda: "Wierszy spełniających warunki:" in summary(history, "Stan dziennika"), "the filtered rows")
        grid = control(history, "Zapisane karty", "table")
        shown = wait_for(lambda: holders(grid), "the rows of user 2")
        if set(shown) != {"Imię2"}:
            raise Failure(f"the filter by user 2 shows the holders {sorted(set(shown))}")
        print(f"ok: the history filtered to user 2: {summary(history, 'Stan dziennika')}", flush=True)
        # The last column, the operator mode, is in view without scrolling sideways.
        wait_for(lambda: any(c.showing for c in grid.findChildren(
            lambda n: n.roleName == "table cell" and n.name in ("administrator", "użytkownik"))),
            "the operator mode column in view")
        press(control(history, "Pokaż wszystko", "push button"))
        wait_for(lambda: "Wierszy w dzienniku: 200" in summary(history, "Stan dziennika"), "all rows again")
        press(control(history, "Zamknij", "push button"))

        # Cards to rewrite: both users; "Programuj" on the second writes that user's card.
        menu_item(program, "Karty", "Karty do przeprogramowania")
        rewrite = window_named(program, "Karty do przeprogramowania")
        wait_for(lambda: "Użytkowników do przeprogramowania: 2." in summary(rewrite, "Stan kart"), "two users listed")
        table = control(rewrite, "Użytkownicy do przeprogramowania", "table")
        click(wait_for(lambda: next((c for c in table.findChildren(lambda n: n.roleName == "table cell")
                                     if c.name == "2" and c.showing), None), "user 2 in the list"))
        written = simulator.log_text().count("block 6 stored")
        press(control(rewrite, "Programuj", "push button"))
        wait_for(lambda: simulator.log_text().count("block 6 stored") > written, "the card written", timeout=30)
        card = wait_for(lambda: "user 2, system code 1" in simulator.card() and simulator.card(), "user 2's card")
        print(f"ok: \"Programuj\" from the list wrote:\n{card}", flush=True)
        # The card written is in the journal and matches its group: the list keeps only user 1.
        wait_for(lambda: "Użytkowników do przeprogramowania: 1." in summary(rewrite, "Stan kart"), "one user left")
        program.expect_alive("after the card was written from the list")
        return 0
    except Failure:
        print("The programmer's log ends:\n" + simulator.log_text()[-2000:])
        raise
    finally:
        program.stop()
        simulator.stop()


if __name__ == "__main__":
    run(main)
