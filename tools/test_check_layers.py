"""The layer check on small source trees of its own: what it reports and what it lets pass."""

import contextlib
import io
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_layers  # noqa: E402

# base <- fs <- {db, formats} <- ui <- program; db and formats are siblings.
TABLE = """# a comment line
layer\tbase\t
layer\tfs\tbase
layer\tdb\tfs
layer\tformats\tfs
layer\tui\tdb formats
program\tapp\tui
"""


class Tree:
    def __init__(self, root):
        self.root = Path(root)
        self.table = TABLE

    def add(self, target, name, text=""):
        path = self.root / "src" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        if target:
            self.table += f"file\t{target}\t{name}\n"

    def run(self):
        """The faults the check finds, and the exit status of the command."""
        table = self.root / "layers.tsv"
        table.write_text(self.table)
        with contextlib.redirect_stderr(io.StringIO()), contextlib.redirect_stdout(io.StringIO()):
            status = check_layers.main(["check_layers.py", str(table), str(self.root / "src")])
        return (check_layers.check(table, self.root / "src") if status != 2 else None), status


class LayerCheckTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.tree = Tree(self.dir.name)
        t = self.tree
        t.add("base", "base/result.h")
        t.add("fs", "fs/copy.h", '#include "base/result.h"\n')
        t.add("db", "db/database.h", '#include "fs/copy.h"\n')
        t.add("formats", "formats/reader.h", '#include "base/result.h"\n')
        t.add("ui", "ui/window.h")

    def tearDown(self):
        self.dir.cleanup()

    def test_includes_down_the_layers_pass(self):
        t = self.tree
        # Through two links, from a relative spelling, beside system and generated headers.
        t.add("ui", "ui/window.cpp", '#include "window.h"\n#include "base/result.h"\n'
              '#include <QString>\n#include "app/generated_info.h"\n')
        t.add("db", "db/database.cpp", '#include "database.h"\n#include "../fs/copy.h"\n')
        t.add("app", "app/main.cpp", '#include "ui/window.h"\n#include "db/database.h"\n')
        # An include that is commented out or inside a string is no include.
        t.add("base", "base/result.cpp", '// #include "ui/window.h"\nauto s = "#include \\"db/database.h\\"";\n')
        self.assertEqual(t.run(), ([], 0))

    def test_upward_and_sideways_includes_are_reported(self):
        t = self.tree
        t.add("base", "base/places.cpp", '#include "base/result.h"\n\n#include "db/database.h"\n')
        t.add("fs", "fs/copy.cpp", '#  include "../ui/window.h"\n')
        t.add("formats", "formats/reader.cpp", '#include "db/database.h"\n')
        t.add("db", "db/window_use.cpp", '#include "app/main.h"\n')
        t.add("app", "app/main.h")
        t.add(None, "fs/forgotten.h")  # on disk, in no library's list
        t.add("fs", "fs/scan.cpp", '#include "fs/forgotten.h"\n')
        faults, status = t.run()
        self.assertEqual(status, 1)
        self.assertEqual(len(faults), 5, faults)
        self.assertIn("fs/scan.cpp:1: fs/forgotten.h is listed in no library", faults)
        self.assertIn("base/places.cpp:3: base includes db/database.h of db; base may use nothing below it",
                      faults)
        self.assertIn("fs/copy.cpp:1: fs includes ui/window.h of ui; fs may use base", faults)
        self.assertTrue(any(f.startswith("formats/reader.cpp:1: formats includes db/database.h")
                            for f in faults), faults)
        # A library never reaches into a program, not even one built on it.
        self.assertTrue(any(f.startswith("db/window_use.cpp:1: db includes app/main.h") for f in faults),
                        faults)

    def test_a_broken_table_is_a_usage_fault_not_a_pass(self):
        t = self.tree
        t.table += "layer\tplayer\tdevices\n"  # links a target the table does not hold
        self.assertEqual(t.run(), (None, 2))
        t.table = TABLE + "file ui ui/window.h\n"  # spaces where tabs belong
        self.assertEqual(t.run(), (None, 2))
        t.table = TABLE + "file\tnowhere\tui/window.h\n"
        self.assertEqual(t.run(), (None, 2))


if __name__ == "__main__":
    unittest.main()
