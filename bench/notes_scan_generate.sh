#!/usr/bin/env bash
# Builds a folder tree of 100,000 files for the notes scan benchmark: about 30% rich-text and
# text documents (some with upper-case extensions), the rest other kinds, spread over nested
# folders. Usage: notes_scan_generate.sh [OUT_DIR] [FILE_COUNT]
set -euo pipefail
out=${1:-$(dirname "$0")/out/notes_tree}
count=${2:-100000}
rm -rf "$out"
mkdir -p "$out"
cd "$out"
# Deterministic layout: 40 top folders, 25 sub-folders each, files spread round-robin.
awk -v n="$count" 'BEGIN {
    split("rtf txt RTF TXT", docs, " ");
    split("doc jpg png pdf xls mp3 html log csv odt", other, " ");
    for (i = 0; i < n; i++) {
        dir = sprintf("d%02d/s%02d", i % 40, int(i / 40) % 25);
        if (i % 10 < 3) ext = docs[(i % 4) + 1]; else ext = other[(i % 10) + 1];
        printf "%s/file%06d.%s\n", dir, i, ext;
    }
}' > ../notes_tree.list
sed 's|/[^/]*$||' ../notes_tree.list | sort -u | xargs mkdir -p
# Small contents of varying size, so the size column differs from file to file.
tr '\n' '\0' < ../notes_tree.list | xargs -0 touch
awk 'NR % 7 == 0' ../notes_tree.list | while IFS= read -r f; do printf 'note %s\r\n' "$f" > "$f"; done
echo "generated $(wc -l < ../notes_tree.list) files in $out"
