#!/usr/bin/env bash
# Times the splitter's command line against GNU split on the same CR LF file, in one run:
#   quenda-ipod-cli split --lines 100000   vs   split -l 100000
#   quenda-ipod-cli split --kb 512         vs   split -C 512K
# For each mode it prints wall time and CPU time (user + sys) of both sides, their spread, and
# the ratios ours / GNU; the goal is 1.0 or less. The line "RATIO <mode>: ..." gives the ratio
# of mean wall times, and <dir>/<mode>.json holds all runs in hyperfine's format.
# Both sides write into folders of the same file system, and each run starts with the previous
# run's pieces deleted. The load average is printed before and after: a busy machine moves wall
# time far more than CPU time. On ext4, creating a file soon after many were deleted costs the
# file system a search past the freed inodes; that cost falls on both sides alike but widens the
# spread. SPLIT_BENCH_DIR on a tmpfs shows the splitters without it.
# Environment: QUENDA_CLI (default build/release/src/quenda-ipod-cli),
#              SPLIT_BENCH_DIR (default bench/out/split),
#              SPLIT_BENCH_RUNS (runs of each side per round, default 3),
#              SPLIT_BENCH_ROUNDS (rounds, alternating which side goes first, default 2),
#              SPLIT_BENCH_MB (size of the test file in MiB, default 512),
#              SPLIT_BENCH_MODES (default "lines kb").
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUENDA_CLI:-$root/build/release/src/quenda-ipod-cli}
dir=${SPLIT_BENCH_DIR:-$root/bench/out/split}
runs=${SPLIT_BENCH_RUNS:-3}
rounds=${SPLIT_BENCH_ROUNDS:-2}
size=$(( ${SPLIT_BENCH_MB:-512} << 20 ))
modes=${SPLIT_BENCH_MODES:-lines kb}

for tool in hyperfine split python3; do
    command -v "$tool" >/dev/null || { echo "$tool is required" >&2; exit 1; }
done
[[ -x $cli ]] || { echo "build quenda-ipod-cli first (or set QUENDA_CLI): $cli" >&2; exit 1; }

mkdir -p "$dir/ours" "$dir/gnu"
source="$dir/big.txt"
if [[ ! -f $source || $(stat -c %s "$source") -ne $size ]]; then
    echo "Writing the $((size >> 20)) MiB test file $source ..."
    python3 "$here/split_make_text.py" "$source" "$size"
fi
# Our pieces land beside the file they split: give each tool its own folder.
ln -f "$source" "$dir/ours/big.txt"
clean_ours="find '$dir/ours' -name 'big[0-9]*.txt' -delete"
clean_gnu="find '$dir/gnu' -name 'x*' -delete"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

compare() {
    local label=$1 ours=$2 gnu=$3 round
    rm -f "$dir/$label".json "$dir/$label".*.json "$dir/$label".*.cpu
    # Each round is one hyperfine run of both commands; the rounds alternate which goes first, so
    # neither side always meets the file system just after the other's many deletions. bash's
    # time keyword keeps each run's own user and system time to the millisecond (hyperfine keeps
    # only their means); it wraps both sides alike, and the warm-up run's line is dropped below.
    for ((round = 0; round < rounds; round++)); do
        local time_ours="$dir/$label.$round.ours.cpu" time_gnu="$dir/$label.$round.gnu.cpu"
        local first=(--command-name "quenda $label" --prepare "$clean_ours"
            "TIMEFORMAT='%3U %3S'; { time $ours 2>/dev/null; } 2>>'$time_ours'")
        local second=(--command-name "GNU $label" --prepare "$clean_gnu"
            "TIMEFORMAT='%3U %3S'; { time $gnu 2>/dev/null; } 2>>'$time_gnu'")
        if ((round % 2)); then
            local swap=("${first[@]}")
            first=("${second[@]}")
            second=("${swap[@]}")
        fi
        hyperfine --style basic --shell bash --warmup 1 --runs "$runs" \
            --export-json "$dir/$label.$round.json" "${first[@]}" "${second[@]}" >/dev/null
    done
    python3 - "$dir" "$label" "$rounds" <<'PY'
import json, statistics, sys
folder, label, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
sides = ("quenda", "GNU")
wall = {side: [] for side in sides}
cpu = {side: [] for side in sides}
user = {side: [] for side in sides}
system = {side: [] for side in sides}
for r in range(rounds):
    for result in json.load(open(f"{folder}/{label}.{r}.json"))["results"]:
        wall[result["command"].split()[0]] += result["times"]
    for side, name in zip(sides, ("ours", "gnu")):
        lines = [l.split() for l in open(f"{folder}/{label}.{r}.{name}.cpu") if l.strip()]
        for u, s in (map(float, l) for l in lines[1:]):  # [0] is the warm-up
            user[side].append(u)
            system[side].append(s)
            cpu[side].append(u + s)

def line(name, values):
    spread = statistics.stdev(values) if len(values) > 1 else 0.0
    return (f"  {name:6} mean {statistics.mean(values):7.3f} s  median {statistics.median(values):7.3f} s"
            f"  min {min(values):7.3f} s  max {max(values):7.3f} s  sd {spread:6.3f} s")

for what, values in (("wall", wall), ("cpu", cpu)):
    o, g = values["quenda"], values["GNU"]
    print(f"{label} {what}" + (" (user + sys)" if what == "cpu" else "") + f", {len(o)} runs each")
    print(line("quenda", o))
    print(line("GNU", g))
    print(f"  quenda / GNU: mean {statistics.mean(o) / statistics.mean(g):.2f}x"
          f"  median {statistics.median(o) / statistics.median(g):.2f}x"
          f"  min {min(o) / min(g):.2f}x")
o, g = statistics.mean(wall["quenda"]), statistics.mean(wall["GNU"])
print(f"RATIO {label}: quenda {o:.3f} s / GNU split {g:.3f} s = {o / g:.2f}x")

# All rounds together in hyperfine's own shape, quenda first, for whoever reads the figures on.
def result(side):
    times = wall[side]
    return {"command": f"{side} {label}", "mean": statistics.mean(times),
            "stddev": statistics.stdev(times) if len(times) > 1 else 0.0,
            "median": statistics.median(times), "min": min(times), "max": max(times),
            "user": statistics.mean(user[side]), "system": statistics.mean(system[side]),
            "times": times}
json.dump({"results": [result(side) for side in sides]}, open(f"{folder}/{label}.json", "w"),
          indent=2)
PY
}

for mode in $modes; do
    case $mode in
    lines)
        compare lines "'$cli' split '$dir/ours/big.txt' --lines 100000" \
            "split -a 4 -l 100000 '$source' '$dir/gnu/x'" ;;
    kb)
        compare kb "'$cli' split '$dir/ours/big.txt' --kb 512" \
            "split -a 4 -C 512K '$source' '$dir/gnu/x'" ;;
    *) echo "unknown mode $mode" >&2; exit 2 ;;
    esac
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
eval "$clean_ours"
eval "$clean_gnu"
