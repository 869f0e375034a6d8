#!/usr/bin/python3
"""Reads the running program as a screen reader does, through AT-SPI, and listens to what it sends.

atspi_check.py PID STEP [ARG...]
  main                   the main window after unlocking, and every window's role
  editor                 presses Add through the action interface, then reads the editor
atspi_check.py PIDFILE STEP [ARG...], started before the program, whose process
id PIDFILE comes to hold; it listens until the program has ended:
  first-use TYPED        the first start's password window, a dialog read with its
                         instruction (mark: window); TYPED typed in the first box
                         (first box), TYPED plus one character, then Backspace, in
                         the second (typed); the status line's announcement of the
                         new password (announced)
  later-start WRONG TYPED USERNAME
                         a later start's password window (window); WRONG typed and
                         refused (refused), then cleared (cleared); TYPED typed
                         (typed); the status line's announcement of the loaded vault
                         (announced); the list gets the focus empty (empty), an entry
                         is added (added), the list gets the focus with the entry of
                         USERNAME under its cursor (entry)
atspi_check.py - spoken LOG TYPED...
                         what Orca said, from its debug log LOG: no TYPED, nor any
                         of their characters

A listening step also hears every key as screen readers do: a key that types
into a password box comes only as the mask, with no key code.

A listening step prints each mark once what it waits for has come (at most
ATSPI_WAIT seconds, 20 by default, after the mark before it), and the mark
"ended" once the program has. Every step prints what is wrong and exits 1.
"""
import os
import re
import sys
import time

import pyatspi
from gi.repository import GLib

WAIT = float(os.environ.get("ATSPI_WAIT", "20"))
problems = []


def check(ok, message):
    if not ok:
        problems.append(message)


def give_up(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def wait_for(find, what):
    """Polls find() until it returns something, or gives up after WAIT seconds
    saying what was missing (what may be a function, to say it as it is then)."""
    deadline = time.monotonic() + WAIT
    while True:
        try:
            found = find()
        except Exception:  # an object that went away mid-read: read again
            found = None
        if found:
            return found
        if time.monotonic() > deadline:
            give_up(f"no {what() if callable(what) else what} after {WAIT:.0f} s")
        time.sleep(0.05)


def the_program(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            app.clear_cache()  # states and names change between reads
            return app
    return None


def program(pid):
    return wait_for(lambda: the_program(pid),
                    f"application of process {pid} on the accessibility bus (is the bus reachable?)")


def showing(acc):
    states = acc.getState()
    return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)


def window(pid, name, prefix=False):
    """The showing top-level window of that name (or whose name starts with it)."""
    def find():
        for w in the_program(pid) or []:
            if w is not None and (w.name.startswith(name) if prefix else w.name == name) and showing(w):
                return w
        return None
    return wait_for(find, f"showing window named '{name}{'...' if prefix else ''}'")


def descendants(acc):
    for child in acc:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def of_role(acc, *roles, only_showing=True):
    return [a for a in descendants(acc) if a.getRole() in roles and (showing(a) or not only_showing)]


def text_of(acc):
    try:
        return acc.queryText().getText(0, -1)
    except NotImplementedError:
        return ""


def character_count(acc):
    try:
        return acc.queryText().characterCount
    except NotImplementedError:
        return -1


def press(acc, action="Press"):
    actions = acc.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) == action:
            if not actions.doAction(i):
                give_up(f"'{acc.name}' refused its {action} action")
            return
    give_up(f"'{acc.name}' has no {action} action, only {[actions.getName(i) for i in range(actions.nActions)]}")


def names(accs):
    return [a.name for a in accs]


def buttons_named(where, win):
    buttons = of_role(win, pyatspi.ROLE_PUSH_BUTTON, only_showing=False)
    check(buttons, f"the {where} has no push button at all")
    for b in buttons:
        check(b.name.strip(), f"a push button of the {where} has no name (description '{b.description}')")
    return buttons


def has_role(what, acc, *roles):
    check(acc.getRole() in roles, f"{what} reaches screen readers as a {acc.getRoleName()}, "
          f"expected a {' or '.join(pyatspi.Atspi.role_get_name(r) for r in roles)}")


def instruction(where, win, starts):
    """The window's text that a screen reader reads as it opens: a showing label
    of the window, tied to no box (a box's label is read with the box)."""
    said = [a for a in of_role(win, pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC) if a.name.startswith(starts)]
    check(len(said) == 1, f"the {where} shows {len(said)} labels starting '{starts}', expected 1, among "
          f"{names(of_role(win, pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC))}")
    for label in said:
        check(not label.getRelationSet(), f"the {where}'s text '{label.name}' is tied to a box, so it is "
              "not read with the window")


