#!/usr/bin/python3
"""The transfer window paints every step of its gauge while a card is written.

A card is written (a withdrawal, "Usuń uprawnienia", for a user on the simulated programmer) and
the screen is shot from outside the program every few milliseconds. Each shot is read for the
transfer window: painted (its light face around the gauge, not the black of a window the program
never drew) and how far its gauge is filled. Every step of the write, 10, 20, 30, 40, 50 and 100
per cent, must be seen painted.

    run-x.sh BUILD_DIR transfer_window.py [--shots DIR]
"""

import argparse
import os
import time

from message_boxes import showing, users_on_disk
from xsite import Failure, Program, Simulator, click, menu_item, press, run, shoot, show_page, wait_for

STEPS = (10, 20, 30, 40, 50, 100)


def gauge_reading(picture, left, top, width, height):
    """The gauge's filled per cent in a shot, or None where no painted gauge shows.

    The gauge is a bar of black (done) and yellow (to do); the window around it is light. A window
    that was never painted is black all through, with no light face and no yellow."""
    pixels = picture.get_pixels()
    stride = picture.get_rowstride()
    channels = picture.get_n_channels()
    best = None
    # Every other row and column: a shot is read well within a gauge step's pause.
    for y in range(top, top + height, 2):
        black = yellow = light = 0
        row = y * stride
        for x in range(left, left + width, 2):
            r, g, b = pixels[row + x * channels:row + x * channels + 3]
            if r < 30 and g < 30 and b < 30:
                black += 1
            elif r > 200 and g > 200 and b < 90:
                yellow += 1
            elif r > 200 and g > 200 and b > 200:
                light += 1
        bar = black + yellow
        # A row through the gauge: a long bar, with the window's light face at its ends.
        if bar > 75 and light > 5 and (best is None or bar > best[0]):
            best = (bar, round(100 * black / bar))
    return None if best is None else best[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--shots")
    args = parser.parse_args()
    simulator = Simulator(1)
    program = Program()
    try:
        window = program.main_window()
        program.login("9")
        wait_for(lambda: not window.child(name="Hasło", roleName="password text").showing, "the working window")
        show_page(window, "Osoby")
        click(showing(window, "Edytuj", "check box"))
        add = showing(window, "Dodaj", "push button")
        wait_for(lambda: add.sensitive, "the edit mode")
        press(add)
        wait_for(lambda: len(users_on_disk()) == 1, "the new user in osoby.dbf")
        click(showing(window, "Zatwierdź", "check box"))
        menu_item(program, "Port", "Połącz")
        wait_for(lambda: "COM1" in (window.child(name="Stan połączenia").description or ""), "the link up")

        left, top = window.position
        width, height = window.size
        withdraw = showing(window, "Usuń uprawnienia", "push button")
        # A click through the X server returns at once; the write then holds the program.
        click(withdraw)
        seen = {}
        shots = []
        started = time.monotonic()
        while time.monotonic() - started < 4:
            picture = shoot(os.path.join(os.environ["TALVERN_SCRATCH"], "shot.png"), left, top, width, height)
            reading = gauge_reading(picture, 0, 0, width, height)
            moment = time.monotonic() - started
            if reading is not None:
                step = min(STEPS, key=lambda s: abs(s - reading))
                if abs(step - reading) <= 3 and step not in seen:
                    seen[step] = moment
                    shots.append((step, picture))
        print("painted steps (s after the click):", {s: round(t, 3) for s, t in sorted(seen.items())}, flush=True)
        if args.shots:
            os.makedirs(args.shots, exist_ok=True)
            for step, picture in shots:
                picture.savev(os.path.join(args.shots, f"gauge-{step:03d}.png"), "png", [], [])
        missing = [s for s in STEPS if s not in seen]
        if missing:
            raise Failure(f"the gauge was never seen painted at {missing} per cent")
        program.expect_alive("after the write")
        return 0
    finally:
        program.stop()
        simulator.stop()


if __name__ == "__main__":
    run(main)
