#!/usr/bin/env bash
# Times the splitter's command line against GNU split on the same CR LF file, in one run:
#   quenda-ipod-cli split --lines 100000   vs   split -l 100000
#   quenda-ipod-cli split --kb 512         vs   split -C 512K
# Our pieces reach the disk before they take their names; GNU split leaves its pieces to the
# kernel's writeback. The peer "sync" is GNU split followed by `sync -f` on its folder, which
# pays for the same flush; "split" is GNU split alone.
# For each mode it prints wall time and CPU time (user + sys) of every side, their spread, and
# the ratios ours / peer; the goal is 1.0 or less. The line "RATIO <mode> <peer>: ..." gives the
# ratio of mean wall times, and <dir>/<mode>.json holds all runs in hyperfine's format.
# Both sides write into folders of the same file system, and each run starts with the previous
# run's pieces deleted. The load average is printed before and after: a busy machine moves wall
# time far more than CPU time. On ext4, creating a file soon after many were deleted costs the
# file system a search past the freed inodes; that cost falls on both sides alike but widens the
# spread. SPLIT_BENCH_DIR on a tmpfs shows the splitters without it.
#
# Growth mode (--growth BASE or SPLIT_BENCH_GROWTH=BASE) runs the same comparison on files of
# BASE, 4 x BASE and 16 x BASE MiB and ends with a table of the cost per MiB of each side and
# how much it grows from one size to the next; a cost that grows past 1.3x per 4x is a finding.
#
# Options: --peers LIST (comma-separated from "split" and "sync"), --growth BASE_MIB.
# Environment: QUENDA_CLI (default build/release/src/quenda-ipod-cli),
#              SPLIT_BENCH_DIR (default bench/out/split),
#              SPLIT_BENCH_RUNS (runs of each side per round, default 3),
#              SPLIT_BENCH_ROUNDS (rounds, rotating which side goes first, default 2),
#              SPLIT_BENCH_MB (size of the test file in MiB, default 512; unused in growth mode),
#              SPLIT_BENCH_MODES (default "lines kb"),
#              SPLIT_BENCH_PEERS (default "split"; "split sync" for both),
#              SPLIT_BENCH_GROWTH (default empty: one size).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUENDA_CLI:-$root/build/release/src/quenda-ipod-cli}
dir=${SPLIT_BENCH_DIR:-$root/bench/out/split}
runs=${SPLIT_BENCH_RUNS:-3}
rounds=${SPLIT_BENCH_ROUNDS:-2}
modes=${SPLIT_BENCH_MODES:-lines kb}
peers=${SPLIT_BENCH_PEERS:-split}
growth=${SPLIT_BENCH_GROWTH:-}

while (($#)); do
    case $1 in
    --peers) peers=${2//,/ }; shift 2 ;;
    --growth) growth=$2; shift 2 ;;
    *) echo "usage: $0 [--peers split,sync] [--growth BASE_MIB]" >&2; exit 2 ;;
    esac
done
for peer in $peers; do
    [[ $peer == split || $peer == sync ]] || { echo "unknown peer $peer" >&2; exit 2; }
done
if [[ -n $growth ]]; then
    sizes="$growth $((growth * 4)) $((growth * 16))"
else
    sizes=${SPLIT_BENCH_MB:-512}
fi

for tool in hyperfine split sync python3; do
    command -v "$tool" >/dev/null || { echo "$tool is required" >&2; exit 1; }
done
[[ -x $cli ]] || { echo "build quenda-ipod-cli first (or set QUENDA_CLI): $cli" >&2; exit 1; }

mkdir -p "$dir/ours" "$dir/gnu"
clean_ours="find '$dir/ours' -name 'big[0-9]*.txt' -delete"
clean_gnu="find '$dir/gnu' -name 'x*' -delete"
summary="$dir/summary.tsv"
: >"$summary"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

