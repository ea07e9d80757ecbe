#!/usr/bin/env python3
"""Checks of the benchmark suite's own parts: the report's arithmetic and chart, and that the
peers written for it do the same work as the program.
Run: python3 -m unittest discover -s bench -p 'test_*.py'
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import bench_report  # noqa: E402


def read(path):
    with open(path, "rb") as f:
        return f.read()

CLI = os.environ.get("QUENDA_CLI", os.path.join(HERE, "..", "build", "release", "src",
                                                "quenda-ipod-cli"))


class ReportTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.ledger = os.path.join(self.dir.name, "ledger.tsv")
        self.lines = []

    def tearDown(self):
        self.dir.cleanup()

    def add(self, section, group, job, units, ours, peer, extra=None):
        """ours, peer: lists of run times; extra: a third command placed between them."""
        path = os.path.join(self.dir.name, f"{len(self.lines)}.json")
        results = [{"mean": sum(t) / len(t), "times": t} for t in [ours] + [extra or []] + [peer]
                   if t]
        with open(path, "w") as f:
            json.dump({"results": results}, f)
        self.lines.append([section, group, job, f"{units} x", str(units), "unit", path, "0",
                           str(len(results) - 1)])

    def entries(self):
        with open(self.ledger, "w") as f:
            f.writelines("\t".join(line) + "\n" for line in self.lines)
        return bench_report.read_ledger(self.ledger)

    def test_table_rows_ratio_spread_and_failures(self):
        self.add("main", "a", "fast job", 10, [1.0, 1.0], [2.0, 2.0])
        self.add("main", "b", "three commands", 10, [3.0, 3.0], [2.0, 2.0], extra=[9.0])
        self.lines.append(["main", "c", "broken job", "1 x", "1", "unit",
                           "failed: see hyperfine.log", "0", "1"])
        self.lines.append(["too", "short"])  # a torn line is passed over, not fatal
        rows = bench_report.main_rows(self.entries())
        self.assertEqual([r[0] for r in rows], ["fast job", "three commands", "broken job"])
        self.assertEqual(rows[0][2:6], ["1.00 s", "2.00 s", "0.50x", "±0% / ±0%"])
        # The peer is the last command, not the one next to ours.
        self.assertEqual(rows[1][4], "1.50x")
        self.assertEqual(rows[2][2:5], ["-", "-", "failed: see hyperfine.log"])

    def test_growth_per_unit_and_findings(self):
        # Linear peer; ours doubles its per-unit cost from the second size to the third.
        self.add("growth", "split", "split", 4, [0.4], [0.8])
        self.add("growth", "split", "split", 64, [25.6], [12.8])  # out of order, 16x the first
        self.add("growth", "split", "split", 16, [1.6], [3.2])
        rows, findings = bench_report.growth_rows(self.entries())
        self.assertEqual([r[1] for r in rows], ["4 x", "16 x", "64 x"])
        self.assertEqual(rows[0][2:], ["100.0 ms/unit", "200.0 ms/unit", "-", "-"])
        self.assertEqual(rows[1][4:], ["1.00x", "1.00x"])
        self.assertEqual(rows[2][4:], ["4.00x (!)", "1.00x"])
        self.assertEqual(len(findings), 1)
        self.assertIn("64 x", findings[0])

    def test_growth_is_scaled_to_steps_of_four(self):
        # A 16x step with a 4x rise in per-unit cost is 2x per 4x, past the limit.
        self.add("growth", "g", "copy", 1, [1.0], [1.0])
        self.add("growth", "g", "copy", 16, [64.0], [16.0])
        rows, findings = bench_report.growth_rows(self.entries())
        self.assertEqual(rows[1][4:], ["2.00x (!)", "1.00x"])
        self.assertEqual(len(findings), 1)

    def test_failed_growth_point_breaks_the_chain(self):
        self.add("growth", "g", "import", 1, [1.0], [1.0])
        self.lines.append(["growth", "g", "import", "4 x", "4", "unit", "failed: x", "0", "1"])
        self.add("growth", "g", "import", 16, [100.0], [16.0])
        rows, findings = bench_report.growth_rows(self.entries())
        self.assertEqual(rows[1][2:], ["-", "-", "-", "-"])
        self.assertEqual(rows[2][4], "-")  # never compared across the gap
        self.assertEqual(findings, [])

    def test_chart_bars_scale_and_cap(self):
        self.add("main", "a", "faster", 1, [0.5], [1.0])
        self.add("main", "b", "far slower", 1, [10.0], [1.0])
        self.lines.append(["main", "c", "broken", "1 x", "1", "unit", "failed: x", "0", "1"])
        self.add("growth", "g", "not a bar", 1, [1.0], [1.0])
        svg = ET.fromstring(bench_report.chart(self.entries()))
        ns = "{http://www.w3.org/2000/svg}"
        bars = [r for r in svg.iter(f"{ns}rect") if r.get("height") != "100%"]
        self.assertEqual(len(bars), 2)
        scale = 400 / bench_report.CHART_CAP
        self.assertAlmostEqual(float(bars[0].get("width")), 0.5 * scale, places=0)
        self.assertAlmostEqual(float(bars[1].get("width")), 400, places=0)
        self.assertEqual(len(list(svg.iter(f"{ns}path"))), 1)  # only the cut bar is marked
        texts = [t.text for t in svg.iter(f"{ns}text")]
        self.assertIn("10.00", texts)
        dashed = [l for l in svg.iter(f"{ns}line") if l.get("stroke-dasharray")]
        self.assertEqual(len(dashed), 1)
        self.assertAlmostEqual(float(dashed[0].get("x1")) - float(bars[0].get("x")), scale, 0)

    def test_table_writes_markdown_with_notes(self):
        self.add("main", "a", "job <&>", 1, [1.0], [1.0])
        self.entries()
        md, svg = (os.path.join(self.dir.name, n) for n in ("r.md", "c.svg"))
        with open(os.devnull, "w") as quiet:
            stdout, sys.stdout = sys.stdout, quiet
            try:
                bench_report.table(self.ledger, md, svg, ["quiet machine"])
            finally:
                sys.stdout = stdout
        text = read(md).decode("utf-8")
        self.assertIn("- quiet machine", text)
        self.assertIn("| job <&> ", text)
        self.assertNotIn("## Growth", text)
        ET.parse(svg)  # the job's name is escaped in the chart


class PeerTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def run_tool(self, *args, env=None):
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL, env=env)

    def test_write_files_round_trip(self):
        source, target = (os.path.join(self.dir.name, n) for n in ("src", "dst"))
        os.makedirs(os.path.join(source, "sub"))
        os.makedirs(target)
        files = {"a.vcf": b"BEGIN:VCARD\r\n", "Ünïcode -W .vcf": bytes(range(256)), "empty": b""}
        for name, data in files.items():
            with open(os.path.join(source, name), "wb") as f:
                f.write(data)
        pack = os.path.join(self.dir.name, "pack")
        self.run_tool(sys.executable, os.path.join(HERE, "write_files.py"), "pack", source, pack)
        self.run_tool(sys.executable, os.path.join(HERE, "write_files.py"), "write", pack, target)
        self.assertEqual(sorted(os.listdir(target)), sorted(files))  # the folder is left out
        for name, data in files.items():
            self.assertEqual(read(os.path.join(target, name)), data)

    @unittest.skipUnless(os.access(CLI, os.X_OK), "quenda-ipod-cli is not built")
    def test_sheet_peer_writes_what_the_program_writes(self):
        book = os.path.join(self.dir.name, "book.xlsx")
        self.run_tool(sys.executable, os.path.join(HERE, "sheet_generate.py"), book, "40")
        peer, ours = (os.path.join(self.dir.name, n) for n in ("peer.txt", "ours.txt"))
        self.run_tool(sys.executable, os.path.join(HERE, "sheet_text_peer.py"), book, peer)
        env = dict(os.environ, QUENDA_PROGRAM_DIR=os.path.join(self.dir.name, "program"),
                   QUENDA_DESKTOP_DIR=os.path.join(self.dir.name, "desk"), HOME=self.dir.name)
        self.run_tool(CLI, "init", env=env)
        self.run_tool(CLI, "textfile", book, "--out", ours, env=env)
        expected = read(ours)
        self.assertEqual(read(peer), expected)
        # Only the first 20 rows: rows 2 to 20 hold data, so row 21's and later are absent.
        self.assertIn(b"person19@example.com", expected)
        self.assertNotIn(b"person20@example.com", expected)


if __name__ == "__main__":
    unittest.main()
