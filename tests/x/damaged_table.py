#!/usr/bin/python3
"""A damaged users table stops the real program at start-up with a Polish box naming the table and
what is wrong and offering the newest good backup; "Nie" ends the program, and the table is left byte
for byte as it was.

The site is made by a first start of the program (the three empty tables) and the table tool's
import (users with notes); then the users table's header length is made 32 bytes too long, so
records would be read from the wrong offsets.

    run-x.sh BUILD_DIR damaged_table.py
"""

import hashlib
import os
import subprocess

from xsite import SITE, TABLE_TOOL, Failure, Program, box_text, key, run, wait_for

USERS = os.path.join(SITE, "osoby.dbf")
EXPECTED = ("Tabela osoby.dbf jest uszkodzona: długość nagłówka 257 nie zgadza się z listą pól, która "
            "kończy się na bajcie 225.\nProgram niczego w niej nie zapisał. Naprawioną kopię "
            "(osoby-naprawiona.dbf) tworzy polecenie: talvern-dbf repair osoby.dbf")


def make_site():
    first = Program()
    try:
        wait_for(lambda: os.path.exists(USERS) and first.main_window(), "the first start's tables")
    finally:
        first.stop()
    csv = os.path.join(SITE, "users.csv")
    with open(csv, "w", encoding="utf-8") as file:
        file.write("NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\n1,Żak,Ewa,Biuro,0,notatka\n2,Nowak,Jan,Biuro,1,\n")
    subprocess.run([TABLE_TOOL, "import", "--csv", csv, USERS], check=True)
    with open(USERS, "r+b") as table:
        table.seek(8)
        length = int.from_bytes(table.read(2), "little")
        table.seek(8)
        table.write((length + 32).to_bytes(2, "little"))


def digest(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def main():
    make_site()
    before = {name: digest(os.path.join(SITE, name)) for name in ("osoby.dbf", "osoby.dbt")}
    program = Program()
    try:
        # The table tool's import backed the site up before it added the users: that backup is offered,
        # and Enter answers "Nie", the default.
        box = program.wait_box("Uszkodzona tabela")
        text = box_text(box)
        print("start-up box:", text.replace("\n", " | "), flush=True)
        if EXPECTED not in text:
            raise Failure(f"the box does not say {EXPECTED!r}; it says {text!r}")
        if program.boxes() and any(w.roleName == "frame" for w in program.app().children):
            raise Failure("the main window opened beside the box")
        if "Czy odtworzyć z niej tabele?" not in text:
            raise Failure(f"the box does not offer the newest good backup: {text!r}")
        key("Return")  # the operator's "Nie"
        status = program.wait_ended()
        if status != 1:
            raise Failure(f"the program ended with status {status}, not 1")
        after = {name: digest(os.path.join(SITE, name)) for name in before}
        if after != before:
            raise Failure("the damaged table or its memo file was written")
        print("ok: refused with the Polish message, a backup offered and declined, ended with status 1, the "
              "table untouched", flush=True)
        return 0
    finally:
        program.stop()


if __name__ == "__main__":
    run(main)
