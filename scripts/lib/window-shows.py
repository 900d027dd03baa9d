#!/usr/bin/python3
# Waits until a running program's window shows the given texts, read through
# the desktop's accessibility interface (AT-SPI) as a screen reader reads
# it: the labels and buttons the user sees, not the program's own trace.
#   window-shows.py APP SECONDS TEXT...
# A TEXT "enabled:NAME" asks for a button NAME that can be pressed,
# "disabled:NAME" for one that cannot. Prints what the window shows and
# exits 1 when a text did not appear in time.
import sys
import time

import pyatspi


def controls(node):
    try:
        name, role = node.name, node.getRoleName()
        enabled = node.getState().contains(pyatspi.STATE_ENABLED)
    except Exception:  # a control that went away while it was read
        return
    if name:
        yield role, name, enabled
    for i in range(node.childCount):
        yield from controls(node.getChildAtIndex(i))


def shown(app_name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == app_name:
            return list(controls(app))
    return []


def missing(wanted, seen):
    names = {name for _, name, _ in seen}
    buttons = {name: enabled for role, name, enabled in seen if role == "push button"}
    lost = []
    for text in wanted:
        kind, _, name = text.partition(":")
        if kind in ("enabled", "disabled") and name:
            if buttons.get(name) != (kind == "enabled"):
                lost.append(text)
        elif text not in names:
            lost.append(text)
    return lost


def main():
    app_name, seconds, wanted = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
    end = time.monotonic() + seconds
    while True:
        seen = shown(app_name)
        lost = missing(wanted, seen)
        if not lost or time.monotonic() > end:
            break
        time.sleep(0.5)
    for role, name, enabled in seen:
        print(f"  {role}: {name}{'' if enabled else ' (disabled)'}")
    for text in lost:
        print(f"window-shows: not shown: {text}", file=sys.stderr)
    return 1 if lost else 0


sys.exit(main())