class Listener:
    """What the program sends while it runs: every event's text is kept from
    the secrets while guarding, and a password box's only ever carries its
    mask; text added to and taken from the password boxes is counted.

    It listens from before the program starts until it has ended: the program
    asks the accessibility registry which events are listened to, waiting for
    the answer, whenever a listener comes or goes, and a screen reader that
    waits for the program meanwhile would hold everything up."""

    KINDS = ("object:text-changed", "object:state-changed", "object:property-change",
             "object:text-caret-moved", "object:text-selection-changed", "object:children-changed",
             "object:active-descendant-changed", "object:text-attributes-changed", "window:", "focus:")

    def __init__(self, pid_file, secrets=""):
        self.pid_file = pid_file
        self.pid = None
        self.secrets = set(secrets)
        self.guarding = bool(secrets)
        self.inserted = self.removed = 0
        self.notices = []   # what status line notifications said, in order
        self.focused = []   # (role, name, description) of what got the focus, in order
        self.heard = 0
        self.masked_keys = 0  # key presses heard as the mask
        self.expect_masked = 0

    def started(self):
        if self.pid is None:
            try:
                with open(self.pid_file) as f:
                    self.pid = int(f.read().strip())
            except (OSError, ValueError):
                pass
        return self.pid is not None

    def ended(self):
        """The program has ended (and been waited for, or is only a zombie)."""
        try:
            with open(f"/proc/{self.pid}/stat") as f:
                return f.read().rsplit(")", 1)[1].split()[0] == "Z"
        except OSError:
            return True

    def on_event(self, event):
        if not self.started():
            return
        try:
            source = event.source
            if source is None or source.get_process_id() != self.pid:
                return
            role, name = source.getRole(), source.name
        except Exception:  # gone already
            return
        self.heard += 1
        data = event.any_data if isinstance(event.any_data, str) else ""
        what = f"{event.type} of the {source.getRoleName()} '{name}'"
        if role == pyatspi.ROLE_PASSWORD_TEXT and event.type.startswith("object:text-changed"):
            check(set(data) <= {"*"}, f"{what} carries '{data}', not only the box's mask")
            if event.type.endswith(":insert"):
                self.inserted += len(data)
            elif event.type.endswith(":delete"):
                self.removed += len(data)
        elif self.guarding and self.secrets & set(data + name):
            check(False, f"{what} gives a typed character away: '{data or name}'")
        if event.type == "object:state-changed:showing" and event.detail1 and role == pyatspi.ROLE_NOTIFICATION:
            if pyatspi.findAncestor(source, lambda a: a and a.getRole() == pyatspi.ROLE_STATUS_BAR):
                self.notices.append(name)
        if event.type == "object:state-changed:focused" and event.detail1:
            self.focused.append((role, name, source.description))
            print(f"focus {source.getRoleName()} '{name}'", flush=True)

    def on_key(self, event):
        """A key as the registry hands it to screen readers: while guarding, a
        key that types a character comes only as the mask, with no key code,
        and no key's text or symbol is a typed character."""
        text, symbol = event.event_string or "", event.id
        if text == "*" and event.type == pyatspi.KEY_PRESSED_EVENT:
            self.masked_keys += 1
        if not self.guarding:
            return False
        what = (f"a key {'press' if event.type == pyatspi.KEY_PRESSED_EVENT else 'release'} "
                f"('{text}', symbol {symbol:#x}, key code {event.hw_code})")
        typing = (len(text) == 1 and text.isprintable()) or text == "space"
        named = {chr(symbol), chr(symbol).upper()} if 0 < symbol < 0x100 else set()
        check(not (self.secrets & (set(text) | named)), f"{what} gives a typed character away")
        check(not typing or (text == "*" and event.hw_code == 0), f"{what} types a character, not the mask")
        return False

    def run(self, marks):
        """marks: (mark, holds, what) in order; holds() is asked after every
        event and every 50 ms, and what() says what was waited for if it
        never holds. After the last, waits for the program to end."""
        pending = list(marks) + [("ended", lambda: self.started() and self.ended(),
                                  lambda: "the program did not end")]
        deadline = [time.monotonic() + WAIT]

        def step():
            while pending and pending[0][1]():
                print(pending.pop(0)[0], flush=True)
                deadline[0] = time.monotonic() + WAIT
            if pending and time.monotonic() > deadline[0]:
                problems.append(f"{pending[0][2]()} after {WAIT:.0f} s")
                pending.clear()
            if not pending:
                pyatspi.Registry.stop()

        def on_event(event):
            self.on_event(event)
            step()

        pyatspi.Registry.registerEventListener(on_event, *self.KINDS)
        # Every combination of modifiers, as Orca listens; told afterwards, so
        # that nothing waits on this listener.
        pyatspi.Registry.registerKeystrokeListener(self.on_key, mask=list(range(256)), synchronous=False,
                                                   preemptive=False)
        GLib.timeout_add(50, lambda: step() or True)
        pyatspi.Registry.start(gil=False)
        check(self.masked_keys >= self.expect_masked, f"of the {self.expect_masked} keys typed into password boxes, "
              f"only {self.masked_keys} reached screen readers, as the mask")

    def announced(self, text):
        return ("announced", lambda: text in self.notices,
                lambda: f"no status line notification '{text}' among {self.notices}")

    def got(self, inserted, removed):
        holds = lambda: self.inserted == inserted and self.removed == removed
        return holds, lambda: (f"{inserted} masked characters typed and {removed} removed in the password boxes, "
                               f"only {self.inserted} typed and {self.removed} removed ({self.heard} events heard)")

    def password_window(self, where, starts):
        """A mark: the password window has opened, a dialog read with its instruction."""
        def opened():
            if not self.started() or not the_program(self.pid):
                return False
            win = window(self.pid, "Password Required")
            has_role(f"the {where}'s password window", win, pyatspi.ROLE_DIALOG)
            instruction(f"{where}'s password window", win, starts)
            return True
        return ("window", opened, lambda: "no password window")


