#!/usr/bin/python3
"""The site's backups in the real program: the daily backup at the unlock, one before "Zaznacz
wszystko", the backups window restoring the daily one after the operator's yes (the change gone, the
state before kept as a backup of its own), and a backup folder that has gone: a Polish box, and the
work goes on.

    run-x.sh BUILD_DIR backups.py
"""

import json
import os
import shutil
import subprocess

from xsite import (SCRATCH, SITE, TABLE_TOOL, Failure, Program, box_text, click, key, menu_item, prepare_site,
                   press, run, show_page, showing, wait_for)

ADMIN_PASSWORD = "9"
KOPIE = os.path.join(SITE, "kopie")


def backups(root=KOPIE):
    """The backups the table tool lists: (folder, reason) newest first."""
    listed = subprocess.run([TABLE_TOOL, "backups", SITE, "--to", root], check=True, capture_output=True,
                            text=True).stdout
    rows = [line.split("\t") for line in listed.splitlines()]
    return [(row[0], row[4]) for row in rows if len(row) == 5]


def first_group_access(folder=SITE):
    dumped = json.loads(subprocess.run([TABLE_TOOL, "dump", os.path.join(folder, "grupa.dbf")], check=True,
                                       capture_output=True, text=True).stdout)
    record = dumped["records"][0]
    return record.get("p1", record.get("P1"))


def full_access(program, window):
    """ "Zaznacz wszystko" on the first group, in the Groups page's edit mode."""
    show_page(window, "Grupy")
    click(showing(window, "Edytuj", "check box"))
    full = showing(window, "Zaznacz wszystko", "push button")
    wait_for(lambda: full.sensitive, "the groups' edit mode")
    press(full)


def ok(program, title, said):
    box = program.wait_box(title)
    text = box_text(box)
    if said not in text:
        raise Failure(f"the box {title!r} does not say {said!r}; it says {text!r}")
    key("Return")
    program.wait_no_box()
    return text


def main():
    prepare_site({"grupa.dbf": "ID_GRUPY,NAME\n1,Biuro\n",
                  "osoby.dbf": "NUMBER,SURNAME,NAME,GROUP,INDEX\n1,Żak,Ewa,Biuro,0\n"})
    before_login = len(backups())
    program = Program()
    try:
        window = program.main_window()
        program.login(ADMIN_PASSWORD)
        wait_for(lambda: len(backups()) == before_login + 1, "the daily backup at the unlock")
        if backups()[0][1] != "Kopia dzienna":
            raise Failure(f"the unlock's backup says {backups()[0][1]!r}")
        daily = len(backups())

        # A backup folder that has gone: the Settings page names a USB stick, which is then pulled out.
        # "Zaznacz wszystko" then tells the operator the backup failed, and sets the reader boxes all the same.
        stick = os.path.join(SCRATCH, "pendrive")
        os.makedirs(stick)
        show_page(window, "Ustawienia")
        folder = showing(window, "Folder kopii zapasowych", "text")
        folder.text = stick
        press(showing(window, "Zapisz folder kopii zapasowych", "push button"))
        ok(program, "Konfiguracja", "Folder kopii zapasowych - zapisano.")
        shutil.rmtree(stick)
        full_access(program, window)
        said = ok(program, "Kopia zapasowa", "Nie udało się wykonać kopii zapasowej tabel.")
        if "nie istnieje" not in said:
            raise Failure(f"the failed backup's box does not say why: {said!r}")
        click(showing(window, "Zatwierdź", "check box"))
        program.expect_alive("after the failed backup")
        print("ok: a failed backup is told and the work goes on", flush=True)

        # Back to the site's own folder (an empty entry).
        show_page(window, "Ustawienia")
        folder = showing(window, "Folder kopii zapasowych", "text")
        folder.text = ""
        press(showing(window, "Zapisz folder kopii zapasowych", "push button"))
        ok(program, "Konfiguracja", "Folder kopii zapasowych - zapisano.")

        # The backups window: the daily backup restored after the question.
        menu_item(program, "Edycja", "Kopie zapasowe...")
        dialog = program.wait_box("Kopie zapasowe")
        cell = wait_for(lambda: next((c for c in dialog.findChildren(lambda n: n.roleName == "table cell")
                                      if c.name == "Kopia dzienna" and c.showing), None), "the daily backup's row")
        click(cell)
        click(dialog.child(name="Odtwórz wybraną kopię", roleName="push button"))
        question = program.wait_box("Odtworzenie kopii")
        if "Obecny stan tabel zostanie najpierw zapisany" not in box_text(question):
            raise Failure(f"the question says {box_text(question)!r}")
        click(question.child(name="Tak", roleName="push button"))
        wait_for(lambda: len(program.boxes()) == 2, "the restore's message over the window")
        message = next(b for b in program.boxes() if "Tabele odtworzono z kopii" in box_text(b))
        message.grabFocus()
        key("Return")
        wait_for(lambda: len(program.boxes()) == 1, "the message to close")
        dialog = program.wait_box("Kopie zapasowe")
        click(dialog.child(name="Zamknij", roleName="push button"))
        program.wait_no_box()
        print("ok: the daily backup restored through the window", flush=True)
    finally:
        program.stop()

    # After the program: the change is gone, and the state before the restore, with the change, is a backup.
    if first_group_access() is True:
        raise Failure("the restore left the change in grupa.dbf")
    listed = backups()
    if len(listed) != daily + 1 or not listed[0][1].startswith("Przed odtworzeniem kopii"):
        raise Failure(f"no backup of the state before the restore first among {listed}")
    if first_group_access(listed[0][0]) is not True:
        raise Failure("the backup of the state before the restore does not hold the change")
    print("ok: the change is gone and kept in the backup of the state before", flush=True)
    return 0


if __name__ == "__main__":
    run(main)
