#!/usr/bin/env python3
"""Turns the ledger of bench/run-all.sh into its table (printed, and written as Markdown) and
a bar chart of the ratios as SVG.

  bench_report.py line JSON OURS PEER
      one line for the log: both means and their ratio
  bench_report.py table LEDGER RESULTS.md CHART.svg [NOTE...]
      the table "job, size, ours, peer, ratio, spread", then the growth section; every NOTE
      becomes a line under the heading

The ledger has one tab-separated line per measurement:
  section  group  job  size  units  unit  json  ours-index  peer-index
section is "main" (a row of the table) or "growth" (a point of a job measured at several sizes,
group naming the job); json is hyperfine's export, or "failed: why" when the job did not run.
Ratios are ours / peer of mean wall time: below 1.0 we are faster.
"""
import json
import math
import statistics
import sys
from xml.sax.saxutils import escape

GROWTH_LIMIT = 1.3  # per-unit cost may grow this much per 4x size before it is a finding


class Entry:
    def __init__(self, fields):
        (self.section, self.group, self.job, self.size, units, self.unit, self.json,
         ours, peer) = fields
        self.units = float(units)
        self.failed = self.json.startswith("failed")
        if not self.failed:
            with open(self.json, encoding="utf-8") as f:
                results = json.load(f)["results"]
            self.ours = results[int(ours)]
            self.peer = results[int(peer)]

    @property
    def ratio(self):
        return self.ours["mean"] / self.peer["mean"]


def relative_spread(result):
    times = result.get("times") or [result["mean"]]
    if len(times) < 2 or result["mean"] <= 0:
        return 0.0
    return statistics.stdev(times) / result["mean"]


def seconds(value):
    if value >= 100:
        return f"{value:.0f} s"
    if value >= 1:
        return f"{value:.2f} s"
    if value >= 1e-3:
        return f"{value * 1e3:.1f} ms"
    return f"{value * 1e6:.1f} µs"


def per_unit(value, unit):
    return f"{seconds(value)}/{unit}"


def read_ledger(path):
    entries = []
    with open(path, encoding="utf-8") as ledger:
        for line in ledger:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 9:
                entries.append(Entry(fields))
    return entries


def main_rows(entries):
    rows = []
    for e in entries:
        if e.section != "main":
            continue
        if e.failed:
            rows.append([e.job, e.size, "-", "-", e.json, "-"])
            continue
        rows.append([e.job, e.size, seconds(e.ours["mean"]), seconds(e.peer["mean"]),
                     f"{e.ratio:.2f}x",
                     f"±{relative_spread(e.ours):.0%} / ±{relative_spread(e.peer):.0%}"])
    return rows


def growth_rows(entries):
    """Per group, the sizes in ascending order; growth compares each size with the one before
    (4x smaller), ours and peer alike, so that a cost the peer shares shows as such."""
    groups = {}
    for e in entries:
        if e.section == "growth":
            groups.setdefault(e.group, []).append(e)
    rows, findings = [], []
    for group, points in groups.items():
        points.sort(key=lambda p: p.units)
        before = None
        for p in points:
            if p.failed:
                rows.append([p.job, p.size, "-", "-", "-", "-"])
                before = None
                continue
            ours = p.ours["mean"] / p.units
            peer = p.peer["mean"] / p.units
            grow_ours = grow_peer = "-"
            if before is not None:
                step = p.units / before.units
                # Growth per 4x, whatever the step between the sizes actually run.
                power = math.log(4) / math.log(step)
                g_ours = (ours / (before.ours["mean"] / before.units)) ** power
                g_peer = (peer / (before.peer["mean"] / before.units)) ** power
                grow_ours, grow_peer = f"{g_ours:.2f}x", f"{g_peer:.2f}x"
                if g_ours > GROWTH_LIMIT:
                    grow_ours += " (!)"
                    findings.append(f"{p.job}: per-unit cost grows {g_ours:.2f}x per 4x up to "
                                    f"{p.size} (peer {g_peer:.2f}x)")
            rows.append([p.job, p.size, per_unit(ours, p.unit), per_unit(peer, p.unit),
                         grow_ours, grow_peer])
            before = p
    return rows, findings


def markdown(header, rows):
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    def line(cells):
        return "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"
    return "\n".join([line(header), "|" + "|".join("-" * (w + 2) for w in widths) + "|"] +
                     [line(r) for r in rows])