# compare LABEL MIB NAME COMMAND [NAME COMMAND]...: one hyperfine run per round of every side,
# the first side being ours; the rounds rotate which side goes first, so that no side always
# meets the file system just after another's many deletions. bash's time keyword keeps each
# run's own user and system time to the millisecond (hyperfine keeps only their means); it wraps
# every side alike, and the warm-up run's line is dropped in the summary.
compare() {
    local label=$1 mib=$2
    shift 2
    local names=() commands=() round i
    while (($#)); do
        names+=("$1")
        commands+=("$2")
        shift 2
    done
    rm -f "$dir/$label".json "$dir/$label".*.json "$dir/$label".*.cpu
    for ((round = 0; round < rounds; round++)); do
        local args=()
        for ((i = 0; i < ${#names[@]}; i++)); do
            local k=$(((i + round) % ${#names[@]}))
            local name=${names[k]} clean=$clean_gnu
            [[ $name == quenda ]] && clean=$clean_ours
            args+=(--command-name "$name" --prepare "$clean"
                "TIMEFORMAT='%3U %3S'; { time ${commands[k]} 2>/dev/null; } 2>>'$dir/$label.$round.$name.cpu'")
        done
        hyperfine --style basic --shell bash --warmup 1 --runs "$runs" \
            --export-json "$dir/$label.$round.json" "${args[@]}" >/dev/null
    done
    python3 - "$dir" "$label" "$rounds" "$mib" "$summary" "${names[@]}" <<'PY'
import json, statistics, sys
folder, label, rounds, mib, summary = sys.argv[1:6]
rounds, mib = int(rounds), float(mib)
sides = sys.argv[6:]
wall = {side: [] for side in sides}
user = {side: [] for side in sides}
system = {side: [] for side in sides}
for r in range(rounds):
    for result in json.load(open(f"{folder}/{label}.{r}.json"))["results"]:
        wall[result["command"]] += result["times"]
    for side in sides:
        lines = [l.split() for l in open(f"{folder}/{label}.{r}.{side}.cpu") if l.strip()]
        for u, s in (map(float, l) for l in lines[1:]):  # [0] is the warm-up
            user[side].append(u)
            system[side].append(s)
cpu = {side: [u + s for u, s in zip(user[side], system[side])] for side in sides}

def line(name, values):
    spread = statistics.stdev(values) if len(values) > 1 else 0.0
    return (f"  {name:10} mean {statistics.mean(values):7.3f} s  median "
            f"{statistics.median(values):7.3f} s  min {min(values):7.3f} s  max "
            f"{max(values):7.3f} s  sd {spread:6.3f} s")

ours, peers = sides[0], sides[1:]
for what, values in (("wall", wall), ("cpu", cpu)):
    print(f"{label} {what}" + (" (user + sys)" if what == "cpu" else "") +
          f", {len(values[ours])} runs each")
    for side in sides:
        print(line(side, values[side]))
    o = values[ours]
    for peer in peers:
        p = values[peer]
        print(f"  {ours} / {peer}: mean {statistics.mean(o) / statistics.mean(p):.2f}x"
              f"  median {statistics.median(o) / statistics.median(p):.2f}x"
              f"  min {min(o) / min(p):.2f}x")
for peer in peers:
    o, p = statistics.mean(wall[ours]), statistics.mean(wall[peer])
    co, cp = statistics.mean(cpu[ours]), statistics.mean(cpu[peer])
    print(f"RATIO {label} {peer}: wall {o:.3f} s / {p:.3f} s = {o / p:.2f}x,"
          f" cpu {co:.3f} s / {cp:.3f} s = {co / cp:.2f}x")
with open(summary, "a") as out:
    for side in sides:
        out.write(f"{label}\t{mib:g}\t{side}\t{statistics.mean(wall[side])}"
                  f"\t{statistics.mean(cpu[side])}\n")

# All rounds together in hyperfine's own shape, ours first, for whoever reads the figures on.
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

for mib in $sizes; do
    source="$dir/big-$mib.txt"
    size=$((mib << 20))
    if [[ ! -f $source || $(stat -c %s "$source") -ne $size ]]; then
        echo "Writing the $mib MiB test file $source ..."
        python3 "$here/split_make_text.py" "$source" "$size"
    fi
    # Our pieces land beside the file they split: give each tool its own folder.
    ln -f "$source" "$dir/ours/big.txt"
    suffix=""
    [[ -n $growth ]] && suffix="-$mib"
    for mode in $modes; do
        case $mode in
        lines)
            ours="'$cli' split '$dir/ours/big.txt' --lines 100000"
            gnu="split -a 4 -l 100000 '$source' '$dir/gnu/x'" ;;
        kb)
            ours="'$cli' split '$dir/ours/big.txt' --kb 512"
            gnu="split -a 4 -C 512K '$source' '$dir/gnu/x'" ;;
        *) echo "unknown mode $mode" >&2; exit 2 ;;
        esac
        sides=(quenda "$ours")
        for peer in $peers; do
            case $peer in
            split) sides+=(split "$gnu") ;;
            sync) sides+=(split+sync "{ $gnu && sync -f '$dir/gnu'; }") ;;
            esac
        done
        compare "$mode$suffix" "$mib" "${sides[@]}"
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
eval "$clean_ours"
eval "$clean_gnu"

if [[ -n $growth ]]; then
    python3 - "$summary" <<'PY'
import sys
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1]) if l.strip()]
table = {}
for label, mib, side, wall, cpu in rows:
    mode = label.rsplit("-", 1)[0]
    table.setdefault((mode, side), []).append((float(mib), float(wall), float(cpu)))
print("cost per MiB (ms), and its growth from the size before")
print(f"  {'mode':6} {'side':11} {'MiB':>6} {'wall':>8} {'x':>6} {'cpu':>8} {'x':>6}")
for (mode, side), points in table.items():
    before = None
    for mib, wall, cpu in sorted(points):
        w, c = wall * 1000 / mib, cpu * 1000 / mib
        grow = (f"{w / before[0]:6.2f} {c:8.3f} {c / before[1]:6.2f}" if before
                else f"{'':6} {c:8.3f} {'':6}")
        print(f"  {mode:6} {side:11} {mib:6g} {w:8.3f} {grow}")
        before = (w, c)
PY
fi
