#!/usr/bin/env bash
# Times the file-system engines against the tools a user would reach for:
#   files scan:   office masks into qd_ScanFile  vs  find -iname ... piped into sqlite3
#   folder size:  folderSize                     vs  du -sb
#   folder tree:  4 levels into quenda_Ipod      vs  find -maxdepth 4 -type d piped into sqlite3
#   copy:         plan + copy of 2 GiB mixed     vs  cp -a, then sync -f on the target
#   copy:         plan + copy of small files     vs  cp -a, then sync -f on the target
#                 (copy-small: 200,000 files; copy-small20k: 20,000 files)
# Our copy flushes every file before its rename and each folder at the end, so the fair peer
# is cp followed by a flush of the target file system; plain cp -a is timed as well.
# Usage: [BEFORE=OTHER_FS_BENCH_TOOL] [DST=FOLDER] fs_bench.sh [BUILD_DIR] [WHICH...]
#   BEFORE adds the copy of another build of the tool to the same rounds, for a comparison.
#   DST is where the copies go (default: under bench/out); a folder on a file system of its own
#   (a loop-mounted image) keeps the flushes of every side away from other writers' data.
#   WHICH: scan size folders copy-mixed copy-small copy-small20k
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
shift || true
which=${*:-scan size folders copy-mixed copy-small}
tool=$build/src/fs/quenda-fs-bench
cli=$build/src/quenda-ipod-cli
out=$here/out
work=$out/fs_work
[ -x "$tool" ] || ninja -C "$build" quenda-fs-bench
[ -x "$cli" ] || ninja -C "$build" quenda-ipod-cli
mkdir -p "$work"

tree() { # kind dir [args]: generate once
  [ -d "$out/$2" ] || python3 "$here/tree_generate.py" "$1" "$out/$2" "${@:3}"
}
database() { # dir: a fresh organizer database with the full schema
  rm -rf "$work/$1"; mkdir -p "$work/$1"
  QUENDA_PROGRAM_DIR=$work/$1 QUENDA_DESKTOP_DIR=$work/desk "$cli" init > /dev/null
  echo "$work/$1/QUENDADATA.Dll"
}
ratio() { # json label target
  jq -r --arg l "$2" --arg t "$3" '.results | (.[0].mean / .[1].mean) as $r |
    "\($l): ours \(.[0].mean * 1000 | floor) ms, \(.[1].command) \(.[1].mean * 1000 | floor) ms, ratio \($r * 100 | round / 100)x (target <= \($t)x)"' "$1" |
    tee -a "$work/summary.txt"
}
: > "$work/summary.txt"

for w in $which; do
case $w in
scan)
  tree files files_tree 100000 4
  ours=$(database scan_ours); peer=$(database scan_peer)
  cat > "$work/scan_peer.sh" <<PEER
#!/usr/bin/env bash
set -euo pipefail
find "$out/files_tree" -type f \\( -iname '*.doc' -o -iname '*.rtf' -o -iname '*.txt' \\
  -o -iname '*.xls' -o -iname '*.csv' -o -iname '*.mdb' -o -iname '*.dbf' -o -iname '*.jpg' \\
  -o -iname '*.bmp' -o -iname '*.ppt' -o -iname '*.pdf' \\) \\
  -printf '%f\t%p\t%s\t%Tb-%Td-%TY\n' |
sqlite3 "$peer" 'CREATE TEMP TABLE found(a TEXT, p TEXT, s TEXT, d TEXT);' \\
  '.mode tabs' '.import /dev/stdin found' 'BEGIN;' 'DELETE FROM qd_ScanFile;' \\
  "INSERT INTO qd_ScanFile(Application,Path,Type,FileSize,[Date])
     SELECT a, p, CASE WHEN instr(substr(p,-4),'.') > 0
                       THEN substr(substr(p,-4), instr(substr(p,-4),'.') + 1) ELSE 'rtf' END,
            s, d FROM found;" 'COMMIT;'
PEER
  chmod +x "$work/scan_peer.sh"
  hyperfine -N --warmup 1 --runs 7 --export-json "$work/scan.json" \
    -n ours "$tool scan-files $out/files_tree $ours" -n find+sqlite3 "$work/scan_peer.sh"
  echo "rows: ours $(sqlite3 "$ours" 'select count(*) from qd_ScanFile')," \
       "find+sqlite3 $(sqlite3 "$peer" 'select count(*) from qd_ScanFile')"
  ratio "$work/scan.json" "files scan, 100,000 files" 1.5
  ;;
