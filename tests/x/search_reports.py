"""The search box, a report and its CSV and PDF in the real program in a real X server, driven
through the accessibility tree and the X server's keyboard:

- on "Osoby", typing "wisniew" into "Szukaj" makes Łucja Wiśniewska (3) the current user, and
  "Następny" goes on to the next match; a text nothing matches says "Nie znaleziono" and leaves the
  user where it was;
- "Raporty" → "Kto otworzy czytnik..." asks for the reader, and its window lists who opens it;
- "Zapisz CSV..." and "Zapisz PDF..." save through the program's own file dialog: the CSV reads back
  with Python's csv module, the PDF's text (pdftotext) shows the title and the first and last rows;
- "Zgubione karty" is in the menu but cannot be chosen while the site has no card journal; once a
  journal is there (written here by other dBASE tools), the next look at the menu offers it, and its
  window lists each lost card with the card written for its holder since, if any;
- on "Grupy", reader 3 taken from "Magazyn" brings up "Karty do przeprogramowania": two cards still
  open it, one of them Piotr's lost card, which cannot be written again.
"""

import csv
import os
import shutil
import subprocess
import sys

from xsite import (SCRATCH, Failure, Program, box_text, click, key, menu_item, prepare_site, run, select_group,
                   show_page, showing, type_text, wait_for, write_card_journal)

GROUPS = ("ID_grupy,NAME,NOTES," + ",".join(f"p{n}" for n in range(1, 97)) + "\n" + "".join(
    f"{number},{name},," + ",".join("True" if n in readers else "False" for n in range(1, 97)) + "\n"
    for number, name, readers in ((1, "Administracja", {1, 2}), (2, "Magazyn", {2, 3}), (3, "Serwis", {1, 3}))))
READERS = ("ID_CZYT,NAME,TIME,PROX,EMULACJA,MIEJSCE\n"
           "1,Wejście główne,5,False,False,\n"
           "2,Recepcja,2,False,False,\n"
           "3,Magazyn A,10,False,False,\n")
USERS = ("NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\n"
         "1,Anna,Kowalska,Administracja,0,\n"
         "2,Józef,Nowak,Magazyn,0,\n"
         "3,Łucja,Wiśniewska,Serwis,0,\n"
         "4,Piotr,Zieliński,Magazyn,0,\n"
         "5,Ewa,Wiśniewska,Serwis,0,\n")

# The cards written for Józef Nowak (lost, then a duplicate written) and for
# Piotr Zieliński (lost, nothing written since). Readers 2 and 3 are the access bits 60 00 ...
MAGAZYN = "600000000000000000000000"
JOURNAL = ("WRITTEN,KIND,OPTION,NUMBER,INDEX,SYSCODE,SURNAME,NAME,GROUP,ACCESS,READER,RSETTINGS,RESULT,MODE\n"
           f"2026-03-01 08:00:00,UZYTKOWNIK,,2,0,1,Józef,Nowak,Magazyn,{MAGAZYN},0,,ZWERYF,ADMIN\n"
           "2026-03-02 09:00:00,ZGUBIONA,,2,0,1,Józef,Nowak,Magazyn,,0,,ZGLOSZONA,UZYTK\n"
           f"2026-03-02 09:10:00,DUPLIKAT,,2,1,1,Józef,Nowak,Magazyn,{MAGAZYN},0,,ZWERYF,ADMIN\n"
           f"2026-03-03 10:00:00,UZYTKOWNIK,,4,0,1,Piotr,Zieliński,Magazyn,{MAGAZYN},0,,ZWERYF,ADMIN\n"
           "2026-03-04 11:00:00,ZGUBIONA,,4,0,1,Piotr,Zieliński,Magazyn,,0,,ZGLOSZONA,ADMIN\n")


def reports_menu_item(program, name):
    """Opens "Raporty" and gives the item of that name, the menu left open."""
    window = program.main_window()
    click(wait_for(lambda: window.child(name="Raporty", roleName="menu item"), "the menu Raporty"))
    return wait_for(lambda: next((n for n in program.app().findChildren(
        lambda n: n.name == name and n.roleName == "menu item" and n.parent.roleName != "menu bar")
        if n.showing), None), f"the menu item {name}")


def current_user(window):
    return showing(window, "Numer w bazie", "text").text


def search_box(window):
    return showing(window, "Szukaj", "text")


def retype(box, text):
    click(box)
    key("ctrl+a", "BackSpace")
    type_text(text)


def save_through_dialog(program, button, path):
    """Presses a report's save button and types the path into the program's own file dialog."""
    click(button)
    program.wait_box("Zapisz jako")
    # The file name box has the focus when the dialog opens; the name offered is replaced.
    key("ctrl+a", "BackSpace")
    type_text(path)
    key("Return")
    wait_for(lambda: os.path.exists(path), f"{os.path.basename(path)} saved")
    program.wait_no_box()


