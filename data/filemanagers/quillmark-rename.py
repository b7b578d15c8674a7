# "Rename with Quillmark" in the file manager's context menu: puts the selected files and
# folders in Quillmark's list. Loaded by python3-nautilus; anywhere else it defines nothing.
try:
    import gi

    try:
        gi.require_version("Nautilus", "4.0")
    except ValueError:
        gi.require_version("Nautilus", "3.0")
    from gi.repository import GLib, GObject, Nautilus
except (ImportError, ValueError):
    Nautilus = None

PROGRAM = "quillmark"


def rename_command(paths):
    """The command that opens `paths` in Quillmark; "--" so no name is read as a switch."""
    return [PROGRAM, "--"] + list(paths)


def local_paths(files):
    """The paths of the files that have one; files of remote places have none."""
    paths = []
    for item in files:
        location = item.get_location()
        path = location.get_path() if location is not None else None
        if path:
            paths.append(path)
    return paths


if Nautilus is not None:

    class QuillmarkRenameMenu(GObject.GObject, Nautilus.MenuProvider):
        def _activate(self, _item, paths):
            # Started on its own: the file manager neither waits for it nor ends with it.
            GLib.spawn_async(rename_command(paths), flags=GLib.SpawnFlags.SEARCH_PATH)

        # Version 3.0 passes the window first, 4.0 passes the files alone.
        def get_file_items(self, *args):
            paths = local_paths(args[-1])
            if not paths or GLib.find_program_in_path(PROGRAM) is None:
                return []
            item = Nautilus.MenuItem(
                name="Quillmark::Rename", label="Rename with Quillmark", icon="quillmark"
            )
            item.connect("activate", self._activate, paths)
            return [item]
