#!/usr/bin/env bash
# Times the delimited and dBASE readers on 100,000 generated rows of 20 fields, and sqlite3's
# .import of the same delimited file (reading plus inserting) for comparison.
#   bench/table_readers_bench.sh [rows]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-100000}
out=bench/out/table_readers
mkdir -p "$out"
ninja -C build/release bench_table_readers >/dev/null
build/release/tests/formats/bench_table_readers "$out" "$rows"
rm -f "$out/import.db"
start=$(date +%s.%N)
sqlite3 "$out/import.db" ".mode csv" ".import $out/contacts.csv contacts"
end=$(date +%s.%N)
echo "sqlite3 .import: $(echo "$end - $start" | bc) s"
