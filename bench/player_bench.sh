#!/usr/bin/env bash
# Times "player send" of 10,000 contacts and 1,000 notes (a fifth of them long enough to be cut
# into pieces) to a fake player folder on the same disk, against cp of the same files followed
# by sync -f, in the same run. Both make sure the files are on the disk before they end.
# Usage: player_bench.sh [CONTACTS] [NOTES] [CLI]
set -euo pipefail
contacts=${1:-10000}
notes=${2:-1000}
here=$(cd "$(dirname "$0")" && pwd)
cli=${3:-${QUENDA_CLI:-}}
if [[ -z "$cli" ]]; then
    cli=$(find "$here/../build" -type f -name quenda-ipod-cli -perm -u+x 2>/dev/null | head -n1)
fi
[[ -x "$cli" ]] || { echo "quenda-ipod-cli not found; pass it as the third argument" >&2; exit 1; }

work=${BENCH_OUT:-$here/out}/player
rm -rf "$work"
staging="$work/program/Desktop/Ipod"
mkdir -p "$staging" "$work/player/iPod_Control" "$work/copy"

python3 - "$staging" "$contacts" "$notes" <<'PY'
import random, sys
staging, contacts, notes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(7)
words = ["meeting", "call", "Zoë", "café", "list", "garden", "invoice", "train", "Müller", "idea"]
for i in range(contacts):
    kind = ("", "-H", "-W ")[i % 3]
    card = ("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person;Number %d\r\nFN:Number %d Person\r\n"
            "TEL;HOME:+44 20 7946 %04d\r\nADR;HOME:;;%d High Street;London;;N1 %dAA;UK\r\n"
            "EMAIL;INTERNET:person%d@example.org\r\nEND:VCARD\r\n") % (i, i, i % 10000, i, i % 9, i)
    open("%s/Person %05d%s.vcf" % (staging, i, kind), "w", newline="").write(card)
for i in range(notes):
    size = rnd.randint(6000, 14000) if i % 5 == 0 else rnd.randint(200, 3800)
    lines = []
    total = 0
    while total < size:
        line = " ".join(rnd.choice(words) for _ in range(rnd.randint(4, 14)))
        lines.append(line)
        total += len(line.encode()) + 2
    encoding = "utf-8" if i % 2 else "cp1252"
    open("%s/Note %04d.txt" % (staging, i), "w", encoding=encoding, newline="").write(
        "\r\n".join(lines))
PY

files=$(find "$staging" -type f | wc -l)
bytes=$(find "$staging" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
echo "staging files: $files  bytes: $bytes"

export QUENDA_PROGRAM_DIR="$work/program" QUENDA_DESKTOP_DIR="$work/program/Desktop"
export QUENDA_PLAYER_ROOTS="$work/player"
# One untimed send shows what lands on the player.
"$cli" player send > "$work/first-send.txt"
head -n1 "$work/first-send.txt"
echo "on the player: $(find "$work/player/Contacts" "$work/player/Notes" -type f | wc -l) files"
# Earlier outputs are moved aside, not removed, until the end: on ext4 a file system full of
# just-deleted inodes makes every new file slower to create, and more so the later the run,
# which would favour whichever side hyperfine runs first.
mkdir -p "$work/trash"
trap 'rm -rf "$work/trash"' EXIT
hyperfine --runs "${RUNS:-5}" --export-json "$work/times.json" \
    --prepare "t=\$(mktemp -d '$work/trash/XXXXXX'); mv '$work/player/Contacts' '$work/player/Notes' '$work/copy' \$t/ 2>/dev/null || true; mkdir -p '$work/copy/Contacts' '$work/copy/Notes'; sync -f '$work'" \
    -n player-send "'$cli' player send" \
    -n cp-sync "cp '$staging'/*.vcf '$work/copy/Contacts/' && cp '$staging'/*.txt '$work/copy/Notes/' && sync -f '$work/copy'"

# The machine may be shared: the fastest runs and the CPU time say more than the means then.
jq -r '.results[] | "\(.command): mean \(.mean * 100 | round / 100) s, min \(.min * 100 | round / 100) s, cpu \((.user + .system) * 100 | round / 100) s"' \
    "$work/times.json"
jq -r '.results | map({(.command): .}) | add |
  "ratio of means \(.["player-send"].mean / .["cp-sync"].mean * 100 | round / 100)x, of minimums \(.["player-send"].min / .["cp-sync"].min * 100 | round / 100)x (target 1.5x)"' \
    "$work/times.json"
