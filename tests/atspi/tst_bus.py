#!/usr/bin/python3
"""The window driven through the real accessibility bus, as a screen reader drives it.

The test starts everything it needs itself: an X server (Xvfb), a session bus, the
accessibility bus (at-spi-bus-launcher) and the program on the virtual gyro
(`tarvex --simulate`, fast line, its state and log files in a scratch folder). A missing
piece fails the test with its name; nothing is skipped.

One table of user actions runs in order, four times:
  - by mouse, in English: X pointer clicks (XTest) at the places the bus gives;
  - through the bus, in English, German and Japanese: each control's accessible action (or
    its accessible value), called as a screen reader calls it.
For every row of the bus runs:
  - the call must reply at once (under REPLY_LIMIT), and where the action opens a message
    box, the reply comes while that box is still to be answered: the box is then found on
    the bus as the program's new top-level window, its text read and compared with the
    string table of the language, and answered through its own button's action;
  - what reached the gyro (the virtual gyro's log: command frames, servo positions) and the
    window's state read from the bus (every control's value, text, checked and enabled
    state) must equal the mouse run's after the same row. Across languages the texts that
    are words are left out of that comparison; they are checked against the translations.
The slowest reply of each language is printed.

Usage: tst_bus.py --program PATH --source REPO [--languages en de ja] [--no-mouse]
"""

import argparse
import ctypes
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

REPLY_LIMIT = 1.0  # seconds; a queued action replies in about a millisecond
CALL_TIMEOUT_MS = 5000  # how long a blocked call is waited for before it counts as hung
BOX_WAIT = 15.0  # a box follows its action after the handler's waits (Read: 1.5 s)


class Failure(Exception):
    pass


def fail(reason):
    print("atspi: FAIL: " + reason, flush=True)
    sys.exit(1)


# ---- Texts: the string table and the window's translations ---------------------------------


def plain(text):
    """A caption as its accessible name: no mnemonic, no shortcut text."""
    text = text.split("\t")[0]
    text = re.sub(r"\(&[^)]\)", "", text)
    out, i = [], 0
    while i < len(text):
        if text[i] == "&":
            if i + 1 < len(text) and text[i + 1] == "&":
                out.append("&")
                i += 1
        else:
            out.append(" " if text[i] == "\n" else text[i])
        i += 1
    return "".join(out).strip()


class Texts:
    def __init__(self, source, language):
        self.language = language
        table = open(os.path.join(source, "resources/strings/StringTable.cpp"), encoding="utf-8").read()
        self.english = {}
        for m in re.finditer(r'\{(\d+),\s*QT_TRANSLATE_NOOP\("StringTable",\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\)\}', table):
            pieces = re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(2))
            text = "".join(pieces).encode("latin-1", "backslashreplace").decode("unicode_escape")
            self.english[int(m.group(1))] = text.encode("latin-1").decode("utf-8")
        self.strings = {}
        self.window = {}
        if language != "en":
            self.strings = self._load(os.path.join(source, "resources/strings/tarvex_strings_%s.ts" % language))
            self.window = self._load(os.path.join(source, "resources/window/tarvex_window_%s.ts" % language))

    @staticmethod
    def _load(path):
        out = {}
        for message in ElementTree.parse(path).getroot().iter("message"):
            comment = message.findtext("comment") or ""
            translation = message.findtext("translation") or ""
            out[(message.findtext("source"), comment)] = translation
        return out

    def message(self, number):
        english = self.english[number]
        return self.strings.get((english, ""), english) if self.strings else english

    def mnemonic(self, source, comment=""):
        """The letter that Alt (or, in an open menu, the letter alone) goes by."""
        text = self.window.get((source, comment), source) if self.window else source
        found = re.search(r"&([^&])", text)
        if found is None:
            raise Failure("%r has no mnemonic" % text)
        return found.group(1).lower()

    def caption(self, source, comment=""):
        return plain(self.window.get((source, comment), source) if self.window else source)


# ---- The session: X server, buses, the program ----------------------------------------------


def free_display():
    """A display number that no X server holds, by lock file, socket file or abstract socket
    (other X servers on the machine may share the abstract socket names but not /tmp)."""
    for number in random.sample(range(100, 1000), 900):
        if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
            continue
        probe = socket.socket(socket.AF_UNIX)
        try:
            probe.connect("\0/tmp/.X11-unix/X%d" % number)
            continue
        except OSError:
            return number
        finally:
            probe.close()
    fail("no free X display number")


class Session:
    def __init__(self):
        self.groups = []
        self.folder = tempfile.mkdtemp(prefix="tarvex-atspi-")
        for tool in ("Xvfb", "dbus-daemon"):
            if shutil.which(tool) is None:
                fail("%s is not installed (scripts/setup.sh installs it)" % tool)
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.access(launcher, os.X_OK):
            fail(launcher + " is missing (package at-spi2-core)")

        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", ":%d" % free_display(), "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                    "-nolisten", "tcp", "-noreset"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        display = os.read(read_end, 64).decode().strip()
        # Kept open: a server that wrote its number again into a closed pipe would die.
        self.display_pipe = read_end
        if not display:
            fail("Xvfb did not start")
        os.environ["DISPLAY"] = ":" + display

        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True)
        address = bus.stdout.readline().strip()
        if not address:
            fail("the session bus did not start")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        os.environ["XDG_RUNTIME_DIR"] = self.folder
        self.spawn([launcher, "--launch-immediately"], stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply", "/org/a11y/bus",
                              "org.a11y.Bus.GetAddress"], capture_output=True).returncode != 0:
            if time.time() > deadline:
                fail("the accessibility bus did not start (at-spi-bus-launcher)")
            time.sleep(0.05)

    def spawn(self, command, **options):
        process = subprocess.Popen(command, start_new_session=True, **options)
        self.groups.append(process)
        return process

    def close(self):
        # Politely first, so that the X server removes its lock and socket.
        for process in reversed(self.groups):
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


