#!/usr/bin/python3
"""The scheme box as a screen reader reads it: over the desktop accessibility bus (AT-SPI),
from another process. Run by screenreader_test.sh inside a private session bus and X
display; argument: the program. Saves the controls as the scheme "Colon fix" the way a
user does, then reads the box: its name is the scheme shown, its label comes through the
"labelled by" relation, and the scheme is the selected item of its list. The number
format's box, which has a radio button for a caption, is read the same way."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
import pyatspi  # noqa: E402
from gi.repository import Atspi, GLib  # noqa: E402


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(find, what, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        time.sleep(0.1)
    fail("not found within %d s: %s" % (seconds, what))


def walk(node):
    yield node
    # A list's items are cells, read through its table; the rest is searched whole.
    if node.getState().contains(pyatspi.STATE_MANAGES_DESCENDANTS):
        return
    for child in node:
        if child is not None:
            yield from walk(child)


def find(root, role, name=None):
    for node in walk(root):
        if node.getRoleName() == role and (name is None or node.name == name):
            return node
    return None


def press(node, opens_dialog=False):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = names.index("Press") if "Press" in names else 0
    if not opens_dialog:
        action.doAction(index)
        return
    # Qt presses a tool button at once, and answers only once the dialog it opens is
    # closed: the call is left to time out, and the dialog is looked for meanwhile.
    Atspi.set_timeout(500, 0)
    try:
        action.doAction(index)
    except GLib.GError:
        pass
    finally:
        Atspi.set_timeout(-1, -1)


def labels(box):
    return [rel.getTarget(i) for rel in box.getRelationSet()
            if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY
            for i in range(rel.getNTargets())]


def selected_items(box):
    lists = [child for child in box if child is not None and child.getRoleName() == "list"]
    if not lists:
        fail("the box has no list")
    table = lists[0].queryTable()
    return [table.getAccessibleAt(row, 0).name for row in table.getSelectedRows()]


def check_box(box, name, label_role, label_name, selected):
    if box.name != name:
        fail("the box is named %r, not %r" % (box.name, name))
    found = [(target.getRoleName(), target.name) for target in labels(box)]
    if found != [(label_role, label_name)]:
        fail("the %r box is labelled by %r" % (name, found))
    if selected is not None and selected_items(box) != selected:
        fail("the %r box's list has %r selected" % (name, selected_items(box)))


def main():
    program = sys.argv[1]
    home = tempfile.mkdtemp(prefix="screenreader-")
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               QUILLMARK_NO_SPLASH_WAIT="1", HOME=home, XDG_CONFIG_HOME=home + "/config",
               XDG_CONFIG_DIRS=home + "/etc", XDG_STATE_HOME=home + "/state",
               XDG_RUNTIME_DIR=home + "/runtime")
    os.makedirs(home + "/runtime", mode=0o700)
    window = subprocess.Popen([program], env=env)
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for(lambda: next((a for a in desktop if a is not None and
                                     a.get_process_id() == window.pid), None),
                       "the program on the accessibility bus")
        # The scheme bar, then Save as, through their actions as a screen reader offers them.
        press(wait_for(lambda: find(app, "menu item", "Scheme bar"), "View > Scheme bar"))
        press(wait_for(lambda: find(app, "push button", "Save as..."), "the Save as button"),
              opens_dialog=True)
        dialog = wait_for(lambda: find(app, "dialog", "Save scheme as"), "the save dialog")
        name_box = find(dialog, "combo box")
        check_box(name_box, "", "label", "Scheme name:", None)
        field = find(name_box, "text")
        field.queryEditableText().setTextContents("Colon fix")
        press(find(dialog, "push button", "OK"))
        wait_for(lambda: None if find(app, "dialog", "Save scheme as") else True,
                 "the save dialog to close")

        box = wait_for(lambda: find(app, "combo box", "Colon fix"), "a box named Colon fix")
        check_box(box, "Colon fix", "label", "Scheme:", ["Colon fix"])
        number = wait_for(lambda: next((b for b in walk(app) if b.getRoleName() == "combo box"
                                        and labels(b) and labels(b)[0].getRoleName() ==
                                        "radio button"), None), "the number format's box")
        edit = find(number, "text")
        edit.queryEditableText().setTextContents("#.##0")
        check_box(number, "#.##0", "radio button", "Advanced format:", None)
    finally:
        window.terminate()
        window.wait(10)
        shutil.rmtree(home, ignore_errors=True)
    print("scheme box read over AT-SPI: name, label, selected item")


main()