def first_use(pid_file, typed):
    heard = Listener(pid_file, typed)
    heard.expect_masked = 2 * len(typed) + 1
    first_filled, what_first = heard.got(len(typed), 0)
    filled, what = heard.got(2 * len(typed) + 1, 1)

    def boxes_read():
        """What the boxes let a screen reader read once the first is filled:
        their names, and nowhere the typed password."""
        win = window(heard.pid, "Password Required")
        boxes = of_role(win, pyatspi.ROLE_PASSWORD_TEXT)
        check(names(boxes) == ["Password", "Retype Password"],
              f"the first start's password boxes are {names(boxes)}, expected ['Password', 'Retype Password']")
        counts = [character_count(b) for b in boxes]
        check(counts == [len(typed), 0], f"the password boxes hold {counts} characters, expected {[len(typed), 0]}")
        for b in boxes:
            check(typed not in text_of(b), f"password box '{b.name}' gives away the typed password: '{text_of(b)}'")
        for a in [win, *descendants(win)]:
            for kind, value in (("name", a.name), ("description", a.description), ("text", text_of(a))):
                check(typed not in value, f"the {kind} of a {a.getRoleName()} in the password window holds the typed password")
        return True

    def typed_all():
        # The main window and the help come next, with texts of their own.
        heard.guarding = False
        return True

    heard.run([("ready", lambda: True, None),
               heard.password_window("first start", "Because this is the first time you have used "),
               ("first box", lambda: first_filled() and boxes_read(), what_first),
               ("typed", lambda: filled() and typed_all(), what),
               heard.announced("Password created successfully")])


def later_start(pid_file, wrong, typed, username):
    heard = Listener(pid_file, wrong + typed)
    heard.expect_masked = len(wrong) + len(typed)
    wrong_typed, what_wrong = heard.got(len(wrong), 0)
    cleared, what_cleared = heard.got(len(wrong), len(wrong))
    all_typed, what_typed = heard.got(len(wrong) + len(typed), len(wrong))
    lists = (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE)

    def one_box():
        win = window(heard.pid, "Password Required")
        boxes = wait_for(lambda: of_role(win, pyatspi.ROLE_PASSWORD_TEXT), "showing password box")
        check(names(boxes) == ["Password"], f"a later start shows the password boxes {names(boxes)}, expected ['Password']")
        buttons_named("password window", win)
        return True

    def refused():
        box = window(heard.pid, "Incorrect Password")
        has_role("the 'Incorrect Password' box", box, pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)
        text = "Sorry, the password you entered was not correct."
        check(text in [a.name for a in of_role(box, pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC)] + [box.description],
              f"the 'Incorrect Password' box does not show '{text}' to a screen reader")
        return True

    def typed_all():
        heard.guarding = False
        return True

    def list_focused(description):
        return any(r in lists and n == "Entries" and d.startswith(description) for r, n, d in heard.focused)

    def on_entry():
        return heard.focused[-1][:2] == (pyatspi.ROLE_TABLE_CELL, username) and list_focused("One entry")

    window_mark, opened = heard.password_window("later start", "Please enter your password")[:2]
    heard.run([
        ("ready", lambda: True, None),
        (window_mark, lambda: opened() and one_box(), lambda: "no password window"),
        ("refused", lambda: wrong_typed() and refused(), what_wrong),
        ("cleared", cleared, what_cleared),
        ("typed", lambda: all_typed() and typed_all(), what_typed),
        heard.announced("Loaded 0 entries"),
        ("empty", lambda: list_focused("The list is empty."),
         lambda: f"no focus on the empty list 'Entries' with a description that says so; focused: {heard.focused}"),
        ("added", lambda: "Added new entry.  Data saved." in heard.notices,
         lambda: f"no status line notification 'Added new entry.  Data saved.' among {heard.notices}"),
        # The list, then the entry under its cursor: what a screen reader reads last.
        ("entry", on_entry,
         lambda: f"the list and then its entry '{username}' did not get the focus; focused: {heard.focused}"),
    ])