# ---- The mouse: pointer clicks through XTest ---------------------------------------------------


class XTest:
    """The X display with its test extension, on which the mouse and the keys act."""

    def __init__(self, what):
        try:
            self.x11 = ctypes.CDLL("libX11.so.6")
            self.xtst = ctypes.CDLL("libXtst.so.6")
        except OSError as error:
            fail("the X test extension's library is missing: %s" % error)
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.display = ctypes.c_void_p(self.x11.XOpenDisplay(os.environ["DISPLAY"].encode()))
        if not self.display.value:
            fail("cannot open the X display %s for the %s" % (os.environ["DISPLAY"], what))


class Mouse(XTest):
    def __init__(self):
        super().__init__("mouse")

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, int(x), int(y), 0)
        self.x11.XSync(self.display, 0)
        time.sleep(0.03)

    def button(self, down):
        self.xtst.XTestFakeButtonEvent(self.display, 1, 1 if down else 0, 0)
        self.x11.XSync(self.display, 0)
        time.sleep(0.03)

    def click(self, accessible, times=1):
        x, y = centre(accessible)
        self.move(x, y)
        for _ in range(times):
            self.button(True)
            self.button(False)

    def drag(self, slider, to_end):
        """Takes the slider's handle and drags it past one end."""
        e = slider.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        value = slider.queryValue()
        share = (value.currentValue - value.minimumValue) / (value.maximumValue - value.minimumValue)
        handle = e.x + 6 + share * (e.width - 12)
        self.move(handle, e.y + e.height / 2)
        self.button(True)
        target = e.x + e.width + 40 if to_end else e.x - 40
        for step in range(1, 6):
            self.move(handle + (target - handle) * step / 5, e.y + e.height / 2)
        self.button(False)


class Keys(XTest):
    """Key presses through XTest, as the user types them (the US keyboard of Xvfb)."""

    def __init__(self):
        super().__init__("keyboard")
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]

    def _key(self, name, down):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))
        if code == 0:
            raise Failure("no key %r on the X keyboard" % name)
        self.xtst.XTestFakeKeyEvent(self.display, code, 1 if down else 0, 0)
        self.x11.XSync(self.display, 0)

    def press(self, chord):
        """One chord such as "Alt_L+r": held in order, let go in reverse."""
        names = chord.split("+")
        for name in names:
            self._key(name, True)
        for name in reversed(names):
            self._key(name, False)
        time.sleep(0.02)


def centre(accessible):
    e = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if role(accessible) in ("radio button", "check box") and e.width > 40:
        # A radio stretched over its group takes clicks on its mark and caption only.
        return e.x + 8, e.y + e.height // 2
    return e.x + e.width // 2, e.y + e.height // 2


# ---- The program on the bus --------------------------------------------------------------------


def children(node):
    """The node's children; one that went away while they were listed is left out."""
    try:
        found = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return []
    return [child for child in found if child is not None]


def role(node):
    try:
        return node.getRoleName()
    except Exception:  # gone meanwhile
        return ""


def find(node, role_name, name, skip_lists=True):
    """The first descendant with this role and name, depth first."""
    if role(node) == role_name and node.name == name:
        return node
    if skip_lists and role(node) == "combo box":
        return None
    for child in children(node):
        found = find(child, role_name, name, skip_lists)
        if found is not None:
            return found
    return None


def state(node, which):
    return node.getState().contains(which)


