#!/usr/bin/env bash
# Times the import of N vCard 3.0 cards (20 fields each) from one .vcf file against sqlite3's
# .import of a delimited file holding the same fields, in the same run; also the reading alone,
# and the peak memory of the import of the file and of one four times as long.
#   bench/vcard_import_bench.sh [N]      (N defaults to 100000; RUNS=5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-100000}
runs=${RUNS:-5}
out=bench/out/vcard_import
rm -rf "$out"
mkdir -p "$out/big"
ninja -C build/release bench_vcard_import >/dev/null
bench=build/release/tests/formats/bench_vcard_import
python3 bench/vcard_generate.py "$out" "$n"
python3 bench/vcard_generate.py "$out/big" $((n * 4))

best() { sort -n | head -n1; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); echo "$e - $s" | bc; }
sqlite=$(for _ in $(seq "$runs"); do rm -f "$out/scratch.db"
    seconds sqlite3 "$out/scratch.db" '.mode csv' ".import $out/contacts.csv contacts"; done | best)
read=$(for _ in $(seq "$runs"); do "$bench" "$out/contacts.vcf" "$out/x.db" read | cut -d' ' -f2; done | best)
import=$(for _ in $(seq "$runs"); do rm -f "$out/organizer.db"
    seconds "$bench" "$out/contacts.vcf" "$out/organizer.db" import; done | best)
echo "cards: $n  file: $(stat -c %s "$out/contacts.vcf") bytes"
echo "sqlite3 .import ${sqlite} s; vCard read ${read} s; vCard import ${import} s" \
     "($(echo "scale=2; $import / $sqlite" | bc)x, target 2x)"
for f in "$out/contacts.vcf" "$out/big/contacts.vcf"; do
    rm -f "$out/organizer.db"
    kb=$( { /usr/bin/time -f %M "$bench" "$f" "$out/organizer.db" import >/dev/null; } 2>&1 | tail -n1)
    echo "peak memory, import of $(basename "$(dirname "$f")")/$(basename "$f"): ${kb} KiB"
done