CHART_CAP = 4.0  # bars of larger ratios are cut here and marked, so the rest stay readable


def chart(entries):
    bars = [e for e in entries if e.section == "main" and not e.failed]
    labels = [f"{e.job} ({e.size})" for e in bars]
    # About 7 px a character at 12 px sans-serif: the labels end where the bars begin.
    left = 16 + 7 * max([len(label) for label in labels] + [20])
    width, row, top = 400, 22, 46
    top_ratio = min(CHART_CAP, max([2.0] + [math.ceil(e.ratio * 2) / 2 for e in bars]))
    scale = width / top_ratio
    height = top + row * max(1, len(bars)) + 30
    halo = 'paint-order="stroke" stroke="white" stroke-width="3"'
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{left + width + 70}" '
           f'height="{height}" font-family="sans-serif" font-size="12">',
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="8" y="20" font-size="14" font-weight="bold">Mean wall time, ours / peer '
           '(below 1.0: faster than the peer)</text>']
    for i in range(int(round(top_ratio / 0.5)) + 1):
        x = left + i * 0.5 * scale
        out.append(f'<line x1="{x:.1f}" y1="{top - 6}" x2="{x:.1f}" y2="{height - 24}" '
                   'stroke="#ddd"/>')
        out.append(f'<text x="{x:.1f}" y="{height - 10}" text-anchor="middle" '
                   f'fill="#555">{i * 0.5:.1f}</text>')
    x1 = left + scale
    out.append(f'<line x1="{x1:.1f}" y1="{top - 10}" x2="{x1:.1f}" y2="{height - 24}" '
               'stroke="black" stroke-width="1.5" stroke-dasharray="5,3"/>')
    for i, (e, label) in enumerate(zip(bars, labels)):
        y = top + i * row
        cut = e.ratio > top_ratio
        w = max(1.0, min(e.ratio, top_ratio) * scale)
        colour = "#4a8f4a" if e.ratio <= 1.0 else "#c8743a"
        out.append(f'<text x="{left - 8}" y="{y + 14}" text-anchor="end">{escape(label)}</text>')
        out.append(f'<rect x="{left}" y="{y + 3}" width="{w:.1f}" height="{row - 6}" '
                   f'fill="{colour}"/>')
        if cut:  # a white zigzag across the end of the bar: it goes on past the scale
            zx = left + w - 12
            half = (row - 4) / 2
            out.append(f'<path d="M{zx:.1f},{y + 2} l4,{half:.1f} l-4,{half:.1f}" '
                       'stroke="white" stroke-width="3" fill="none"/>')
        out.append(f'<text x="{left + w + 4:.1f}" y="{y + 14}" {halo}>{e.ratio:.2f}</text>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def table(ledger, results, svg, notes):
    entries = read_ledger(ledger)
    text = ["# Benchmarks: each bulk job against its peer", ""]
    text += [f"- {n}" for n in notes]
    text += ["", "Ratio: mean wall time ours / peer, both measured in the same run on the same "
             "files (below 1.0: faster). Spread: standard deviation of the runs / mean, ours / "
             "peer.", "",
             markdown(["job", "size", "ours", "peer", "ratio", "spread"], main_rows(entries))]
    rows, findings = growth_rows(entries)
    if rows:
        text += ["", "## Growth", "",
                 "Cost per unit at sizes 4x apart; growth is the per-unit cost over that of the "
                 f"size before (1.00x: linear; past {GROWTH_LIMIT}x it is marked (!)).", "",
                 markdown(["job", "size", "ours per unit", "peer per unit", "ours growth",
                           "peer growth"], rows)]
        if findings:
            text += [""] + [f"- {f}" for f in findings]
    text = "\n".join(text) + "\n"
    with open(results, "w", encoding="utf-8") as f:
        f.write(text)
    with open(svg, "w", encoding="utf-8") as f:
        f.write(chart(entries))
    print(text, end="")


def line(path, ours, peer):
    with open(path, encoding="utf-8") as f:
        results = json.load(f)["results"]
    o, p = results[int(ours)]["mean"], results[int(peer)]["mean"]
    print(f"ours {seconds(o)}, peer {seconds(p)}, ratio {o / p:.2f}x")


if __name__ == "__main__":
    if len(sys.argv) >= 5 and sys.argv[1] == "line":
        line(*sys.argv[2:5])
    elif len(sys.argv) >= 5 and sys.argv[1] == "table":
        table(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    else:
        sys.exit(__doc__)