def main():
    if shutil.which("pdftotext") is None:
        print("skipped: pdftotext is not installed (poppler-utils)", file=sys.stderr)
        return 77
    prepare_site({"grupa.dbf": GROUPS, "sprzet.dbf": READERS, "osoby.dbf": USERS})
    program = Program()
    try:
        window = program.main_window()
        program.login("9")
        show_page(window, "Osoby")

        box = search_box(window)
        retype(box, "wisniew")
        wait_for(lambda: current_user(window) == "3", "Łucja Wiśniewska found by \"wisniew\"")
        click(showing(window, "Następny", "push button"))
        wait_for(lambda: current_user(window) == "5", "the next Wiśniewska")
        click(showing(window, "Następny", "push button"))
        wait_for(lambda: current_user(window) == "3", "round the table to the first Wiśniewska")
        box.text = "qqq"
        status = showing(window, "Wynik wyszukiwania", "label")
        wait_for(lambda: status.description == "Nie znaleziono", "\"Nie znaleziono\" for qqq")
        if current_user(window) != "3":
            raise Failure(f"a search that found nothing moved the cursor to {current_user(window)}")

        menu_item(program, "Raporty", "Kto otworzy czytnik...")
        question = program.wait_box("Kto otworzy czytnik")
        key("Return")  # the reader offered first: the current reader, 1 Wejście główne
        report = wait_for(lambda: next((w for w in program.app().children
                                        if w.name == "Kto otworzy czytnik 1: Wejście główne" and w.showing), None),
                          "the report's window")
        del question
        cells = [c.name for c in report.findChildren(lambda n: n.roleName == "table cell")]
        for expected in ("Kowalska", "Wiśniewska"):
            if expected not in cells:
                raise Failure(f"the report lists {cells}, without {expected}")
        if "Nowak" in cells:
            raise Failure(f"the report lists Nowak, whose group does not open reader 1: {cells}")

        csv_path = os.path.join(SCRATCH, "kto-otworzy.csv")
        save_through_dialog(program, report.child(name="Zapisz CSV...", roleName="push button"), csv_path)
        with open(csv_path, encoding="utf-8-sig", newline="") as file:
            rows = list(csv.reader(file, delimiter=";"))
        expected = [["ID", "Imię", "Nazwisko", "Grupa"], ["1", "Anna", "Kowalska", "Administracja"],
                    ["3", "Łucja", "Wiśniewska", "Serwis"], ["5", "Ewa", "Wiśniewska", "Serwis"]]
        if rows != expected:
            raise Failure(f"the CSV reads back as {rows}")

        pdf_path = os.path.join(SCRATCH, "kto-otworzy.pdf")
        save_through_dialog(program, report.child(name="Zapisz PDF...", roleName="push button"), pdf_path)
        text = subprocess.run(["pdftotext", "-layout", pdf_path, "-"], check=True, capture_output=True,
                              text=True).stdout
        for expected in ("Kto otworzy czytnik 1: Wejście główne", "Anna", "Kowalska", "Ewa", "Strona 1 z 1"):
            if expected not in text:
                raise Failure(f"the PDF lacks {expected!r}:\n{text}")

        click(report.child(name="Zamknij", roleName="push button"))
        wait_for(lambda: not report.showing, "the report's window to close")
        program.expect_alive("after the report was closed")

        # No card journal yet: the lost cards cannot be chosen.
        item = reports_menu_item(program, "Zgubione karty")
        if item.sensitive:
            raise Failure("\"Zgubione karty\" can be chosen at a site without a card journal")
        key("Escape")
        write_card_journal(JOURNAL)
        item = reports_menu_item(program, "Zgubione karty")
        wait_for(lambda: item.sensitive, "\"Zgubione karty\" offered once the journal is there")
        click(item)
        lost = wait_for(lambda: next((w for w in program.app().children
                                      if w.name == "Zgubione karty" and w.showing), None), "the lost cards' window")
        grid = lost.child(roleName="table")
        cells = wait_for(lambda: [c.name for c in grid.findChildren(lambda n: n.roleName == "table cell")],
                         "the lost cards")
        expected = ["2", "Józef", "Nowak", "0", "2026-03-02 09:00:00", "tak", "2026-03-02 09:10:00, duplikat 1",
                    "4", "Piotr", "Zieliński", "0", "2026-03-04 11:00:00", "nie", ""]
        if cells != expected:
            raise Failure(f"the lost cards' window lists {cells}")
        click(lost.child(name="Zamknij", roleName="push button"))
        wait_for(lambda: not lost.showing, "the lost cards' window to close")
        program.expect_alive("after the lost cards were shown")

        # Reader 3 taken from "Magazyn": Józef's duplicate and Piotr's lost card, never replaced, still
        # open it. The box counts both and names the lost one apart, since it cannot be written again.
        select_group(window, "Magazyn")
        click(showing(window, "Edytuj", "check box"))
        reader = showing(window, "3", "check box")
        wait_for(lambda: reader.sensitive and reader.checked, "reader 3 of Magazyn, ticked and editable")
        click(reader)
        click(showing(window, "Zatwierdź", "check box"))
        warning = program.wait_box("Karty do przeprogramowania")
        said = box_text(warning)
        expected = ("Grupa „Magazyn”: odebrane czytniki 3; karty, które nadal je otwierają: 2 (w tym zgubione, "
                    "których nie można przeprogramować: 1).\nPrzeprogramuj je: Karty → Karty do przeprogramowania.")
        if said != expected:
            raise Failure(f"the box after reader 3 was taken says {said!r}")
        key("Return")
        program.wait_no_box()
        program.expect_alive("after the warning of cards that still open a reader taken away")
    finally:
        program.stop()
    return 0


if __name__ == "__main__":
    run(main)
