#!/usr/bin/python3
"""The pictures of the operator's manual (docs/manual/img), taken from the real program in a real
X server as an operator works it: the locked window, a wrong password, the four pages, the Edit,
Port and Help menus, the status line with the link up, a card being written (the transfer window), a card
read back (the card information window), the "Karty" menu's two windows over a card journal, a new system
code written and the configuration card for readers that still carry the old one, the About window and the
Settings page of user mode.

    run-x.sh BUILD_DIR manual_shots.py [OUTPUT_DIR]      (e.g. build docs/manual/img)

Without OUTPUT_DIR the pictures go to the scratch folder: CTest runs it so, to show that every
picture can still be taken. Each picture is one window (or a box, or a menu) cut from the screen.
"""

import os
import subprocess
import sys
import time

import gi

gi.require_version("Gdk", "3.0")
from gi.repository import Gdk  # noqa: E402

from xsite import (SCRATCH, Failure, Program, Simulator, click, connect_programmer, key, prepare_site,  # noqa: E402
                   run, select_group, select_user, show_page, showing, wait_for, write_card_journal)

PICTURES = ("logowanie", "zle-haslo", "osoby", "grupy", "czytniki", "ustawienia", "menu-edycja", "menu-pomoc",
            "menu-port",
            "brak-polaczenia", "polaczono", "transfer", "karta-informacje", "historia-kart",
            "karty-do-przeprogramowania", "kod-zapisany", "karta-konfiguracyjna", "o-programie",
            "ustawienia-uzytkownik")

# A small site: three groups, four readers, five users (one whose group was removed).
GROUPS = ("ID_grupy,NAME,NOTES," + ",".join(f"p{n}" for n in range(1, 97)) + "\n" + "".join(
    f"{number},{name},{note}," + ",".join("True" if n in readers else "False" for n in range(1, 97)) + "\n"
    for number, name, note, readers in (
        (1, "Administracja", "Biuro i wejścia", {1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 25}),
        (2, "Magazyn", "", {2, 3, 26, 27}),
        (3, "Serwis", "Pełny dostęp do technicznych", {1, 2, 3, 4, 25, 26, 27, 28, 49, 50}))))
READERS = ("ID_CZYT,NAME,TIME,PROX,EMULACJA,MIEJSCE\n"
           "1,Wejście główne,5,False,False,\"Parter, drzwi od ulicy\"\n"
           "2,Recepcja,2,False,False,\n"
           "3,Magazyn A,10,False,False,Rampa załadunkowa\n"
           "25,Serwerownia,3,False,True,\"Piętro 1, pokój 12\"\n")
USERS = ("NUMBER,SURNAME,NAME,GROUP,INDEX,INFO\n"
         "1,Anna,Kowalska,Administracja,0,Karta wydana 3 marca\n"
         "2,Józef,Nowak,Magazyn,1,Duplikat po zgubieniu karty\n"
         "3,Łucja,Wiśniewska,Serwis,0,\n"
         "4,Piotr,Zieliński,Magazyn,0,\n"
         "5,Ewa,Lewandowska,Lack of assignment!,2,Grupa usunięta\n")



