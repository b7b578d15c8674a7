#!/usr/bin/env python3
"""Loads the file manager extension given as the argument without the file manager's
Python bindings (it must load and define no menu), then with stand-ins for them (its
item must start the program on the local files selected, and only when it is found)."""
import importlib.util
import sys
import types


def load(path):
    found = importlib.util.spec_from_file_location("extension", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def file(path):
    location = types.SimpleNamespace(get_path=lambda: path)
    return types.SimpleNamespace(get_location=lambda: location)


sys.modules["gi"] = None  # as without python3-gi: the import fails
assert not hasattr(load(sys.argv[1]), "QuillmarkRenameMenu"), "a menu without the bindings"

started, found = [], {"quillmark": "/usr/bin/quillmark"}
glib = types.SimpleNamespace(SpawnFlags=types.SimpleNamespace(SEARCH_PATH=1),
                             spawn_async=lambda argv, flags: started.append(argv),
                             find_program_in_path=found.get)
item = types.SimpleNamespace(connect=lambda signal, handler, *data: item.__dict__.update(
    activate=lambda: handler(item, *data)))
nautilus = types.SimpleNamespace(MenuProvider=type("MenuProvider", (), {}),
                                 MenuItem=lambda **properties: item)
repository = types.SimpleNamespace(GLib=glib, Nautilus=nautilus,
                                   GObject=types.SimpleNamespace(GObject=type("GObject", (), {})))
sys.modules.update({"gi": types.SimpleNamespace(require_version=lambda *a: None, repository=repository),
                    "gi.repository": repository})
menu = load(sys.argv[1]).QuillmarkRenameMenu()
selection = [file("/photos/-a.jpg"), file(None), file("/photos/b c")]
assert menu.get_file_items(selection) == [item]  # the 4.0 call; 3.0 passes a window first
item.activate()
assert started == [["quillmark", "--", "/photos/-a.jpg", "/photos/b c"]], started
assert menu.get_file_items(None, [file(None)]) == [], "a menu for remote files only"
found.clear()
assert menu.get_file_items(selection) == [], "a menu without the program"
print("nautilus extension ok")
