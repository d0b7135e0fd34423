"""The real TALVERN in a real X server, for the drivers that tests/x/run-x.sh runs.

A driver starts the program (and, when it needs one, the simulated card programmer) through this
module, finds its windows and boxes on the accessibility bus (dogtail), and works it as an operator
does: keys and typing through the X server (xdotool), actions through the accessibility tree.
"""

import os
import subprocess
import sys
import time

import pyatspi
from dogtail import config, tree

config.searchCutoffCount = 20
config.defaultDelay = 0.1
config.logDebugToFile = False
config.logDebugToStdOut = False

BUILD = os.environ["TALVERN_BUILD"]
SITE = os.environ["TALVERN_SITE"]
SCRATCH = os.environ["TALVERN_SCRATCH"]
PROGRAM = os.path.join(BUILD, "shell", "talvern")
SIMULATOR = os.path.join(BUILD, "tools", "talvern-progsim")
TABLE_TOOL = os.path.join(BUILD, "tools", "dbf", "talvern-dbf")
BOX_ROLES = ("alert", "dialog")


class Failure(Exception):
    """What the driver found wrong; run() prints it and exits 1."""


def wait_for(condition, what, timeout=20.0):
    """Polls condition until it returns something true; fails naming what after timeout seconds."""
    deadline = time.monotonic() + timeout
    failure = ""
    while True:
        try:
            result = condition()
        except Failure:  # the condition found something wrong for good (the program ended)
            raise
        except Exception as error:  # the tree may be changing under the poll
            result, failure = None, f" ({error})"
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"gave up waiting for {what}{failure}")
        time.sleep(0.05)


def key(*names):
    """Presses keys in the window that has the focus, as an operator's keyboard does."""
    subprocess.run(["xdotool", "key", "--delay", "40", *names], check=True)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "40", text], check=True)


def click(node):
    """Clicks the middle of a control with the X server's pointer, as an operator's mouse does.

    For what an accessibility action would hold up: a menu item's action runs its handler inside
    the accessibility call, so a handler that opens a message box would not answer until it closed.
    """
    x, y = node.position
    width, height = node.size
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + width // 2), str(y + height // 2),
                    "click", "1"], check=True)


def press(node):
    """Presses a button through the accessibility tree (the program clicks it a moment later)."""
    for action in ("Press", "Click", "press", "click"):
        try:
            node.doActionNamed(action)
            return
        except Exception:
            pass
    click(node)


def is_current(tab):
    """Whether a page tab is the notebook's current one."""
    state = tab.getState()
    if state.contains(pyatspi.STATE_SELECTED) or state.contains(pyatspi.STATE_CHECKED):
        return True
    # Qt names the list of tabs after the current one and marks none of them selected.
    return tab.parent is not None and tab.parent.name == tab.name


def show_page(window, name):
    """Brings the page with the tab name to the front of the notebook."""
    tab = wait_for(lambda: next((t for t in window.findChildren(lambda n: n.roleName == "page tab")
                                 if t.name == name and t.showing), None), f"the page tab {name}")
    for action in ("Switch", "Press"):
        try:
            tab.doActionNamed(action)
            break
        except Exception:
            pass
    wait_for(lambda: is_current(tab), f"the page {name}")
    return tab


def menu_item(program, *path):
    """Opens a menu of the menu bar and clicks its item: menu_item(program, "Port", "Połącz"), or
    menu_item(program, "Port", "Port", "COM2") through a submenu."""
    window = program.main_window()
    node = wait_for(lambda: window.child(name=path[0], roleName="menu item"), f"the menu {path[0]}")
    for name in path[1:]:
        click(node)
        # Items of the open menus, not of the menu bar (a submenu may share its menu's name).
        node = wait_for(lambda: next((n for n in program.app().findChildren(
            lambda n: n.name == name and n.roleName in ("menu item", "menu")
            and n.parent.roleName != "menu bar") if n.showing), None), f"the menu item {name}")
    click(node)


