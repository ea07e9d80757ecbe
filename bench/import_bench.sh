#!/usr/bin/env bash
# Times "import run" of contacts with 20 mapped columns, from a delimited file and from a dBASE
# table holding the same rows, against sqlite3's .import of the same delimited file into a
# scratch table, in the same run: wall time and CPU time (user + system) at ROWS, the ratios to
# sqlite3, then the cost per row at ROWS/4, ROWS and ROWS*4 with its growth per fourfold size
# (a growth past 1.3x is flagged), and the peak memory of each import at ROWS and ROWS*4.
# Usage: bench/import_bench.sh [ROWS] [CLI]     (ROWS defaults to 100000)
# RUNS (default 5) runs at ROWS; SCALE_RUNS (default 3) at each size of the growth table.
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
mkdir -p "$work/program"
sizes=($((rows / 4)) "$rows" $((rows * 4)))
for n in "${sizes[@]}"; do
    python3 "$here/import_generate.py" "$work/rows$n" "$n"
done
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

# One hyperfine run of the three jobs on the files of n rows; JSON into $work/times-n.json.
timeAt() {
    local n=$1 runs=$2 dir="$work/rows$1"
    hyperfine --runs "$runs" --warmup 1 --style none --export-json "$work/times-$n.json" \
        -n sqlite3-import --prepare "rm -f '$work/scratch.db'" \
        "sqlite3 '$work/scratch.db' '.mode csv' '.import $dir/contacts.csv contacts'" \
        -n import-csv --prepare "$fresh" \
        "$(q "$cli" import run "$dir/contacts.csv" --kind 'Text;' "${maps[@]}")" \
        -n import-dbf --prepare "$fresh" \
        "$(q "$cli" import run "$dir/contacts.dbf" --kind 'dBASE IV;' "${maps[@]}")" >/dev/null
}

timeAt "$rows" "${RUNS:-5}"
for n in "${sizes[@]}"; do
    [[ $n == "$rows" ]] || timeAt "$n" "${SCALE_RUNS:-3}"
done

python3 - "$work" "$rows" "${sizes[@]}" <<'EOF'
import json, sys
work, base, sizes = sys.argv[1], int(sys.argv[2]), [int(s) for s in sys.argv[3:]]
jobs = ["sqlite3-import", "import-csv", "import-dbf"]

def load(n):
    with open(f"{work}/times-{n}.json") as f:
        out = {}
        for r in json.load(f)["results"]:
            out[r["command"]] = (r["median"], r["user"] + r["system"],
                                 (max(r["times"]) - min(r["times"])) / r["median"])
        return out

at = load(base)
peer_wall, peer_cpu = at["sqlite3-import"][0], at["sqlite3-import"][1]
print(f"{base} rows, median wall and mean CPU (user+sys) of each job, same run:")
print(f"  {'job':16} {'wall s':>8} {'cpu s':>8} {'spread':>7} {'wall ratio':>11} {'cpu ratio':>10}")
for job in jobs:
    wall, cpu, spread = at[job]
    print(f"  {job:16} {wall:8.3f} {cpu:8.3f} {spread:6.0%} {wall / peer_wall:10.2f}x "
          f"{cpu / peer_cpu:9.2f}x")

print("\ncost per row (microseconds, wall / CPU) and its growth per fourfold size:")
print(f"  {'job':16} " + " ".join(f"{n:>17}" for n in sizes) + "   growth (wall, CPU)")
flagged = []
for job in jobs:
    cells, per = [], []
    for n in sizes:
        wall, cpu, _ = load(n)[job]
        per.append((wall / n * 1e6, cpu / n * 1e6))
        cells.append(f"{per[-1][0]:7.2f} / {per[-1][1]:6.2f}")
    growth = []
    for (w0, c0), (w1, c1), n in zip(per, per[1:], sizes[1:]):
        growth.append(f"{w1 / w0:.2f}x, {c1 / c0:.2f}x")
        if w1 / w0 > 1.3 or c1 / c0 > 1.3:
            flagged.append(f"{job} at {n} rows")
    print(f"  {job:16} " + " ".join(f"{c:>17}" for c in cells) + "   " + "; ".join(growth))
print("growth past 1.3x per fourfold size: " + (", ".join(flagged) if flagged else "none"))
EOF

# Memory: the same import of a file four times as long must not need more.
for n in "$rows" $((rows * 4)); do
    for f in "$work/rows$n/contacts.csv" "$work/rows$n/contacts.dbf"; do
        kind='Text;'; [[ $f == *.dbf ]] && kind='dBASE IV;'
        cp "$work/empty.Dll" "$work/program/QUENDADATA.Dll"
        kb=$( { /usr/bin/time -f %M "$cli" import run "$f" --kind "$kind" "${maps[@]}" >/dev/null; } 2>&1 | tail -n1)
        echo "peak memory $n rows $(basename "$f"): ${kb} KiB"
    done
done