def access(readers):
    """The card journal's ACCESS text of a set of readers: reader r is bit 0x80 >> ((r-1) % 8) of
    byte (r-1) // 8."""
    bits = bytearray(12)
    for reader in readers:
        bits[(reader - 1) // 8] |= 0x80 >> ((reader - 1) % 8)
    return bits.hex().upper()


# The cards written before the pictures: one that still matches, a lost card replaced by a duplicate
# (after one write that did not verify), a user moved to another group, a group that gained a reader,
# a holder whose group was removed, and a configuration card.
ADMINISTRACJA = access({1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 25})
MAGAZYN = access({2, 3, 26, 27})
JOURNAL = ("WRITTEN,KIND,OPTION,NUMBER,INDEX,SYSCODE,SURNAME,NAME,GROUP,ACCESS,READER,RSETTINGS,RESULT,MODE\n"
           f"2026-03-02 08:00:00,UZYTKOWNIK,,1,0,1,Anna,Kowalska,Administracja,{ADMINISTRACJA},0,,ZWERYF,ADMIN\n"
           f"2026-03-02 08:05:00,UZYTKOWNIK,,2,0,1,Józef,Nowak,Magazyn,{MAGAZYN},0,,ZWERYF,ADMIN\n"
           f"2026-03-02 08:10:00,UZYTKOWNIK,,3,0,1,Łucja,Wiśniewska,Magazyn,{MAGAZYN},0,,ZWERYF,ADMIN\n"
           f"2026-03-02 08:15:00,UZYTKOWNIK,,4,0,1,Piotr,Zieliński,Magazyn,{access({2, 3, 26})},0,,ZWERYF,ADMIN\n"
           f"2026-03-02 08:20:00,DUPLIKAT,,5,2,1,Ewa,Lewandowska,Kadry,{access({1, 2})},0,,ZWERYF,ADMIN\n"
           "2026-03-05 14:30:00,ZGUBIONA,,2,0,1,Józef,Nowak,Magazyn,,0,,ZGLOSZONA,UZYTK\n"
           f"2026-03-06 09:00:00,DUPLIKAT,,2,1,1,Józef,Nowak,Magazyn,{MAGAZYN},0,,BLAD WERYF,ADMIN\n"
           f"2026-03-06 09:01:00,DUPLIKAT,,2,1,1,Józef,Nowak,Magazyn,{MAGAZYN},0,,ZWERYF,ADMIN\n"
           "2026-03-07 10:00:00,KONFIG,Fabrycznie nowy,0,0,1,,,,,25,\"kod 1, czas 3 s, PROX\",ZWERYF,ADMIN\n")


def shoot_card_window(program, window, folder, name, item):
    """Opens "Karty" → item, shoots the window of that title and closes it."""
    click(menu_bar_item(window, "Karty"))
    click(wait_for(lambda: next((n for n in program.app().findChildren(
        lambda n: n.name == item and n.roleName == "menu item" and n.parent.roleName != "menu bar")
        if n.showing), None), f"the menu item {item}"))
    opened = wait_for(lambda: next((w for w in program.app().children if w.name == item and w.showing), None),
                      f"the window {item}")
    cut_node(folder, name, opened)
    click(opened.child(name="Zamknij", roleName="push button"))
    wait_for(lambda: not opened.showing, f"the window {item} closed")


def cut(folder, name, x, y, width, height):
    """Saves a piece of the screen as folder/name.png, from outside the program."""
    root = Gdk.get_default_root_window()
    x, y = max(0, x), max(0, y)
    width, height = min(width, root.get_width() - x), min(height, root.get_height() - y)
    picture = Gdk.pixbuf_get_from_window(root, x, y, width, height)
    if picture is None:
        raise Failure(f"could not take {name}")
    picture.savev(os.path.join(folder, name + ".png"), "png", ["compression"], ["9"])
    print(f"{name}.png: {width}x{height}", flush=True)
    return picture


def cut_node(folder, name, node, margin=0):
    """A window, box or menu as the accessibility tree places it on the screen."""
    time.sleep(0.4)  # painted
    x, y = node.position
    width, height = node.size
    return cut(folder, name, x - margin, y - margin, width + 2 * margin, height + 2 * margin)


def cut_union(folder, name, nodes, margin=4):
    """The smallest piece of the screen that holds every node (a menu bar and its open menus)."""
    time.sleep(0.4)
    boxes = [(*n.position, *n.size) for n in nodes]
    left = min(b[0] for b in boxes) - margin
    top = min(b[1] for b in boxes) - margin
    right = max(b[0] + b[2] for b in boxes) + margin
    bottom = max(b[1] + b[3] for b in boxes) + margin
    return cut(folder, name, left, top, right - left, bottom - top)


def open_menus(program):
    """The pop-up menus showing now."""
    return [n for n in program.app().findChildren(lambda n: n.roleName in ("popup menu", "menu")
                                                   and n.parent.roleName != "menu bar") if n.showing]


def menu_bar_item(window, name):
    return wait_for(lambda: window.child(name=name, roleName="menu item"), f"the menu {name}")


def shoot_box(program, folder, name, title, opened_by):
    """The box titled title that opened_by() opens, shot and closed with Return."""
    opened_by()
    box = program.wait_box(title)
    cut_node(folder, name, box)
    key("Return")
    program.wait_no_box()


def gauge_box(picture):
    """Where the transfer window's gauge lies in a shot of the screen: the yellow part of its bar
    (left, top, right, bottom), or None while no gauge shows half filled."""
    pixels = picture.get_pixels()
    stride, channels = picture.get_rowstride(), picture.get_n_channels()
    found = None
    for y in range(0, picture.get_height(), 2):
        row = y * stride
        xs = [x for x in range(0, picture.get_width(), 2)
              if pixels[row + x * channels] > 200 and pixels[row + x * channels + 1] > 200
              and pixels[row + x * channels + 2] < 90]
        if len(xs) > 40:
            left, right = xs[0], xs[-1]
            found = (left, y, right, y) if found is None else (min(found[0], left), found[1], max(found[2], right), y)
    return found


def shoot_transfer(folder, window):
    """The transfer window while a card is written. The write holds the program, so the window is
    found on the screen, not through the accessibility tree: it opens centred on the screen, and the
    shot is taken once its gauge shows about half done."""
    root = Gdk.get_default_root_window()
    screen_width, screen_height = root.get_width(), root.get_height()
    # The window's client area is 407 x 72 (no frame without a window manager); the gauge is 352
    # wide at 26, 26 in it.
    x, y = (screen_width - 1) // 2 - 407 // 2, (screen_height - 1) // 2 - 72 // 2
    click(showing(window, "Programuj", "push button"))  # returns at once; the write then holds the program
    started = time.monotonic()
    while time.monotonic() - started < 4:
        shot = Gdk.pixbuf_get_from_window(root, x, y, 407, 72)
        bar = gauge_box(shot) if shot is not None else None
        # At 40 or 50 per cent the yellow (still to do) part starts halfway along the gauge.
        if bar is not None and 160 < bar[2] - bar[0] < 215 and bar[2] > 352:
            shot.savev(os.path.join(folder, "transfer.png"), "png", ["compression"], ["9"])
            print("transfer.png: 407x72", flush=True)
            return shot
        time.sleep(0.02)
    raise Failure("the transfer window was never seen with its gauge half filled")


def main():
    folder = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(SCRATCH, "shots")
    os.makedirs(folder, exist_ok=True)
    prepare_site({"grupa.dbf": GROUPS, "sprzet.dbf": READERS, "osoby.dbf": USERS})
    write_card_journal(JOURNAL)
    simulator = Simulator(1)
    program = Program()
    try:
        window = program.main_window()
        entry = wait_for(lambda: window.child(name="Hasło", roleName="password text"), "the password entry")
        cut_node(folder, "logowanie", window)
        shoot_box(program, folder, "zle-haslo", "Uwaga!", lambda: program.login("7"))
        program.login("9")
        wait_for(lambda: not entry.showing, "the working window")

        select_user(window, 2)
        cut_node(folder, "osoby", window)
        select_group(window, "Serwis")
        cut_node(folder, "grupy", window)
        show_page(window, "Czytniki")
        cut_node(folder, "czytniki", window)
        show_page(window, "Ustawienia")
        cut_node(folder, "ustawienia", window)

        # The menus, open, with the menu bar above them.
        click(menu_bar_item(window, "Edycja"))
        wait_for(lambda: open_menus(program), "the Edit menu open")
        cut_union(folder, "menu-edycja", [menu_bar_item(window, "Edycja"), *open_menus(program)])
        key("Escape")
        wait_for(lambda: not open_menus(program), "the Edit menu closed")
        click(menu_bar_item(window, "Pomoc"))
        wait_for(lambda: open_menus(program), "the Help menu open")
        cut_union(folder, "menu-pomoc", [menu_bar_item(window, "Edycja"), *open_menus(program)])
        key("Escape")
        click(menu_bar_item(window, "Port"))
        port = wait_for(lambda: next((n for n in program.app().findChildren(
            lambda n: n.name == "Port" and n.roleName == "menu item" and n.parent.roleName == "popup menu")
            if n.showing), None), "the Port submenu's item")
        click(port)
        wait_for(lambda: len(open_menus(program)) >= 2, "the Port submenu open")
        cut_union(folder, "menu-port", [menu_bar_item(window, "Edycja"), *open_menus(program)])
        key("Escape", "Escape", "Escape")
        wait_for(lambda: not open_menus(program), "the menus closed")

        show_page(window, "Osoby")
        shoot_box(program, folder, "brak-polaczenia", "Brak połączenia",
                  lambda: click(showing(window, "Programuj", "push button")))

        connect_programmer(program, simulator)
        status = window.child(name="Stan połączenia")
        wait_for(lambda: "COM1" in (status.description or ""), "the link up on the status line")
        left, top = window.position
        width, height = window.size
        time.sleep(0.4)
        cut(folder, "polaczono", left, top + height - 34, width, 34)

        # Anna's card is written and read back.
        select_user(window, 1)
        shoot_transfer(folder, window)
        wait_for(lambda: "block 6 stored" in simulator.log_text(), "the card written")
        wait_for(lambda: showing(window, "Numer w bazie", "text").text == "2", "the next user current")
        click(showing(window, "Znajdź", "push button"))
        card = wait_for(lambda: next((w for w in program.app().children
                                      if w.name.startswith("Informacje o karcie") and w.showing), None),
                        "the card information window")
        cut_node(folder, "karta-informacje", card)
        click(card.child(name="Zamknij", roleName="push button"))
        wait_for(lambda: not card.showing, "the card information window closed")

        # The card journal: Anna's card just written on top of the cards written before.
        shoot_card_window(program, window, folder, "historia-kart", "Historia kart")
        shoot_card_window(program, window, folder, "karty-do-przeprogramowania", "Karty do przeprogramowania")

        # The site moves to a new system code; the readers still carry the old one, which the
        # configuration card for a changed code names.
        show_page(window, "Ustawienia")
        code = showing(window, "Kod systemowy", "text")
        code.text = "4711"
        shoot_box(program, folder, "kod-zapisany", "Konfiguracja",
                  lambda: click(showing(window, "Zapisz kod systemowy", "push button")))
        show_page(window, "Czytniki")
        click(showing(window, "Gdy zmieniłeś kod systemowy", "radio button"))
        old_code = showing(window, "Stary kod", "text")
        wait_for(lambda: old_code.text == "1", "the old code 1 in its box")
        cut_node(folder, "karta-konfiguracyjna", window)

        click(menu_bar_item(window, "Pomoc"))
        about_item = wait_for(lambda: next((n for n in program.app().findChildren(
            lambda n: n.name == "O programie" and n.roleName == "menu item") if n.showing), None),
            "the About item")
        click(about_item)
        about = wait_for(lambda: next((w for w in program.app().children
                                       if w.name == "O programie" and w.showing), None), "the About window")
        cut_node(folder, "o-programie", about)
    finally:
        program.stop()
        simulator.stop()

    # User mode: the same site, the user's password.
    program = Program()
    try:
        window = program.main_window()
        # Keys go to the window under the pointer (no window manager): move it over the new window.
        x, y = window.position
        subprocess.run(["xdotool", "mousemove", "--sync", str(x + 40), str(y + 40)], check=True)
        program.login("5")
        wait_for(lambda: not window.child(name="Hasło", roleName="password text").showing, "the working window")
        show_page(window, "Ustawienia")
        cut_node(folder, "ustawienia-uzytkownik", window)
    finally:
        program.stop()

    missing = [name for name in PICTURES if not os.path.isfile(os.path.join(folder, name + ".png"))]
    if missing:
        raise Failure(f"pictures not taken: {missing}")
    return 0


if __name__ == "__main__":
    run(main)
