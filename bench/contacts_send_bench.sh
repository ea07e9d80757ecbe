#!/usr/bin/env bash
# Times "send-ipod" on N contacts (3N cards) against a python3 loop that writes the same files
# (same names, same bytes) into an empty folder, alone and followed by sync -f, in the same run.
# The send flushes every card before its rename, so the loop with sync -f is the fair peer; the
# loop alone shows what the flush costs.
# Usage: contacts_send_bench.sh [N] [CLI]    (N defaults to 2000, 6,000 cards)
set -euo pipefail
n=${1:-2000}
here=$(cd "$(dirname "$0")" && pwd)
cli=${2:-${QUENDA_CLI:-}}
if [[ -z "$cli" ]]; then
    cli=$(find "$here/../build" -type f -name quenda-ipod-cli -perm -u+x 2>/dev/null | head -n1)
fi
[[ -x "$cli" ]] || { echo "quenda-ipod-cli not found; pass it as the second argument" >&2; exit 1; }

work=${BENCH_OUT:-$here/out}/contacts_send
rm -rf "$work"
mkdir -p "$work/program" "$work/cards" "$work/loop"
"$here/contacts_generate.sh" "$n" "$work/program" "$cli"
export QUENDA_PROGRAM_DIR="$work/program" QUENDA_DESKTOP_DIR="$work/program/Desktop"

# One untimed send gives the files the loop writes again.
"$cli" send-ipod --out "$work/cards" >/dev/null
mv "$work/cards" "$work/model"
files=$(find "$work/model" -type f | wc -l)
bytes=$(find "$work/model" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
echo "contacts: $n  cards: $files  bytes: $bytes"

cat > "$work/loop.py" <<'PY'
import os, sys
model, out = sys.argv[1], sys.argv[2]
cards = []
for name in os.listdir(model):
    with open(os.path.join(model, name), "rb") as f:
        cards.append((name, f.read()))
for name, data in cards:
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
PY

# Earlier outputs are moved aside, not removed, until the end: on ext4 a file system full of
# just-deleted inodes makes every new file slower to create, and more so the later the run.
mkdir -p "$work/trash"
trap 'rm -rf "$work/trash"' EXIT
hyperfine --runs "${RUNS:-5}" --export-json "$work/times.json" \
    --prepare "t=\$(mktemp -d '$work/trash/XXXXXX'); mv '$work/cards' '$work/loop' \$t/ 2>/dev/null || true; mkdir -p '$work/cards' '$work/loop'; sync -f '$work'" \
    -n send-ipod "'$cli' send-ipod --out '$work/cards'" \
    -n python-loop "python3 '$work/loop.py' '$work/model' '$work/loop'" \
    -n python-loop-sync "python3 '$work/loop.py' '$work/model' '$work/loop' && sync -f '$work/loop'"

# The machine may be shared: the fastest runs and the CPU time say more than the means then.
jq -r '.results[] | "\(.command): mean \(.mean * 100 | round / 100) s, min \(.min * 100 | round / 100) s, cpu \((.user + .system) * 100 | round / 100) s"' \
    "$work/times.json"
jq -r '.results | map({(.command): .}) | add |
  "send-ipod / loop + sync -f: means \(.["send-ipod"].mean / .["python-loop-sync"].mean * 100 | round / 100)x, minimums \(.["send-ipod"].min / .["python-loop-sync"].min * 100 | round / 100)x"' \
    "$work/times.json"
