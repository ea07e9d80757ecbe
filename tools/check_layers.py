#!/usr/bin/env python3
"""Fails when a source file includes a header of a library its own library does not link.

Reads the layer table that cmake/layers.cmake writes into the build folder (layers.tsv): one
"layer" or "program" line per checked target with the checked targets it links, and one "file"
line per source file with the target it belongs to. A file may include headers of its own
target and of every target reachable through the links; anything else is an upward or sideways
include and is reported with the file, the line and what the including target may use. A header
of the source tree that no checked library lists is reported too: it would escape the check.

usage: check_layers.py LAYERS_TSV SOURCE_ROOT
"""

import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def read_table(path):
    uses, owners = {}, {}
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        if not line or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 3 or fields[0] not in ("layer", "program", "file"):
            raise ValueError(f"{path}:{number}: not a line of the layer table: {line!r}")
        kind, target, rest = fields
        if kind == "file":
            owners.setdefault(rest, []).append(target)
        else:
            uses[target] = rest.split()
    for target, below in uses.items():
        for name in below:
            if name not in uses:
                raise ValueError(f"{path}: {target} links {name}, which the table does not hold")
    for name, targets in owners.items():
        for target in targets:
            if target not in uses:
                raise ValueError(f"{path}: {name} belongs to {target}, which the table does not hold")
    return uses, owners


def reachable(uses, target):
    seen, todo = set(), [target]
    while todo:
        current = todo.pop()
        if current not in seen:
            seen.add(current)
            todo.extend(uses[current])
    return seen


def resolve(root, including, name):
    """The included file as a path under root, or None for a file outside the tree."""
    for base in (root / Path(including).parent, root):
        candidate = (base / name).resolve()
        if candidate.is_file():
            try:
                return candidate.relative_to(root.resolve()).as_posix()
            except ValueError:
                return None
    return None


def check(table, root):
    uses, owners = read_table(table)
    root = Path(root)
    faults = []
    for name, targets in sorted(owners.items()):
        for target in targets:
            allowed = reachable(uses, target)
            text = (root / name).read_text(encoding="utf-8", errors="replace")
            for number, line in enumerate(text.splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = resolve(root, name, match.group(1))
                if header is None:
                    continue  # a generated header or one outside the source tree
                header_owners = owners.get(header, [])
                if not header_owners:
                    faults.append(f"{name}:{number}: {header} is listed in no library")
                elif not allowed.intersection(header_owners):
                    may = ", ".join(sorted(allowed - {target})) or "nothing below it"
                    faults.append(
                        f"{name}:{number}: {target} includes {header} of "
                        f"{' / '.join(header_owners)}; {target} may use {may}")
    return faults


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    try:
        faults = check(argv[1], argv[2])
    except (OSError, ValueError) as error:
        print(error, file=sys.stderr)
        return 2
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"{len(faults)} include(s) cross the layers", file=sys.stderr)
        return 1
    print("every include stays within its layers")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
