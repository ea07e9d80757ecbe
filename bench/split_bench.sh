#!/usr/bin/env bash
# Times the splitter's command line against GNU split on the same 1 GiB CR LF file, in one run:
#   quenda-ipod-cli split --lines 100000   vs   split -l 100000
#   quenda-ipod-cli split --kb 512         vs   split -C 512K
# Prints each ratio (ours / GNU); the goal is at most 1.5.
# Environment: QUENDA_CLI (default build/release/src/quenda-ipod-cli),
#              SPLIT_BENCH_DIR (default bench/out/split), SPLIT_BENCH_RUNS (default 5).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUENDA_CLI:-$root/build/release/src/quenda-ipod-cli}
dir=${SPLIT_BENCH_DIR:-$root/bench/out/split}
runs=${SPLIT_BENCH_RUNS:-5}

for tool in hyperfine split python3; do
    command -v "$tool" >/dev/null || { echo "$tool is required" >&2; exit 1; }
done
[[ -x $cli ]] || { echo "build quenda-ipod-cli first (or set QUENDA_CLI): $cli" >&2; exit 1; }

mkdir -p "$dir/ours" "$dir/gnu"
source="$dir/big.txt"
if [[ ! -f $source || $(stat -c %s "$source") -ne $((1 << 30)) ]]; then
    echo "Writing the 1 GiB test file $source ..."
    python3 "$here/split_make_text.py" "$source"
fi
# Our pieces land beside the file they split: give each tool its own folder.
ln -f "$source" "$dir/ours/big.txt"
clean_ours="find '$dir/ours' -name 'big[0-9]*.txt' -delete"
clean_gnu="find '$dir/gnu' -name 'x*' -delete"

compare() {
    local label=$1 ours=$2 gnu=$3 json="$dir/$1.json"
    hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$json" \
        --command-name "quenda $label" --prepare "$clean_ours" "$ours" \
        --command-name "GNU $label" --prepare "$clean_gnu" "$gnu"
    python3 - "$json" "$label" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
ours, gnu = results[0]["mean"], results[1]["mean"]
print(f"RATIO {sys.argv[2]}: quenda {ours:.3f} s / GNU split {gnu:.3f} s = {ours / gnu:.2f}x")
PY
}

compare lines "'$cli' split '$dir/ours/big.txt' --lines 100000" \
    "split -a 4 -l 100000 '$source' '$dir/gnu/x'"
compare kb "'$cli' split '$dir/ours/big.txt' --kb 512" \
    "split -a 4 -C 512K '$source' '$dir/gnu/x'"
eval "$clean_ours"
eval "$clean_gnu"
