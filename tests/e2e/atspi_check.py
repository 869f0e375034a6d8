#!/usr/bin/python3
"""Reads the running program as a screen reader does, through AT-SPI.

atspi_check.py PID STEP [TYPED]
  first-use TYPED  the password window of a first start, TYPED typed in both boxes
  later-start      the password window of a later start
  main             the main window after unlocking
  editor           presses Add through the action interface, then reads the editor

Each step waits (ATSPI_WAIT seconds, 20 by default) for the windows it reads,
then checks them once; it prints what is wrong and exits 1.
"""
import os
import sys
import time

import pyatspi

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


def first_use(pid, typed):
    program(pid)
    win = window(pid, "Password Required")
    # Wait until every typed character has reached both boxes, so that what
    # follows reads them with the password in them.
    def filled():
        boxes = of_role(win, pyatspi.ROLE_PASSWORD_TEXT)
        return len(boxes) == 2 and all(character_count(b) == len(typed) for b in boxes)
    wait_for(filled, lambda: f"two showing password boxes holding {len(typed)} characters each, only "
             f"{[(b.name, character_count(b)) for b in of_role(win, pyatspi.ROLE_PASSWORD_TEXT)]}")
    boxes = of_role(win, pyatspi.ROLE_PASSWORD_TEXT)
    check(names(boxes) == ["Password", "Retype Password"],
          f"the first start's password boxes are {names(boxes)}, expected ['Password', 'Retype Password']")
    for b in boxes:
        check(typed not in text_of(b), f"password box '{b.name}' gives away the typed password: '{text_of(b)}'")
    # Nothing else a screen reader can read of the window says it either.
    for a in [win, *descendants(win)]:
        for what, value in (("name", a.name), ("description", a.description), ("text", text_of(a))):
            check(typed not in value, f"the {what} of a {a.getRoleName()} in the password window holds the typed password")


def later_start(pid):
    program(pid)
    win = window(pid, "Password Required")
    boxes = wait_for(lambda: of_role(win, pyatspi.ROLE_PASSWORD_TEXT), "showing password box")
    check(names(boxes) == ["Password"], f"a later start shows the password boxes {names(boxes)}, expected ['Password']")
    buttons_named("password window", win)


def main_window(pid):
    program(pid)
    win = window(pid, "Tressik by", prefix=True)
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
    def boxes_of_editor():
        return of_role(ed, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)
    wait_for(lambda: len(boxes_of_editor()) == 3,
             lambda: f"three showing text boxes in the editor, only {names(boxes_of_editor())}")
    boxes = boxes_of_editor()
    check(names(boxes) == ["Username", "Password", "Website"],
          f"the editor's text boxes are {names(boxes)}, expected ['Username', 'Password', 'Website']")
    buttons_named("editor", ed)


def run():
    if len(sys.argv) < 3:
        give_up(__doc__)
    pid, step = int(sys.argv[1]), sys.argv[2]
    steps = {"first-use": lambda: first_use(pid, sys.argv[3]), "later-start": lambda: later_start(pid),
             "main": lambda: main_window(pid), "editor": lambda: editor(pid)}
    if step not in steps:
        give_up(f"no step '{step}'")
    steps[step]()
    for p in problems:
        print(f"FAIL: {p}", file=sys.stderr)
    sys.exit(1 if problems else 0)


run()
