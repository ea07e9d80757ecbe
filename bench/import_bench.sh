#!/usr/bin/env bash
# Times "import run" of 100,000 contacts with 20 mapped columns, from a delimited file and from
# a dBASE table, against sqlite3's .import of the same delimited file into a scratch table, in
# the same run; then checks that memory stays flat when the file grows fourfold.
# Usage: bench/import_bench.sh [ROWS] [CLI]     (ROWS defaults to 100000)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rows=${1:-100000}
cli=${2:-${QUENDA_CLI:-}}
if [[ -z "$cli" ]]; then
    cli=$(find "$here/../build/release" -type f -name quenda-ipod-cli -perm -u+x 2>/dev/null | head -n1)
fi
[[ -x "$cli" ]] || { echo "quenda-ipod-cli not found; pass it as the second argument" >&2; exit 1; }

work=${BENCH_OUT:-$here/out}/import
rm -rf "$work"
mkdir -p "$work/program" "$work/big"
python3 "$here/import_generate.py" "$work" "$rows"
export QUENDA_PROGRAM_DIR="$work/program" QUENDA_DESKTOP_DIR="$work/program/Desktop"
"$cli" init >/dev/null
cp "$work/program/QUENDADATA.Dll" "$work/empty.Dll"

maps=(--map NAME=FULLNAME --map FIRST=FIRST --map LAST=LAST --map TITLE=TITLE
      --map COMPANY=COMPANY --map H_ADD1=STREET --map H_ADD2=STREET2 --map H_CITY=CITY
      --map H_STATE=STATE --map H_PIN=ZIP --map H_COUNTRY=COUNTRY --map H_PH1=PHONE
      --map H_PH2=PHONE2 --map MOBILE=MOBILE --map H_EMAIL1=EMAIL --map H_WEB=WEB
      --map JOB_TITLE=JOB --map CATEGORY1=CATEGORY --map CATEGORY2=SUBCAT --map M_BD=BIRTHDAY)
q() { printf '%q ' "$@"; }
fresh="cp '$work/empty.Dll' '$work/program/QUENDADATA.Dll'"

hyperfine --runs "${RUNS:-5}" --warmup 1 --export-csv "$work/times.csv" \
    -n sqlite3-import --prepare "rm -f '$work/scratch.db'" \
    "sqlite3 '$work/scratch.db' '.mode csv' '.import $work/contacts.csv contacts'" \
    -n import-csv --prepare "$fresh" "$(q "$cli" import run "$work/contacts.csv" --kind 'Text;' "${maps[@]}")" \
    -n import-dbf --prepare "$fresh" "$(q "$cli" import run "$work/contacts.dbf" --kind 'dBASE IV;' "${maps[@]}")"

awk -F, 'NR > 1 { mean[$1] = $2 }
         END { printf "sqlite3 .import %.3f s; import csv %.3f s (%.2fx, target 2x); import dbf %.3f s (%.2fx, target 2.5x)\n",
                      mean["sqlite3-import"], mean["import-csv"], mean["import-csv"] / mean["sqlite3-import"],
                      mean["import-dbf"], mean["import-dbf"] / mean["sqlite3-import"] }' "$work/times.csv"

# Memory: the same import of a file four times as long must not need more.
python3 "$here/import_generate.py" "$work/big" $((rows * 4))
for f in "$work/contacts.csv" "$work/big/contacts.csv" "$work/contacts.dbf" "$work/big/contacts.dbf"; do
    kind='Text;'; [[ $f == *.dbf ]] && kind='dBASE IV;'
    cp "$work/empty.Dll" "$work/program/QUENDADATA.Dll"
    kb=$( { /usr/bin/time -f %M "$cli" import run "$f" --kind "$kind" "${maps[@]}" >/dev/null; } 2>&1 | tail -n1)
    echo "peak memory $(basename "$(dirname "$f")")/$(basename "$f"): ${kb} KiB"
done
