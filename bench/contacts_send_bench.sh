#!/usr/bin/env bash
# Times "send-ipod" on N contacts (3N cards) against the file-system floor: GNU split writing
# the same number of files of the same average size into an empty folder, in the same run.
# Usage: contacts_send_bench.sh [N] [CLI]    (N defaults to 100000)
set -euo pipefail
n=${1:-100000}
here=$(cd "$(dirname "$0")" && pwd)
cli=${2:-${QUENDA_CLI:-}}
if [[ -z "$cli" ]]; then
    cli=$(find "$here/../build" -type f -name quenda-ipod-cli -perm -u+x 2>/dev/null | head -n1)
fi
[[ -x "$cli" ]] || { echo "quenda-ipod-cli not found; pass it as the second argument" >&2; exit 1; }

work=${BENCH_OUT:-$here/out}/contacts_send
rm -rf "$work"
mkdir -p "$work/program" "$work/cards" "$work/floor"
"$here/contacts_generate.sh" "$n" "$work/program" "$cli"
export QUENDA_PROGRAM_DIR="$work/program" QUENDA_DESKTOP_DIR="$work/program/Desktop"

# One untimed send gives the count and total size the floor must match.
"$cli" send-ipod --out "$work/cards" >/dev/null
files=$(find "$work/cards" -type f | wc -l)
bytes=$(find "$work/cards" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
size=$(( (bytes + files - 1) / files ))
head -c $(( size * files )) /dev/zero | tr '\0' 'x' > "$work/blob"
echo "contacts: $n  cards: $files  bytes: $bytes  floor file size: $size"

hyperfine --runs "${RUNS:-3}" --export-csv "$work/times.csv" \
    --prepare "rm -rf '$work/cards' '$work/floor'; mkdir -p '$work/cards' '$work/floor'" \
    -n send-ipod "'$cli' send-ipod --out '$work/cards'" \
    -n floor-split "split -b $size -a 6 '$work/blob' '$work/floor/c'"

awk -F, 'NR > 1 { mean[$1] = $2 }
         END { printf "send-ipod %.2f s, floor %.2f s, ratio %.2fx\n",
                      mean["send-ipod"], mean["floor-split"], mean["send-ipod"] / mean["floor-split"] }' \
    "$work/times.csv"
rm -rf "$work/blob"