class Program:
    def __init__(self, session, binary, language, label):
        self.folder = os.path.join(session.folder, label)
        os.makedirs(self.folder)
        self.log = os.path.join(self.folder, "wire.log")
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", TARVEX_VGYRO_FAST="1",
                   TARVEX_VGYRO_STATE=os.path.join(self.folder, "vgyro.state"),
                   XDG_STATE_HOME=os.path.join(self.folder, "state"), TARVEX_VGYRO_LOG=self.log,
                   HOME=self.folder)
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("TARVEX_VGYRO_FAULTS", None)
        self.process = session.spawn([binary, "--simulate", "--language", language], env=env,
                                     stderr=subprocess.DEVNULL)
        self.app = None
        deadline = time.time() + 20
        while self.app is None:
            if self.process.poll() is not None:
                fail("the program ended at start (exit %d)" % self.process.returncode)
            if time.time() > deadline:
                fail("the program did not appear on the accessibility bus")
            desktop = pyatspi.Registry.getDesktop(0)
            for app in children(desktop):
                try:
                    if app.get_process_id() == self.process.pid and app.childCount > 0:
                        self.app = app
                except Exception:
                    pass
            time.sleep(0.1)
        # Read every name, state, value and child afresh from the program after each action;
        # only what never changes (role, interfaces) comes from the client's cache.
        from gi.repository import Atspi

        self.app.set_cache_mask(Atspi.Cache.ROLE | Atspi.Cache.INTERFACES)
        self.window = self.app.getChildAtIndex(0)
        self.controls = {}

    def toplevels(self):
        return children(self.app)

    def wire(self):
        try:
            return open(self.log).read().splitlines()
        except FileNotFoundError:
            return []

    def control(self, role_name, name):
        key = (role_name, name)
        node = self.controls.get(key)
        if node is None:
            node = find(self.window, role_name, name)
            if node is None:
                raise Failure("no %s named %r on the bus" % (role_name, name))
            self.controls[key] = node
        return node

    def list_named(self, caption):
        """The channel list that its label (by the labelled-by relation) calls caption."""
        if ("list", caption) in self.controls:
            return self.controls[("list", caption)]
        self.controls[("list", caption)] = self._list_named(caption)
        return self.controls[("list", caption)]

    def _list_named(self, caption):
        for node in walk(self.window):
            if role(node) != "combo box":
                continue
            for relation in node.getRelationSet():
                if relation.getRelationType() != pyatspi.RELATION_LABELLED_BY:
                    continue
                for i in range(relation.getNTargets()):
                    target = relation.getTarget(i)
                    if role(target) == "label" and target.name == caption:
                        return node
        raise Failure("no list labelled %r" % caption)


def walk(node, into_lists=False):
    yield node
    if role(node) == "combo box" and not into_lists:
        return
    for child in children(node):
        yield from walk(child, into_lists)


def snapshot(window):
    """Every control's state as a screen reader reads it, in tree order."""
    rows = []
    for node in walk(window):
        r = role(node)
        if r in ("menu bar", "menu item", "popup menu", "separator", "panel", "label", "dialog", "filler"):
            continue
        entry = [r, "enabled" if state(node, pyatspi.STATE_ENABLED) else "disabled"]
        if r in ("check box", "radio button", "toggle button"):
            entry.append("checked" if state(node, pyatspi.STATE_CHECKED) else "clear")
        interfaces = node.get_interfaces()
        if "Value" in interfaces:
            entry.append("value=%g" % node.queryValue().currentValue)
        if "Text" in interfaces:
            entry.append("text=" + node.queryText().getText(0, -1))
        if r == "combo box":
            entry.append("name=" + node.name)
        rows.append(tuple(entry))
    return rows


def numeric_only(rows):
    """The snapshot without texts that are words (they differ by language)."""
    out = []
    for entry in rows:
        kept = []
        for item in entry:
            if item.startswith("text="):
                value = item[5:]
                item = item if re.fullmatch(r"-?\d*", value) else "text=<words>"
            kept.append(item)
        out.append(tuple(kept))
    return out


# ---- The actions -----------------------------------------------------------------------------


def do_action(node, names):
    """Calls the first of the node's actions named in names; returns the reply's time."""
    action = node.queryAction()
    offered = [action.getName(i) for i in range(action.nActions)]
    for name in names:
        if name in offered:
            index = offered.index(name)
            break
    else:
        raise Failure("%s %r offers no %s (offers %s)" % (role(node), node.name, "/".join(names), offered))
    start = time.monotonic()
    try:
        action.doAction(index)
    except Exception as error:
        raise Failure("the call to %s on %r did not return: %s (after %.1f s)" %
                      (names[0], node.name, error, time.monotonic() - start))
    return time.monotonic() - start


def set_value(node, value):
    start = time.monotonic()
    try:
        node.queryValue().currentValue = value
    except Exception as error:
        raise Failure("setting %r to %s failed: %s" % (node.name, value, error))
    return time.monotonic() - start


def wait_for(condition, seconds, what):
    deadline = time.time() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.time() > deadline:
            raise Failure("waited %.1f s for %s" % (seconds, what))
        time.sleep(0.02)


def new_box(program):
    boxes = [t for t in program.toplevels() if role(t) == "alert"]
    return boxes[0] if boxes else None


def box_text(box):
    texts = []
    for node in walk(box):
        if role(node) == "label" and node.name:
            texts.append(node.name)
    return texts


def box_button(box, answer):
    buttons = [n for n in walk(box) if role(n) == "push button"]
    if answer == "ok":
        if len(buttons) != 1:
            raise Failure("the box has %d buttons, not one" % len(buttons))
        return buttons[0]
    # The box's default button is Yes; No is the other one.
    if len(buttons) != 2:
        raise Failure("the question has %d buttons, not two" % len(buttons))
    default = [b for b in buttons if state(b, pyatspi.STATE_IS_DEFAULT)]
    if len(default) != 1:
        raise Failure("the question has no default (Yes) button")
    return default[0] if answer == "yes" else [b for b in buttons if b is not default[0]][0]