def main_window(pid):
    app = program(pid)
    win = window(pid, "Tressik by", prefix=True)
    has_role("the main window", win, pyatspi.ROLE_FRAME)
    for w in app:
        if w is not None:
            check(w.getRole() not in (pyatspi.ROLE_FILLER, pyatspi.ROLE_PANEL),
                  f"the window '{w.name}' reaches screen readers as a {w.getRoleName()}, not as a window")
    # Qt reads a tree view with columns as a tree; it still has the table interface.
    def entries():
        return [a for a in of_role(win, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE)
                if a.name == "Entries"]
    lists = wait_for(entries, lambda: "showing list named 'Entries' among the lists "
                     f"{names(of_role(win, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE))}")
    check(len(lists) == 1, f"the main window has {len(lists)} showing lists named 'Entries', expected 1")
    for lst in lists:
        for column in ("Username", "Password", "Website/Location"):
            check(column in lst.description, f"the list's description '{lst.description}' does not mention '{column}'")
        try:
            columns = lst.queryTable().nColumns
            check(columns == 3, f"the list's table interface has {columns} columns, expected 3")
        except NotImplementedError:
            check(False, f"the list (a {lst.getRoleName()}) has no table interface")
        headers = names(of_role(lst, pyatspi.ROLE_TABLE_COLUMN_HEADER, only_showing=False))
        check(headers == ["Username", "Password", "Website/Location"], f"the list's column headers are {headers}")
    bars = of_role(win, pyatspi.ROLE_STATUS_BAR)
    check(len(bars) == 1, f"the main window shows {len(bars)} status bars, expected 1")
    for bar in bars:
        said = [a.name for a in of_role(bar, pyatspi.ROLE_LABEL)]
        check("Loaded 0 entries" in said, f"the status bar reads {said}, expected 'Loaded 0 entries'")
    buttons = buttons_named("main window", win)
    check("Add" in names(buttons), f"the main window has no 'Add' button among {names(buttons)}")


def editor(pid):
    program(pid)
    win = window(pid, "Tressik by", prefix=True)
    adds = [b for b in of_role(win, pyatspi.ROLE_PUSH_BUTTON) if b.name == "Add"]
    if len(adds) != 1:
        give_up(f"the main window shows {len(adds)} push buttons named 'Add'")
    press(adds[0])
    ed = window(pid, "Add an entry")
    has_role("the editor", ed, pyatspi.ROLE_DIALOG)
    def boxes_of_editor():
        return of_role(ed, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
    wait_for(lambda: len(boxes_of_editor()) == 3,
             lambda: f"three showing text boxes in the editor, only {names(boxes_of_editor())}")
    boxes = boxes_of_editor()
    check(names(boxes) == ["Username", "Password", "Website"],
          f"the editor's text boxes are {names(boxes)}, expected ['Username', 'Password', 'Website']")
    buttons_named("editor", ed)


def spoken(log, secrets):
    """What Orca said: never a typed character or password, and the masks."""
    with open(log, errors="replace") as f:
        said = re.findall(r"SPEECH OUTPUT: '(.*?)'(?: voice=\w+)? ?\{", f.read(), re.S)
    chars = set("".join(secrets))
    for u in said:
        check(u.strip(" .") not in chars, f"Orca said the typed character '{u}'")
        for s in secrets:
            check(s not in u, f"Orca said the typed password: '{u}'")
    check("*" in said, "Orca never echoed a password box's mask: did the typed characters reach it at all?")


def run():
    if len(sys.argv) < 3:
        give_up(__doc__)
    who, step, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    steps = {"first-use": (1, lambda: first_use(who, *args)), "later-start": (3, lambda: later_start(who, *args)),
             "main": (0, lambda: main_window(int(who))), "editor": (0, lambda: editor(int(who))),
             "spoken": (2, lambda: spoken(args[0], args[1:]))}
    if step not in steps:
        give_up(f"no step '{step}'")
    count, do = steps[step]
    if len(args) < count:
        give_up(__doc__)
    do()
    for p in problems:
        print(f"FAIL: {p}", file=sys.stderr)
    sys.exit(1 if problems else 0)


run()