class Program:
    """The program started in a site folder, with the accessibility switched on."""

    def __init__(self, site=SITE, args=(), env=None):
        environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                           QT_ACCESSIBILITY="1")
        environment.update(env or {})
        self.log = open(os.path.join(SCRATCH, f"talvern-{time.monotonic_ns()}.log"), "w+")
        self.process = subprocess.Popen([PROGRAM, *args], cwd=site, env=environment,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self._app = None

    def alive(self):
        return self.process.poll() is None

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def expect_alive(self, where):
        if not self.alive():
            raise Failure(f"the program ended ({self.process.returncode}) {where}; it wrote:\n{self.output()}")

    def wait_ended(self, timeout=10.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program was still running {timeout} s later")

    def stop(self):
        if self.alive():
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def app(self):
        """The program's node on the accessibility bus (by process, so a restarted one is not confused)."""
        if self._app is None:
            pid = self.process.pid
            self._app = wait_for(
                lambda: next((a for a in tree.root.applications() if a.get_process_id() == pid), None),
                "the program on the accessibility bus")
        return self._app

    def main_window(self):
        return wait_for(lambda: next((w for w in self.app().children if w.roleName == "frame"), None),
                        "the main window")

    def boxes(self):
        """The message boxes and dialogs showing now."""
        found = []
        for window in self.app().children:
            try:
                if window.roleName in BOX_ROLES and window.showing:
                    found.append(window)
            except Exception:
                pass
        return found

    def wait_box(self, title=None, timeout=20.0):
        def showing():
            self.expect_alive("while a box was awaited")
            return next((b for b in self.boxes() if title is None or b.name == title), None)
        return wait_for(showing, f"a box {title or ''}".strip(), timeout)

    def wait_no_box(self, timeout=10.0):
        def closed():
            self.expect_alive("when a box closed")
            return not self.boxes()
        wait_for(closed, "the boxes to close", timeout)

    def login(self, password):
        """Types the password into the locked window and confirms, as an operator does."""
        window = self.main_window()
        entry = wait_for(lambda: window.child(name="Hasło", roleName="password text"), "the password entry")
        entry.grabFocus()
        key("ctrl+a")  # what an earlier attempt left there is replaced
        type_text(password)
        key("Return")


def showing(window, name, role):
    """The control of that name and role that shows now (the pages repeat names)."""
    return wait_for(lambda: next((n for n in window.findChildren(lambda n: n.name == name and n.roleName == role)
                                  if n.showing), None), f"the {role} {name}")


def select_user(window, number):
    """Clicks the user's row in the Users grid, and waits until the page shows that user."""
    show_page(window, "Osoby")
    grid = window.child(roleName="table")
    click(wait_for(lambda: next((c for c in grid.findChildren(lambda n: n.roleName == "table cell")
                                 if c.name == str(number) and c.showing), None), f"user {number} in the grid"))
    entry = showing(window, "Numer w bazie", "text")
    wait_for(lambda: entry.text == str(number), f"user {number} on the page")


def select_group(window, name):
    """Clicks the group's row in the Groups grid, and waits until the page shows that group."""
    show_page(window, "Grupy")
    # The users grid says its cells show on every page: look in the groups grid only.
    grid = showing(window, "Grupy", "table")
    click(wait_for(lambda: next((c for c in grid.children if c.roleName == "table cell" and c.name == name), None),
                   f"the group {name}"))
    wait_for(lambda: any(n.showing for n in window.findChildren(lambda n: n.roleName == "text" and n.text == name)),
             f"the group {name} on the page")


def prepare_site(tables):
    """A site as an operator has one: the program creates its tables, then the table tool appends
    rows to them. tables maps a table's file name to the CSV text of its rows (with a header row)."""
    first = Program()
    first.main_window()
    first.stop()
    for table, rows in tables.items():
        csv_file = os.path.join(SCRATCH, table + ".csv")
        with open(csv_file, "w", encoding="utf-8") as file:
            file.write(rows)
        subprocess.run([TABLE_TOOL, "import", "--csv", csv_file, os.path.join(SITE, table)], check=True,
                       stdout=subprocess.DEVNULL)


# The card journal's fields, as the program creates karty.dbf.
JOURNAL_FIELDS = ("WRITTEN C(19); KIND C(12); OPTION C(30); NUMBER N(6,0); INDEX N(2,0); SYSCODE N(8,0); "
                  "SURNAME C(30); NAME C(30); GROUP C(30); ACCESS C(24); READER N(3,0); RSETTINGS C(60); "
                  "RESULT C(12); MODE C(5)")


def write_card_journal(rows):
    """karty.dbf as another dBASE tool would leave it: created empty by Python's dbf module, the rows
    (CSV text with a header row) appended by the table tool."""
    import dbf
    dbf.Table(os.path.join(SITE, "karty.dbf"), JOURNAL_FIELDS, dbf_type="db3", codepage="cp1250").close()
    csv_file = os.path.join(SCRATCH, "karty.csv")
    with open(csv_file, "w", encoding="utf-8") as file:
        file.write(rows)
    subprocess.run([TABLE_TOOL, "import", "--csv", csv_file, os.path.join(SITE, "karty.dbf")], check=True,
                   stdout=subprocess.DEVNULL)


CONNECT_FRAME = "5A 03 07 5E"


def connect_programmer(program, simulator):
    """ "Połącz" in the Port menu, and waits until the programmer has heard the connect command."""
    before = simulator.log_text().count(CONNECT_FRAME)
    menu_item(program, "Port", "Połącz")
    wait_for(lambda: simulator.log_text().count(CONNECT_FRAME) > before, "the connect command")


def box_text(box):
    """The texts a box shows (its labels), joined by new lines."""
    labels = box.findChildren(lambda n: n.roleName in ("label", "static") and bool(n.name))
    return "\n".join(label.name for label in labels)


def shoot(file, x=0, y=0, width=None, height=None):
    """Saves the X server's screen (or part of it) as a PNG file, from outside the program."""
    import gi
    gi.require_version("Gdk", "3.0")
    from gi.repository import Gdk
    root = Gdk.get_default_root_window()
    width = width or root.get_width()
    height = height or root.get_height()
    picture = Gdk.pixbuf_get_from_window(root, x, y, width, height)
    if picture is None:
        raise Failure(f"could not take {file}")
    picture.savev(file, "png", [], [])
    return picture


class Simulator:
    """The simulated card programmer on a pseudo-terminal, registered as COM<com> for this user."""

    def __init__(self, com=1, args=()):
        self.com = com
        self.log = os.path.join(SCRATCH, f"programmer-{com}.log")
        self.process = subprocess.Popen([SIMULATOR, "--com", str(com), "--log", self.log, *args])
        time.sleep(0.5)

    def control(self, *command):
        subprocess.run([SIMULATOR, "--com", str(self.com), *command], check=True)

    def log_text(self):
        """What the simulator has logged so far: every frame, answer and card change, timed."""
        try:
            with open(self.log) as log:
                return log.read()
        except FileNotFoundError:
            return ""

    def card(self):
        """The simulator's account of the card lying on it."""
        return subprocess.run([SIMULATOR, "--com", str(self.com), "show"], check=True, capture_output=True,
                              text=True).stdout

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        if self.alive():
            self.process.terminate()
            self.process.wait(10)


def run(main):
    """Runs a driver's main(); a Failure is printed and makes the exit status 1."""
    try:
        status = main()
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        status = 1
    sys.exit(status or 0)