# The rows: what the user does, and what must show.
#   target: (role, caption source[, disambiguation]) of a control, or ("menu", title, item)
#   how:    "press" (Press/Toggle/Click), "value" (the accessible value), "twice" (two Presses
#           before the first has run), "open" (a list's or title's popup, opened and closed),
#           "choose" (the list's item named item: its own action, or clicked in the popup),
#           "keys" (X key presses, after a click on the ID box, in every run alike: each a
#           modifier and the caption whose mnemonic letter goes with it),
#           "tab" (Tab round the window, compared with the dialog template's tab order)
#   box:    the message the action shows and its answer ("ok", "yes", "no" by its button;
#           "Return" or "Escape" by key), or None
#   about:  the action opens the About box, read and closed by its button
#   chooser: the action opens the Open chooser, answered through the bus (in every run) with
#           a settings file of that name that the test writes from the gyro's record
#   lists:  what the Rudder and Gain lists then tell (None: not checked)
#   checked: the radio then checked
#   record: the gyro's state file then holds the channels the lists tell
#   runs:   the only runs the row is in (by their labels): rows whose keys are the same in
#           every run, and rows whose effect the next row undoes, run once
#   status: the message the status line then shows, or None
#   frames: the command frames the gyro then gets, by kind (none when left out)
ROWS = [
    dict(name="Read", target=("push button", "&Read"), how="press", box=(117, "ok"), frames=["read"]),
    dict(name="Read, pressed twice", target=("push button", "&Read"), how="twice", box=(117, "ok"), frames=["read"]),
    dict(name="Keys: Alt+Read's letter, Return answers", how="keys", keys=[("Alt_L+", "&Read")],
         box=(117, "Return"), frames=["read"], runs=["bus-en"]),
    dict(name="Keys: Tab goes round the window", how="tab", runs=["bus-en"]),
    dict(name="Rudder list opens and closes", target=("list", "R&udder"), how="open", mouse=False),
    dict(name="Rudder channel 7 chosen", target=("list", "R&udder"), how="choose", item="7", lists=("7", "3")),
    dict(name="File menu opens and closes", target=("title", "&File", "menu"), how="open", mouse=False),
    dict(name="Help About, closed by OK", target=("menu", "&Help", "&About"), how="press", about=True,
         runs=["bus-en"]),
    dict(name="Mode Slow", target=("radio button", "Slow"), how="press"),
    dict(name="Flight Mode 3D, answered No", target=("radio button", "3D"), how="press", box=(107, "no")),
    dict(name="Flight Mode 3D, Escape answers No", target=("radio button", "3D"), how="press",
         box=(107, "Escape"), checked="F3C", runs=["bus-en"]),
    dict(name="Write", target=("push button", "&Write"), how="press", box=(105, "ok"),
         frames=["page"] * 9 + ["other", "read"], record=True),
    dict(name="limit: Enter", target=("check box", "&Enter"), how="press", status=121, frames=["limit on"]),
    dict(name="limit: Position to 1696", target=("slider", "Limit Position"), how="value", value=1696),
    dict(name="limit: first Set", target=("push button", "&Set"), how="press", status=122),
    dict(name="limit: Position to 352", target=("slider", "Limit Position"), how="value", value=352),
    dict(name="limit: second Set", target=("push button", "&Set"), how="press", status=123),
    dict(name="File Open, chosen in the chooser", target=("menu", "&File", "&Open..."), how="press",
         chooser="flight.tcf", lists=("5", "9"), runs=["bus-en"]),
    dict(name="File Initialize by keys, Return answers", how="keys",
         keys=[("Alt_L+", "&File", "menu"), ("", "&Initialize...", "menu")], menu=("&File", "&Initialize..."),
         box=(106, "Return"), runs=["bus-en"]),
    dict(name="File Initialize, Yes", target=("menu", "&File", "&Initialize..."), how="press", box=(106, "yes")),
    dict(name="File Exit with unwritten data, No", target=("menu", "&File", "E&xit\tAlt+F4"), how="press",
         box=(133, "no"), ends=True),
]


def target_node(program, texts, target):
    kind = target[0]
    if kind == "menu":
        title = program.control("menu item", texts.caption(target[1], "menu"))
        item = find(title, "menu item", texts.caption(target[2], "menu"), skip_lists=False)
        if item is None:
            raise Failure("no menu item %r" % texts.caption(target[2], "menu"))
        return title, item
    if kind == "title":
        return None, program.control("menu item", texts.caption(target[1], "menu"))
    if kind == "list":
        return None, program.list_named(texts.caption(target[1]))
    if kind == "slider":
        # Named by its group and caption ("Limit Position").
        group, caption = target[1].split(" ")
        return None, program.control("slider", texts.caption(group) + " " + texts.caption(caption))
    return None, program.control(kind, texts.caption(target[1]))


def act_by_bus(program, texts, row):
    """Runs one row through the bus; returns the slowest reply of it."""
    title, node = target_node(program, texts, row["target"])
    names = ["Press", "Toggle", "Click", "ShowMenu"]
    replies = []
    if row["how"] == "value":
        replies.append(set_value(node, row["value"]))
    elif row["how"] == "open":
        names = ["ShowMenu", "Press"]
        replies.append(do_action(node, names))
        popup = node if row["target"][0] == "list" else children(node)[0]
        which = pyatspi.STATE_EXPANDED if row["target"][0] == "list" else pyatspi.STATE_SHOWING
        wait_for(lambda: state(popup, which), 5, "the popup of %r to open" % node.name)
        replies.append(do_action(node, names))
        wait_for(lambda: not state(popup, which), 5, "the popup of %r to close" % node.name)
    elif row["how"] == "choose":
        replies.append(do_action(list_item(node, row["item"]), ["Toggle", "Press", "Click"]))
    else:
        replies.append(do_action(node, names))
        if row["how"] == "twice":
            replies.append(do_action(node, names))
    slowest = max(replies)
    if slowest > REPLY_LIMIT:
        raise Failure("the call replied after %.3f s" % slowest)
    answer_windows(program, texts, row, lambda button: do_action(button, ["Press", "Click"]))
    return slowest


