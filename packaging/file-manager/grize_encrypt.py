# Nautilus (with python3-nautilus): "Grize-Encrypt" for one local regular
# file, never for several, since grize takes its whole command line as one path.
from gi.repository import GLib, GObject, Nautilus


class GrizeEncrypt(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # The last argument is the selection; older versions pass the window first.
        files = args[-1]
        if len(files) != 1 or files[0].get_uri_scheme() != "file" or files[0].is_directory():
            return []
        path = files[0].get_location().get_path()
        item = Nautilus.MenuItem(name="GrizeEncrypt::encrypt", label="Grize-Encrypt",
                                 tip="Encrypt or decrypt this file with Grize")
        item.connect("activate", lambda _item: GLib.spawn_async(
            ["grize", path], flags=GLib.SpawnFlags.SEARCH_PATH))
        return [item]

    def get_background_items(self, *args):
        return []
