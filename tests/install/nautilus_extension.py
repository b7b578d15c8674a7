#!/usr/bin/env python3
"""Loads the file manager extension given as the argument twice: without the file
manager's Python bindings, where it must load and define no menu, and with stand-ins
for them, where its menu item must start the program on the local files selected."""
import importlib.util
import os
import sys
import tempfile
import types


def load(path):
    spec = importlib.util.spec_from_file_location("extension", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def main(path):
    assert "gi" not in sys.modules
    sys.modules["gi"] = None  # as when python3-gi is absent: the import fails
    bare = load(path)
    assert bare.Nautilus is None and not hasattr(bare, "QuillmarkRenameMenu"), "menu without bindings"

    started = []
    folder = tempfile.mkdtemp()  # removed with the test's own temporary folder
    program = os.path.join(folder, "quillmark")
    with open(program, "w") as f:
        f.write("#!/bin/sh\n")
    os.chmod(program, 0o755)
    gi = types.ModuleType("gi")
    gi.require_version = lambda name, version: None
    repository = types.ModuleType("gi.repository")
    repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))

    class MenuItem:
        def __init__(self, **properties):
            self.properties, self.handlers = properties, []

        def connect(self, signal, handler, *data):
            self.handlers.append((signal, handler, data))

    repository.Nautilus = types.SimpleNamespace(MenuProvider=type("MenuProvider", (), {}), MenuItem=MenuItem)
    repository.GLib = types.SimpleNamespace(
        SpawnFlags=types.SimpleNamespace(SEARCH_PATH=1),
        spawn_async=lambda argv, flags: started.append(argv),
        find_program_in_path=lambda name: program if os.environ["PATH"] == folder else None,
    )
    gi.repository = repository
    sys.modules.update({"gi": gi, "gi.repository": repository})
    menu = load(path).QuillmarkRenameMenu()

    def file(local):
        location = types.SimpleNamespace(get_path=lambda: local)
        return types.SimpleNamespace(get_location=lambda: location)

    selection = [file("/photos/-a.jpg"), file(None), file("/photos/b c")]
    os.environ["PATH"] = folder
    items = menu.get_file_items(selection)  # the 4.0 call; 3.0 passes a window first
    assert len(items) == 1 and items[0].properties["label"] == "Rename with Quillmark", items
    assert menu.get_file_items(None, [file(None)]) == [], "menu for remote files only"
    signal, handler, data = items[0].handlers[0]
    assert signal == "activate"
    handler(items[0], *data)
    assert started == [["quillmark", "--", "/photos/-a.jpg", "/photos/b c"]], started
    os.environ["PATH"] = "/nonexistent"
    assert menu.get_file_items(selection) == [], "menu without the program"
    print("nautilus extension ok")


if __name__ == "__main__":
    main(sys.argv[1])