def list_item(node, name):
    items = [n for n in walk(node, into_lists=True) if role(n) == "list item" and n.name == name]
    if len(items) != 1:
        raise Failure("the list %r holds %d items named %r" % (node.name, len(items), name))
    return items[0]


def act_by_keys(program, texts, row):
    # Without a window manager the window may have lost the keyboard after a box closed: a
    # click on the ID box (which clicks change nothing in) gives it back.
    idbox = program.control("text", texts.caption("&ID"))
    POINTER.click(idbox)
    wait_for(lambda: state(idbox, pyatspi.STATE_FOCUSED), 5, "the ID box to take the focus")
    if row["how"] == "tab":
        check_tab_order(program, texts, idbox)
        return
    for index, (modifier, *caption) in enumerate(row["keys"]):
        chord = modifier + texts.mnemonic(*caption)
        KEYS.press(chord)
        if index == 0 and row.get("menu"):
            # Alt and a menu title's letter open its menu; the next letter is then its item's.
            title, item = target_node(program, texts, ("menu",) + row["menu"])
            wait_for(lambda: state(item, pyatspi.STATE_SHOWING), 5, "the menu to open on %s" % chord)
    answer_windows(program, texts, row, None)


# The roles the template's control classes and styles show on the bus.
TEMPLATE_ROLES = [("Edit", "", "text"), ("ComboBox", "", "combo box"), ("msctls_trackbar32", "", "slider"),
                  ("Button", "BS_AUTORADIOBUTTON", "radio button"), ("Button", "BS_AUTOCHECKBOX", "check box"),
                  ("Button", "BS_PUSHBUTTON", "push button")]


def tab_stops():
    """The dialog template's tab stops in order: (role, captions). A control without a
    caption of its own goes by the caption before it (its label or group); a group of radios
    is one stop, reached at its checked radio."""
    rc = open(os.path.join(ARGS.source, "resources/windows/tarvex_languages.rc.in"), encoding="utf-8").read()
    stops, caption, radios = [], "", None
    for m in re.finditer(r'^\s*CONTROL (?:_\("((?:[^"\\]|\\.)*)"\)|"[^"]*"), (-?\d+), "(\w+)", ([^,]*),', rc, re.M):
        text = (m.group(1) or "").replace("\\n", "\n")
        cls, style = m.group(3), m.group(4)
        if "NOT WS_VISIBLE" in style:
            continue
        kind = [r for c, flag, r in TEMPLATE_ROLES if c == cls and flag in style]
        if kind == ["radio button"] and radios is not None and "WS_GROUP" not in style:
            radios[1].append(text)
            continue
        radios = None
        if not kind or "WS_TABSTOP" not in style:
            if text and not kind:
                caption = text  # a label or a group's title
            continue
        stops.append((kind[0], [text] if text else [caption]))
        if kind[0] == "radio button":
            radios = stops[-1]
    return stops


def tab_match(program, texts, node, stop):
    kind, captions = stop
    names = [texts.caption(c) for c in captions]
    if role(node) != kind:
        return False
    if kind == "radio button":
        return node.name in names and state(node, pyatspi.STATE_CHECKED)
    if kind == "combo box":
        return place(node) == place(program.list_named(names[0]))
    if kind in ("push button", "check box"):
        return node.name == names[0]
    return names[0] in node.name


