"""A value the users table cannot hold, typed by an operator into the real program in a real X server:
a Cyrillic letter in "Imię" (the tables are Windows-1250) brings the Polish refusal in the program's
error box, and osoby.dbf keeps the name as it was. Read from the file with dbfread beside the running
program.
"""

import os
import sys
import time

try:
    from dbfread import DBF
except ImportError:
    print("skipped: dbfread is not installed (python3-dbfread)", file=sys.stderr)
    sys.exit(77)

from xsite import SITE, Failure, Program, box_text, key, run, show_page, type_text, wait_for

REFUSAL = "Znaku „Д” nie można zapisać w tabeli o stronie kodowej WINDOWS-1250."


def surnames():
    return [r["SURNAME"] for r in DBF(os.path.join(SITE, "osoby.dbf"), encoding="cp1250",
                                      ignore_missing_memofile=True)]


def first_name_box(window):
    def find():
        for node in window.findChildren(lambda n: n.roleName == "text" and n.name == "Imię"):
            if node.showing:
                return node
        return None
    return wait_for(find, 'the showing "Imię" box')


def main():
    program = Program()
    try:
        window = program.main_window()
        program.login("9")
        show_page(window, "Osoby")
        first_name = first_name_box(window)
        first_name.grabFocus()
        type_text("Anna")
        wait_for(lambda: surnames() == ["Anna"], "Anna in osoby.dbf")

        key("End")
        type_text("Д")
        box = program.wait_box("TALVERN")
        said = box_text(box)
        if REFUSAL not in said:
            raise Failure(f"the box says {said!r}, not {REFUSAL!r}")
        if surnames() != ["Anna"]:
            raise Failure(f"osoby.dbf holds {surnames()} while the refusal shows")
        key("Return")
        time.sleep(1.0)
        if program.alive():
            program.wait_no_box()
        program.stop()
        if surnames() != ["Anna"]:
            raise Failure(f"osoby.dbf holds {surnames()} after the program ended")
    finally:
        program.stop()


if __name__ == "__main__":
    run(main)
