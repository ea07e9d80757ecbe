#!/usr/bin/env bash
# Times `quenda-ipod-cli rtf-text` against `unrtf --text` on the RTF samples and on a generated
# ~50 MB document, in the same run; prints MB/s for both and how many times faster we are.
# Paths must not hold blanks (hyperfine runs the commands without a shell).
# Usage: bench/rtf_bench.sh [path/to/quenda-ipod-cli]   (needs hyperfine, unrtf, python3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/release/src/quenda-ipod-cli}
out=$root/bench/out
mkdir -p "$out"
for tool in hyperfine unrtf python3; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "build the CLI first (cmake --preset release): $cli" >&2; exit 1; }

big=$out/rtf_big.rtf
[ -s "$big" ] || python3 "$root/bench/rtf_generate.py" "$big" 50

printf '%-28s %8s %10s %10s %8s %14s\n' file size ours_MB/s unrtf_MB/s ratio reader_MB/s
for file in "$root"/tests/data/rtf/b_*.rtf "$big"; do
    json=$out/rtf_bench_$(basename "$file" .rtf).json
    runs=()
    [ "$file" = "$big" ] && runs=(--runs 5)
    hyperfine -N --output=pipe --warmup 2 "${runs[@]}" --style none --export-json "$json" \
        "$cli rtf-text $file" "unrtf --text $file" "$cli --help" > /dev/null
    python3 - "$json" "$file" <<'PY'
import json, os, sys
results = json.load(open(sys.argv[1]))["results"]
ours, peer, startup = (r["mean"] for r in results)
mb = os.path.getsize(sys.argv[2]) / 1e6
reader = mb / (ours - startup) if ours > startup * 1.05 else float("nan")
print("%-28s %7.2fM %10.1f %10.1f %7.2fx %14.1f" % (os.path.basename(sys.argv[2])[:28], mb,
      mb / ours, mb / peer, peer / ours, reader))
PY
done
echo "ratio = unrtf time / our time, whole processes, output through a pipe."
echo "reader_MB/s leaves out our process start-up (Qt), measured as 'quenda-ipod-cli --help';"
echo "on the small samples that start-up dominates, so nan means it is below the noise."