def place(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def check_tab_order(program, texts, start):
    """Tab from the ID box round to it again: each stop is the template's next, as the focus
    events tell and the state confirms; only a disabled stop is passed by."""
    from gi.repository import GLib

    focused = []

    def on_focus(event):
        if event.detail1:
            focused.append(event.source)

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    try:
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass
        stops = tab_stops()
        visited = []
        for _ in range(len(stops)):
            before = len(focused)
            KEYS.press("Tab")

            def arrived():
                context.iteration(False)
                return len(focused) > before

            wait_for(arrived, 5, "a focus event after Tab")
            wait_for(lambda: state(focused[-1], pyatspi.STATE_FOCUSED), 5,
                     "%s %r to read focused" % (role(focused[-1]), focused[-1].name))
            visited.append(focused[-1])
            if place(focused[-1]) == place(start):
                break
    finally:
        pyatspi.Registry.deregisterEventListener(on_focus, "object:state-changed:focused")
    focused = visited
    reached = [(role(n), n.name) for n in focused]
    expected = stops[1:] + stops[:1]
    at = 0
    for stop in expected:
        if at < len(focused) and tab_match(program, texts, focused[at], stop):
            at += 1
            continue
        names = [texts.caption(c) for c in stop[1]]
        others = [n for n in walk(program.window) if role(n) == stop[0] and names[0] in n.name]
        if stop[0] == "radio button" or not others or state(others[0], pyatspi.STATE_ENABLED):
            raise Failure("Tab reached %s where the template's next stop is the enabled %s %r (all reached: %r)" %
                          (reached[at] if at < len(reached) else "nothing more", stop[0], names[0], reached))
    if at != len(focused):
        raise Failure("Tab reached %r beyond the template's stops" % reached[at:])


def act_by_mouse(program, texts, row, mouse):
    title, node = target_node(program, texts, row["target"])
    if row["how"] == "value":
        mouse.drag(node, row["value"] > node.queryValue().currentValue)
        wait_for(lambda: node.queryValue().currentValue == row["value"], 5,
                 "the dragged slider to reach %s" % row["value"])
    elif row["target"][0] == "menu":
        mouse.click(title)
        wait_for(lambda: state(node, pyatspi.STATE_SHOWING), 5, "the menu to open")
        mouse.click(node)
    elif row["how"] == "choose":
        mouse.click(node)
        item = list_item(node, row["item"])
        wait_for(lambda: state(item, pyatspi.STATE_SHOWING), 5, "the list's popup to open")
        # Where the item shows: the bus gives the popup's items a width of their own, wider
        # than the popup, whose centre may lie outside it.
        a = item.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        b = children(node)[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        left, right = max(a.x, b.x), min(a.x + a.width, b.x + b.width)
        mouse.move((left + right) // 2, a.y + a.height // 2)
        mouse.button(True)
        mouse.button(False)
    else:
        mouse.click(node, times=2 if row["how"] == "twice" else 1)
        if role(node) == "radio button" and not row.get("box"):
            # The click reaches the program as an X event, after which the bus may be asked.
            wait_for(lambda: state(node, pyatspi.STATE_CHECKED), 5, "the clicked radio to read checked")
    answer_windows(program, texts, row, lambda button: mouse.click(button))


def answer_windows(program, texts, row, press):
    """Answers the box, About box or chooser the row's action opens."""
    if row.get("box"):
        answer_box(program, texts, row, press)
    if row.get("about"):
        answer_about(program, press)
    if row.get("chooser"):
        answer_chooser(program, row["chooser"])


def new_dialog(program):
    """A dialog of the program other than its window (About box, chooser)."""
    found = [t for t in program.toplevels()[1:] if role(t) == "dialog"]
    return found[0] if found else None


def about_template():
    """The About box's caption, texts and button, as the dialog template has them."""
    rc = open(os.path.join(ARGS.source, "resources/windows/tarvex.rc"), encoding="utf-8").read()
    block = rc[rc.index("IDD_ABOUTBOX DIALOGEX"):]
    block = block[:block.index("\nEND")]
    caption = re.search(r'^CAPTION "([^"]*)"', block, re.M).group(1)
    controls = re.findall(r'^\s*CONTROL "([^"]*)", \w+, "(\w+)"', block, re.M)
    return caption, [t for t, c in controls if c == "Static"], [t for t, c in controls if c == "Button"]


def answer_about(program, press):
    box = wait_for(lambda: new_dialog(program), BOX_WAIT, "the About box on the bus")
    caption, lines, buttons = about_template()
    if box.name != caption:
        raise Failure("the About box is called %r, not %r" % (box.name, caption))
    shown = box_text(box)
    if [line for line in lines if line not in shown]:
        raise Failure("the About box reads %r, not %r" % (shown, lines))
    found = [n for n in walk(box) if role(n) == "push button"]
    if [b.name for b in found] != buttons:
        raise Failure("the About box's buttons are %r, not %r" % ([b.name for b in found], buttons))
    press(found[0])
    wait_for(lambda: new_dialog(program) is None, 5, "the About box to close")


# Image byte 29 (the channels: rudder in the low nibble, gain in the high one) and 73 (D gain)
# at their places in the record.
CHANNELS_AT, D_GAIN_AT = 4 + 29, 4 + 73


def gyro_record(program):
    path = os.path.join(program.folder, "vgyro.state")
    try:
        record = bytearray(open(path, "rb").read())
    except FileNotFoundError:
        raise Failure("the virtual gyro kept no state file")
    if len(record) != 85:
        raise Failure("the gyro's state file holds %d bytes, not 85" % len(record))
    return record


def answer_chooser(program, name):
    """Writes a settings file from the gyro's record (Rudder 5, Gain 9, D gain 123) and
    chooses it: its path set as the text of the chooser's name field, then its default
    button pressed."""
    record = gyro_record(program)
    record[CHANNELS_AT], record[D_GAIN_AT] = 0x84, 123
    path = os.path.join(program.folder, name)
    open(path, "wb").write(record)
    chooser = wait_for(lambda: new_dialog(program), BOX_WAIT, "the Open chooser on the bus")
    fields = [n for n in walk(chooser) if role(n) == "text" and "EditableText" in n.get_interfaces()]
    if len(fields) != 1:
        raise Failure("the chooser %r has %d name fields, not one" % (chooser.name, len(fields)))
    fields[0].queryEditableText().setTextContents(path)
    wait_for(lambda: fields[0].queryText().getText(0, -1) == path, 5, "the name field to hold the path")
    accept = [n for n in walk(chooser) if role(n) == "push button" and state(n, pyatspi.STATE_IS_DEFAULT)]
    if len(accept) != 1:
        raise Failure("the chooser has no default button")
    do_action(accept[0], ["Press", "Click"])
    wait_for(lambda: new_dialog(program) is None, 5, "the chooser to close")


def answer_box(program, texts, row, press):
    number, answer = row["box"]
    box = wait_for(lambda: new_box(program), BOX_WAIT, "message %d on the bus" % number)
    expected = texts.message(number)
    found = box_text(box)
    if expected not in found:
        raise Failure("the box reads %r, not %r" % (found, expected))
    if answer in ("Return", "Escape"):
        # The box took the keyboard as it opened.
        KEYS.press(answer)
    else:
        press(box_button(box, answer))
    if not row.get("ends"):
        wait_for(lambda: new_box(program) is None, 5, "the box to close")
        if row["how"] == "twice":
            # The second Press came while the first one's box was open: refused, as a click.
            time.sleep(0.3)
            if new_box(program) is not None:
                raise Failure("a second box opened: the second Press ran once the first box closed")


def settle(program, row):
    """Waits until the row's effect has reached the window and the gyro."""
    if row.get("ends"):
        wait_for(lambda: program.process.poll() is not None, 10, "the program to end")
        return
    # Each action runs from the event loop; a harmless call that the loop answers after it.
    time.sleep(0.05)
    program.window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if row["how"] == "value":
        wait_for(lambda: ("servo %d" % row["value"]) in program.wire()[-3:], 5,
                 "the servo to follow to %d" % row["value"])


def check_readable(program, texts, row):
    """What a screen reader reads after the row, in the window's language."""
    if row.get("ends"):
        return
    if row.get("status"):
        status = program.controls.get("status")
        if status is None:
            status = program.controls["status"] = [n for n in walk(program.window) if role(n) == "status bar"]
        if len(status) != 1:
            raise Failure("no status line on the bus")
        expected = texts.message(row["status"])
        wait_for(lambda: status[0].name == expected, 5, "the status line to read %r (reads %r)" %
                 (expected, status[0].name))
        if status[0].queryText().getText(0, -1) != expected:
            raise Failure("the status line's text is not its prompt")
    for caption in ("R&udder", "&Gain"):
        lst = program.list_named(texts.caption(caption))
        chosen = lst.name
        if not re.fullmatch(r"1[0-6]|[1-9]", chosen):
            raise Failure("the list %r tells %r, not its channel" % (texts.caption(caption), chosen))
        if "Text" not in lst.get_interfaces() or lst.queryText().getText(0, -1) != chosen:
            raise Failure("the list %r has no text of its choice" % texts.caption(caption))
    if row.get("lists"):
        def told():
            return tuple(program.list_named(texts.caption(c)).name for c in ("R&udder", "&Gain"))

        try:
            wait_for(lambda: told() == row["lists"], 5, "the lists")
        except Failure:
            raise Failure("the lists tell %s, not %s" % (told(), row["lists"]))
    if row.get("checked"):
        radio = program.control("radio button", texts.caption(row["checked"]))
        if not state(radio, pyatspi.STATE_CHECKED):
            raise Failure("%r is not checked" % radio.name)
    if row.get("record"):
        channels = gyro_record(program)[CHANNELS_AT]
        stored = ("%d" % ((channels & 15) + 1), "%d" % ((channels >> 4) + 1))
        shown = tuple(program.list_named(texts.caption(c)).name for c in ("R&udder", "&Gain"))
        if stored != shown:
            raise Failure("the gyro holds the channels %s, the lists tell %s" % (stored, shown))
    if row.get("chooser"):
        d_gain = program.control("text", texts.caption("&D gain")).queryText().getText(0, -1)
        if d_gain != "123":
            raise Failure("after Open the D gain reads %r, not the file's 123" % d_gain)
        if row["chooser"] not in program.window.name:
            raise Failure("after Open the title %r names no %r" % (program.window.name, row["chooser"]))
    if row["name"].startswith("File Initialize"):
        got = (program.list_named(texts.caption("R&udder")).name, program.list_named(texts.caption("&Gain")).name)
        if got != ("2", "3"):
            raise Failure("after Initialize the lists tell %s, not 2 and 3" % (got,))
    # A value box tells the number its slider stands at.
    box = program.control("text", texts.caption("&D gain"))
    slider = program.control("slider", texts.caption("&D gain"))
    if box.queryText().getText(0, -1) != "%d" % slider.queryValue().currentValue:
        raise Failure("the D gain box reads %r, its slider %g" %
                      (box.queryText().getText(0, -1), slider.queryValue().currentValue))
    # The check box tells whether the procedure runs; the Position slider its value, and
    # the box beside it the same position in percent (both ends are 150 %).
    enter = program.control("check box", texts.caption("&Enter"))
    running = row["name"].startswith("limit:") and row["name"] != "limit: second Set"
    if state(enter, pyatspi.STATE_CHECKED) != running:
        raise Failure("Enter reads %s" % ("checked" if not running else "clear"))
    if row["how"] == "value":
        slider = program.control("slider", texts.caption("Limit") + " " + texts.caption("Position"))
        box = program.control("text", texts.caption("Limit") + " " + texts.caption("Position"))
        if slider.queryValue().currentValue != row["value"] or box.queryText().getText(0, -1) != "150":
            raise Failure("the Position reads %g and %r" % (slider.queryValue().currentValue,
                                                           box.queryText().getText(0, -1)))
    # One radio of each group is checked.
    for first, second in (("F3C", "3D"), ("Upper side", "Bottom side")):
        checked = [state(program.control("radio button", texts.caption(c)), pyatspi.STATE_CHECKED)
                   for c in (first, second)]
        if checked.count(True) != 1:
            raise Failure("%s/%s: %s checked" % (first, second, checked))


def frame_kinds(commands, previous):
    """The kinds of logged command frames, by their flags byte (the frame's byte 15). The
    limit-mode-off frame keeps the flags of the frame before; it is told by its place."""
    kinds = []
    for line in commands:
        flags = int(line.split()[16], 16)
        if flags & 0x04:
            kind = "read"
        elif flags & 0x10:
            kind = "limit on"
        elif previous == "limit on":
            kind = "limit off"
        elif flags & 0x08:
            kind = "page"
        else:
            kind = "other"
        kinds.append(kind)
        previous = kind
    return kinds


def run(session, binary, language, mouse, reference):
    """One run of the table; returns the rows' outcomes and the failures."""
    texts = Texts(ARGS.source, language)
    label = ("mouse-" if mouse else "bus-") + language
    program = Program(session, binary, language, label)
    outcomes, failures, slowest = [], [], (0.0, "")
    for index, row in enumerate(ROWS):
        if (mouse and row.get("mouse") is False) or label not in row.get("runs", [label]):
            outcomes.append(None)
            continue
        before, started = len(program.wire()), time.monotonic()
        try:
            if row["how"] in ("keys", "tab"):
                act_by_keys(program, texts, row)
            elif mouse:
                act_by_mouse(program, texts, row, mouse)
            else:
                reply = act_by_bus(program, texts, row)
                if reply > slowest[0]:
                    slowest = (reply, row["name"])
            settle(program, row)
            check_readable(program, texts, row)
            wire = program.wire()[before:]
            commands = [line for line in wire if line.startswith("command")]
            servo = [line for line in wire if line.startswith("servo")]
            # Read where it is kept or compared: the whole tree is slow to read.
            compared = reference is not None and reference[index] is not None
            if row.get("ends"):
                state_now = ["ended %s" % program.process.returncode]
            else:
                state_now = snapshot(program.window) if mouse or compared else None
            earlier = frame_kinds([line for line in program.wire()[:before] if line.startswith("command")], None)
            kinds = frame_kinds(commands, earlier[-1] if earlier else None)
            if kinds != row.get("frames", []):
                raise Failure("the gyro got %s, not %s" % (kinds, row.get("frames", [])))
            outcome = (commands, servo[-1:], state_now)
            outcomes.append(outcome)
            if compared:
                ref_commands, ref_servo, ref_state = reference[index]
                if commands != ref_commands:
                    raise Failure("the gyro got %s, by mouse %s" % (commands, ref_commands))
                if servo[-1:] != ref_servo:
                    raise Failure("the servo ended at %s, by mouse %s" % (servo[-1:], ref_servo))
                mine, theirs = state_now, ref_state
                if language != "en":
                    mine, theirs = numeric_only(mine), numeric_only(theirs)
                if mine != theirs:
                    diff = [(a, b) for a, b in zip(mine, theirs) if a != b][:4]
                    raise Failure("the window differs from the mouse run's: %s" % diff)
            print("atspi: %s: %-40s ok  %.2f s" % (label, row["name"], time.monotonic() - started), flush=True)
        except Failure as failure:
            failures.append("%s: %s: %s" % (label, row["name"], failure))
            print("atspi: %s: %-40s FAILED: %s" % (label, row["name"], failure), flush=True)
            outcomes.append(None)
            recover(program)
            if program.process.poll() is not None:
                break
    if not mouse:
        print("atspi: %s: slowest reply %.1f ms (%s)" % (label, slowest[0] * 1000, slowest[1]), flush=True)
    program.process.kill()
    program.process.wait()
    return outcomes, failures


def recover(program):
    """After a failed row: answers whatever box is open, so the next row can run."""
    for _ in range(5):
        box = new_box(program) if program.process.poll() is None else None
        if box is None:
            return
        buttons = [n for n in walk(box) if role(n) == "push button"]
        try:
            buttons[0].queryAction().doAction(0)
        except Exception:
            pass
        time.sleep(0.5)


def main():
    global ARGS, pyatspi, KEYS, POINTER
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--languages", nargs="+", default=["en", "de", "ja"])
    parser.add_argument("--no-mouse", action="store_true")
    ARGS = parser.parse_args()
    if not os.access(ARGS.program, os.X_OK):
        fail("no program at " + ARGS.program)
    started = time.monotonic()
    session = Session()
    try:
        try:
            import pyatspi as module  # after the buses exist: it connects on import
        except ImportError as error:
            fail("pyatspi is not installed (package python3-pyatspi): %s" % error)
        pyatspi = module
        pyatspi.setTimeout(CALL_TIMEOUT_MS, CALL_TIMEOUT_MS)
        KEYS, POINTER = Keys(), Mouse()
        reference = None
        failures = []
        if not ARGS.no_mouse:
            reference, failed = run(session, ARGS.program, "en", Mouse(), None)
            failures += failed
        for language in ARGS.languages:
            failures += run(session, ARGS.program, language, None, reference)[1]
    finally:
        session.close()
    print("atspi: %.1f s in all" % (time.monotonic() - started))
    if failures:
        print("atspi: FAIL: %d rows failed:" % len(failures))
        for failure in failures:
            print("  " + failure)
        sys.exit(1)
    print("atspi: all rows passed")


if __name__ == "__main__":
    main()
