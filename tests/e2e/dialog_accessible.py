#!/usr/bin/python3
"""Prints what the accessibility tree shows of the dialog that the
application named APP (default boleto-sr) has open: "icon" or "no icon",
then the text of each of its labels that is not empty. Waits up to ten
seconds for the dialog; exit status 1 when none appears."""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

APP = sys.argv[1] if len(sys.argv) > 1 else "boleto-sr"
LIMIT_SECONDS = 10


def descendants(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child
            yield from descendants(child)


def open_dialog():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_name() != APP:
            continue
        for window in descendants(app):
            if window.get_role() == Atspi.Role.ALERT and window.get_state_set().contains(
                Atspi.StateType.SHOWING
            ):
                return window
    return None


deadline = time.monotonic() + LIMIT_SECONDS
dialog = open_dialog()
while dialog is None and time.monotonic() < deadline:
    time.sleep(0.1)
    dialog = open_dialog()
if dialog is None:
    sys.exit(1)
nodes = list(descendants(dialog))
icon = any(n.get_role() == Atspi.Role.ICON for n in nodes)
print("icon" if icon else "no icon")
for n in nodes:
    if n.get_role() == Atspi.Role.LABEL and n.get_name():
        print(n.get_name())
