#!/usr/bin/python3
"""The port assignment window in the real program, over a fake machine (a folder with dev/ and
sys/ named by TALVERN_DEVICE_ROOT) with two USB adapters, one of them closed to the operator.

- "Port" > "Przypisanie portów..." shows COM1..COM4 with what each stands for today, and the two
  adapters by their /dev/serial/by-id/ names with descriptions.
- The FTDI adapter selected and "Przypisz" beside COM2 pressed: the COM-port map names its by-id
  link for COM2 and keeps its comment, its COM1 line and a line it does not know.
- The adapter pulled out while the window shows: it leaves the list, and COM2 says its device is
  missing.
- The closed adapter selected: the window says why it cannot be opened and the command that
  helps; assigning it shows the same in a Polish box.

    run-x.sh BUILD_DIR port_assignment.py [OUTPUT_DIR]

The window is shot just after the assignment as przypisanie-portow.png for the operator's manual
(into OUTPUT_DIR, e.g. docs/manual/img; without it into the scratch folder).
"""

import os
import pwd
import shutil
import sys
import time

from xsite import SCRATCH, Failure, Program, box_text, click, menu_item, run, shoot, wait_for

ROOT = os.path.join(SCRATCH, "machine")
COMPORTS = os.path.join(os.environ["XDG_CONFIG_HOME"], "talvern", "comports")
ADAPTER = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"
CLOSED = "usb-Prolific_PL2303-if00-port0"
BY_ID = "/dev/serial/by-id/"
MAP_BEFORE = "# the site's programmer\nCOM1 = /dev/ttyACM9\nsome line we do not know\n"


def write(path, text):
    os.makedirs(os.path.dirname(ROOT + path), exist_ok=True)
    with open(ROOT + path, "w") as file:
        file.write(text)


def plug(tty, by_id, product, maker="FTDI", mode=0o660):
    """A USB adapter as the kernel and udev show it: sysfs entry, node, by-id link."""
    usb = f"/sys/devices/pci0000:00/usb1/1-{tty}"
    for name, value in (("idVendor", "0403"), ("idProduct", "6001"), ("manufacturer", maker), ("product", product)):
        write(f"{usb}/{name}", value + "\n")
    os.makedirs(f"{ROOT}{usb}/1-1:1.0/{tty}", exist_ok=True)
    os.makedirs(f"{ROOT}/sys/class/tty/{tty}", exist_ok=True)
    os.symlink(f"{ROOT}{usb}/1-1:1.0/{tty}", f"{ROOT}/sys/class/tty/{tty}/device")
    os.makedirs(ROOT + BY_ID, exist_ok=True)
    os.symlink(f"{ROOT}/dev/{tty}", ROOT + BY_ID + by_id)
    write(f"/dev/{tty}", "")
    os.chmod(f"{ROOT}/dev/{tty}", mode)


def unplug(tty, by_id):
    os.remove(ROOT + BY_ID + by_id)
    shutil.rmtree(f"{ROOT}/sys/class/tty/{tty}")
    os.remove(f"{ROOT}/dev/{tty}")


def read_map():
    with open(COMPORTS) as file:
        return file.read()


def cell(window, name):
    table = window.child(name="Urządzenia szeregowe komputera", roleName="table")
    return next((c for c in table.findChildren(lambda n: n.roleName == "table cell") if c.name == name and c.showing),
                None)


def row_texts(window, port):
    """The texts of COM<port>'s row: the device it stands for, its description, whether it is there."""
    row = window.child(name=f"COM{port}", roleName="filler")
    return [n.name for n in row.findChildren(lambda n: n.roleName == "label")]


def main():
    plug("ttyUSB0", ADAPTER, "FT232R USB UART")
    plug("ttyUSB1", CLOSED, "USB-Serial Controller", maker="Prolific Technology Inc.", mode=0)
    os.makedirs(os.path.dirname(COMPORTS), exist_ok=True)
    with open(COMPORTS, "w") as file:
        file.write(MAP_BEFORE)
    program = Program(env={"TALVERN_DEVICE_ROOT": ROOT})
    try:
        program.main_window()
        program.login("9")
        menu_item(program, "Port", "Przypisanie portów...")
        window = program.wait_box("Przypisanie portów")
        print("ok: COM1 row", row_texts(window, 1), flush=True)
        if BY_ID + ADAPTER not in [c.name for c in window.findChildren(lambda n: n.roleName == "table cell")]:
            raise Failure("the adapter is not in the list by its by-id name")

        click(wait_for(lambda: cell(window, BY_ID + ADAPTER), "the adapter in the list"))
        click(window.child(name="Przypisz do COM2", roleName="push button"))
        wait_for(lambda: f"COM2 = {BY_ID}{ADAPTER}" in read_map(), "COM2 in the map")
        if read_map() != MAP_BEFORE + f"COM2 = {BY_ID}{ADAPTER}\n":
            raise Failure(f"the map is {read_map()!r}")
        wait_for(lambda: BY_ID + ADAPTER in row_texts(window, 2) and "obecne" in row_texts(window, 2),
                 "COM2's row naming the adapter")
        print("ok: assigned to COM2:", read_map().replace("\n", " | "), flush=True)
        time.sleep(0.4)  # painted
        x, y = window.position
        width, height = window.size
        picture = os.path.join(sys.argv[1] if len(sys.argv) > 1 else SCRATCH, "przypisanie-portow.png")
        shoot(picture, max(0, x), max(0, y), width, height)

        unplug("ttyUSB0", ADAPTER)
        wait_for(lambda: cell(window, BY_ID + ADAPTER) is None, "the pulled adapter to leave the list")
        wait_for(lambda: "brak urządzenia" in row_texts(window, 2), "COM2 saying its device is missing")
        print("ok: pulled out, COM2 row", row_texts(window, 2), flush=True)

        user = pwd.getpwuid(os.getuid()).pw_name
        command = f"sudo usermod -aG dialout {user}"
        click(wait_for(lambda: cell(window, BY_ID + CLOSED), "the closed adapter in the list"))
        wait_for(lambda: any(command in n.name for n in window.findChildren(lambda n: n.roleName == "label")),
                 "the window's note on the closed adapter")
        click(window.child(name="Przypisz do COM3", roleName="push button"))
        box = program.wait_box("Uwaga!")
        text = box_text(box)
        for part in (f"Brak dostępu do urządzenia {BY_ID}{CLOSED}", f"nie należy do grupy dialout", command,
                     "ponowne zalogowanie"):
            if part not in text:
                raise Failure(f"the box says {text!r}")
        box.child(name="OK", roleName="push button").doActionNamed("Press")
        wait_for(lambda: not [b for b in program.boxes() if b.name == "Uwaga!"], "the box to close")
        print("ok: closed adapter:", text.replace("\n", " "), flush=True)

        window.child(name="Zamknij", roleName="push button").doActionNamed("Press")
        wait_for(lambda: not [b for b in program.boxes() if b.name == "Przypisanie portów"], "the window to close")
        program.expect_alive("after the window closed")
    finally:
        program.stop()


if __name__ == "__main__":
    run(main)