size)
  tree files files_tree 100000 4
  tree mixed mixed_tree 2048
  for t in files_tree mixed_tree; do
    echo "sizes of $t: ours $("$tool" size "$out/$t"), du $(du -sb "$out/$t" | cut -f1) (du adds folders)"
    hyperfine -N --warmup 2 --runs 10 --export-json "$work/size_$t.json" \
      -n ours "$tool size $out/$t" -n "du -sb" "du -sb $out/$t"
    ratio "$work/size_$t.json" "folder size, $t" 1.2
  done
  ;;
folders)
  tree folders folders_tree
  ours=$(database folders_ours); peer=$(database folders_peer)
  cat > "$work/folders_peer.sh" <<PEER
#!/usr/bin/env bash
set -euo pipefail
find "$out/folders_tree" -mindepth 1 -maxdepth 4 -type d -printf '%P\n' |
sqlite3 "$peer" 'CREATE TEMP TABLE found(p TEXT);' '.mode tabs' '.import /dev/stdin found' \\
  'BEGIN;' 'DELETE FROM quenda_Ipod;' \\
  "INSERT INTO quenda_Ipod(FolderPath, FolderPath1) SELECT '$out/folders_tree', p FROM found;" \\
  'COMMIT;'
PEER
  chmod +x "$work/folders_peer.sh"
  hyperfine -N --warmup 1 --runs 10 --export-json "$work/folders.json" \
    -n ours "$tool scan-folders $out/folders_tree $ours" -n find+sqlite3 "$work/folders_peer.sh"
  echo "rows: ours $(sqlite3 "$ours" 'select count(*) from quenda_Ipod')," \
       "find+sqlite3 $(sqlite3 "$peer" 'select count(*) from quenda_Ipod')"
  ratio "$work/folders.json" "folder tree, 4 levels" 1.5
  ;;
copy-mixed|copy-small|copy-small20k)
  case $w in
  copy-mixed) tree mixed mixed_tree 2048; src=$out/mixed_tree ;;
  copy-small) tree small small_tree 200000; src=$out/small_tree ;;
  copy-small20k) tree small small20k_tree 20000; src=$out/small20k_tree ;;
  esac
  target=1.3
  dst=${DST:-$work}/copy_dst
  # Runs alternate between the tools so that whatever else the machine does weighs on all
  # alike. Each run starts with no target and with the dirty pages of the last run written
  # out; the old copy is deleted outside the timing.
  : > "$work/$w.times"
  for run in 1 2 3 4; do
    for side in ours cp+sync cp ${BEFORE:+before}; do
      rm -rf "$dst"
      sync
      case $side in
      ours) cmd=("$tool" copy "$src" "$dst") ;;
      before) cmd=("$BEFORE" copy "$src" "$dst") ;;
      cp+sync) cmd=(sh -c 'cp -a "$1" "$2" && sync -f "$2"' - "$src" "$dst") ;;
      cp) cmd=(cp -a "$src" "$dst") ;;
      esac
      /usr/bin/time -f "$side %e %U %S" -a -o "$work/$w.times" "${cmd[@]}" > /dev/null
    done
  done
  cat "$work/$w.times"
  "$tool" copy "$src" "$dst.check" > /dev/null
  diff -r "$src" "$dst.check" > /dev/null && echo "copy identical to the source"
  rm -rf "$dst" "$dst.check"
  # The first round fills caches for every side and is left out.
  awk -v label="$w" -v target="$target" -v sides="${BEFORE:+4}" 'NR > (sides ? sides : 3) {
      wall[$1] += $2; cpu[$1] += $3 + $4; n[$1]++
      if (!($1 in lo) || $2 < lo[$1]) lo[$1] = $2
      if ($2 > hi[$1]) hi[$1] = $2 }
    function side(s) { return sprintf("%s %d ms (%d..%d, cpu %d ms)", s, 1000 * wall[s] / n[s],
                                      1000 * lo[s], 1000 * hi[s], 1000 * cpu[s] / n[s]) }
    END { printf "%s: %s, %s, %s; ratio to cp+sync %.2fx (target <= %sx), to cp %.2fx\n",
          label, side("ours"), side("cp+sync"), side("cp"),
          wall["ours"] / wall["cp+sync"], target, wall["ours"] / wall["cp"]
          if (n["before"]) printf "  %s\n", side("before") }' \
    "$work/$w.times" | tee -a "$work/summary.txt"
  ;;
esac
done
echo; cat "$work/summary.txt"
