#!/usr/bin/env bash
# Times `quenda-ipod-cli notes scan DIR` against the plain pipeline that records the same rows:
# find with the same masks, piped into sqlite3 inserting everything in one transaction.
# find cannot read birth times on every file system, so its date is the last change; on a
# freshly generated tree both give the same day.
# Usage: notes_scan_bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
cli=$build/src/quenda-ipod-cli
tree=$here/out/notes_tree
work=$here/out/notes_scan
[ -x "$cli" ] || { echo "no $cli; build quenda-ipod-cli first" >&2; exit 1; }
[ -d "$tree" ] || "$here/notes_scan_generate.sh" "$tree"
rm -rf "$work"
mkdir -p "$work/ours" "$work/peer" "$work/desk"
export QUENDA_DESKTOP_DIR=$work/desk
# Both sides start from an organizer database with the same schema and indexes.
QUENDA_PROGRAM_DIR=$work/ours "$cli" init > /dev/null
cp "$work/ours/QUENDADATA.Dll" "$work/peer/QUENDADATA.Dll"

cat > "$work/peer.sh" <<PEER
#!/usr/bin/env bash
set -euo pipefail
find "$tree" -type f \\( -iname '*.rtf' -o -iname '*.txt' \\) \\
     -printf '%f\t%p\t%s\t%Tb-%Td-%TY\n' |
sqlite3 "$work/peer/QUENDADATA.Dll" \\
  'CREATE TEMP TABLE found(a TEXT, p TEXT, s TEXT, d TEXT);' \\
  '.mode tabs' '.import /dev/stdin found' \\
  'BEGIN;' 'DELETE FROM Quenda_IpodScan;' \\
  "INSERT INTO Quenda_IpodScan(Application,Path,Type,size,[Date])
     SELECT a, p, CASE WHEN instr(substr(p,-4),'.') > 0
                       THEN substr(substr(p,-4), instr(substr(p,-4),'.') + 1) ELSE 'rtf' END,
            s, d FROM found;" \\
  'COMMIT;'
PEER
chmod +x "$work/peer.sh"

hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" \
  -n ours "QUENDA_PROGRAM_DIR=$work/ours $cli notes scan $tree" \
  -n find+sqlite3 "$work/peer.sh"

rows_ours=$(sqlite3 "$work/ours/QUENDADATA.Dll" 'select count(*) from Quenda_IpodScan')
rows_peer=$(sqlite3 "$work/peer/QUENDADATA.Dll" 'select count(*) from Quenda_IpodScan')
echo "rows recorded: ours $rows_ours, find+sqlite3 $rows_peer"
jq -r '.results | (.[0].mean / .[1].mean) as $r |
  "mean ours \(.[0].mean * 1000 | floor) ms, find+sqlite3 \(.[1].mean * 1000 | floor) ms, ratio \($r * 100 | round / 100)x (target <= 1.5x)"' \
  "$work/times.json"
