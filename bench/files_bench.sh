#!/usr/bin/env bash
# Times the file copier's command line against the plain tools that do the same work:
#   scan:   `files scan DIR` of 100,000 files (about 30% office files, 6 folders deep)
#           vs find with the same masks piped into sqlite3, the same rows in one transaction
#   copy:   `files copy --all-in-one --to` and `--scheme "Year-Month"` of 20,000 ticked files
#           vs cp of the same file list into one folder, then sync -f on it (our copy flushes
#           what it copies, so the fair peer does)
#   list:   opening the file list window on 100,000 rows and switching its type tabs
# Every side starts from an empty table or an empty target; runs alternate between the sides.
# Usage: files_bench.sh [BUILD_DIR] [WHICH...]   WHICH: scan copy list
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
shift || true
which=${*:-scan copy list}
cli=$build/src/quenda-ipod-cli
out=$here/out
tree=$out/files_tree
work=$out/files_work
[ -x "$cli" ] || ninja -C "$build" quenda-ipod-cli
[ -d "$tree" ] || python3 "$here/tree_generate.py" files "$tree" 100000 6
mkdir -p "$work"
: > "$work/summary.txt"

database() { # dir: a fresh organizer database with the full schema
  rm -rf "${work:?}/$1"; mkdir -p "$work/$1"
  QUENDA_PROGRAM_DIR=$work/$1 QUENDA_DESKTOP_DIR=$work/desk "$cli" init > /dev/null
  echo "$work/$1/QUENDADATA.Dll"
}
ratio() { # json label target
  jq -r --arg l "$2" --arg t "$3" '.results | (.[0].mean / .[1].mean) as $r |
    "\($l): ours \(.[0].mean * 1000 | floor) ms (\(.[0].min * 1000 | floor) to \(.[0].max * 1000 | floor)), \(.[1].command) \(.[1].mean * 1000 | floor) ms (\(.[1].min * 1000 | floor) to \(.[1].max * 1000 | floor)), ratio \($r * 100 | round / 100)x (target <= \($t)x)"' "$1" |
    tee -a "$work/summary.txt"
}

for w in $which; do
case $w in
scan)
  ours=$(database scan_ours); peer=$(database scan_peer)
  cat > "$work/scan_peer.sh" <<PEER
#!/usr/bin/env bash
set -euo pipefail
find "$tree" -type f \\( -iname '*.doc' -o -iname '*.rtf' -o -iname '*.txt' \\
  -o -iname '*.xls' -o -iname '*.csv' -o -iname '*.mdb' -o -iname '*.dbf' -o -iname '*.jpg' \\
  -o -iname '*.bmp' -o -iname '*.ppt' -o -iname '*.pdf' \\) \\
  -printf '%f\t%p\t%s\t%Tb-%Td-%TY\n' |
sqlite3 "$peer" 'CREATE TEMP TABLE found(a TEXT, p TEXT, s TEXT, d TEXT);' \\
  '.mode tabs' '.import /dev/stdin found' 'BEGIN;' \\
  "INSERT INTO qd_ScanFile(Application,Path,Type,FileSize,[Date])
     SELECT a, p, CASE WHEN instr(substr(p,-4),'.') > 0
                       THEN substr(substr(p,-4), instr(substr(p,-4),'.') + 1) ELSE 'rtf' END,
            s, d FROM found;" 'COMMIT;'
PEER
  chmod +x "$work/scan_peer.sh"
  # The scan command adds to the table: both sides start each run from an empty one.
  hyperfine -N --warmup 1 --runs 7 --export-json "$work/scan.json" \
    --prepare "sqlite3 $ours 'DELETE FROM qd_ScanFile'" \
    -n ours "env QUENDA_PROGRAM_DIR=$work/scan_ours QUENDA_DESKTOP_DIR=$work/desk $cli files scan $tree" \
    --prepare "sqlite3 $peer 'DELETE FROM qd_ScanFile'" \
    -n find+sqlite3 "$work/scan_peer.sh"
  echo "rows: ours $(sqlite3 "$ours" 'select count(*) from qd_ScanFile')," \
       "find+sqlite3 $(sqlite3 "$peer" 'select count(*) from qd_ScanFile')"
  ratio "$work/scan.json" "files scan, 100,000 files" 1.5
  ;;
copy)
  db=$(database copy_db)
  env QUENDA_PROGRAM_DIR=$work/copy_db QUENDA_DESKTOP_DIR=$work/desk "$cli" files scan "$tree" > /dev/null
  sqlite3 "$db" 'UPDATE qd_ScanFile SET SelectFile = 1 WHERE rowid IN
                   (SELECT rowid FROM qd_ScanFile ORDER BY rowid LIMIT 20000)'
  sqlite3 "$db" 'SELECT Path FROM qd_ScanFile WHERE SelectFile ORDER BY rowid' > "$work/ticked.txt"
  echo "ticked files: $(wc -l < "$work/ticked.txt")"
  run="env QUENDA_PROGRAM_DIR=$work/copy_db QUENDA_DESKTOP_DIR=$work/desk $cli files copy"
  # Targets are emptied and the disk settled before every run, outside the timing.
  fresh="bash -c 'rm -rf $work/dst && mkdir -p $work/dst && sync'"
  hyperfine -N --runs 5 --export-json "$work/copy_all.json" \
    --prepare "$fresh" -n "ours --all-in-one" "$run --all-in-one --to $work/dst" \
    --prepare "$fresh" -n "cp+sync" "sh -c \"xargs -d '\\\\n' -a $work/ticked.txt cp -t $work/dst && sync -f $work/dst\""
  ratio "$work/copy_all.json" "files copy --all-in-one, 20,000 files" 1.3
  hyperfine -N --runs 5 --export-json "$work/copy_scheme.json" \
    --prepare "$fresh" -n "ours --scheme Year-Month" "$run --scheme Year-Month --to $work/dst" \
    --prepare "$fresh" -n "cp+sync" "sh -c \"xargs -d '\\\\n' -a $work/ticked.txt cp -t $work/dst && sync -f $work/dst\""
  ratio "$work/copy_scheme.json" "files copy --scheme Year-Month, 20,000 files" 1.3
  rm -rf "$work/dst"
  ;;
list)
  tool=$build/tests/filecopier/bench_file_list
  [ -x "$tool" ] || ninja -C "$build" bench_file_list
  QT_QPA_PLATFORM=offscreen "$tool" "$work/list" 100000 | tee -a "$work/summary.txt"
  ;;
esac
done
echo; cat "$work/summary.txt"
