#!/usr/bin/env bash
# Times the picture verbs against the tools a user would reach for:
#   scan: `quenda-ipod-cli pictures scan` of about 20,000 folders four levels deep
#         vs find -maxdepth 4 -type d split into levels by awk and inserted by sqlite3 in one
#         transaction (the same rows; find does not sort them)
#   send: `quenda-ipod-cli pictures send` of a 1 GiB album tree (every recorded folder copied
#         to its flattened name) vs mkdir -p and cp -a of the same folders in the same order
# Usage: pictures_bench.sh [BUILD_DIR] [scan] [send]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
shift || true
which=${*:-scan send}
cli=$build/src/quenda-ipod-cli
out=$here/out
work=$out/pictures_work
[ -x "$cli" ] || ninja -C "$build" quenda-ipod-cli
mkdir -p "$work"

tree() { # kind dir [args]: generate once
  [ -d "$out/$2" ] || python3 "$here/pictures_generate.py" "$1" "$out/$2" "${@:3}"
}
database() { # dir: a fresh organizer database with the full schema
  rm -rf "$work/$1"; mkdir -p "$work/$1"
  QUENDA_PROGRAM_DIR=$work/$1 QUENDA_DESKTOP_DIR=$work/desk "$cli" init > /dev/null
  echo "$work/$1/QUENDADATA.Dll"
}
: > "$work/summary.txt"

for w in $which; do
case $w in
scan)
  tree folders pictures_folders
  src=$out/pictures_folders
  ours=$(database scan_ours); peer=$(database scan_peer)
  cat > "$work/scan_peer.sh" <<PEER
#!/usr/bin/env bash
set -euo pipefail
find "$src" -mindepth 1 -maxdepth 4 -type d -printf '%P\n' |
awk -F/ -v OFS='\t' -v root="$src" '{ print root, \$1, \$2, \$3, \$4 }' |
sqlite3 "$peer" 'CREATE TEMP TABLE found(f TEXT, a TEXT, b TEXT, c TEXT, d TEXT);' \\
  '.mode tabs' '.import /dev/stdin found' 'BEGIN;' 'DELETE FROM quenda_Ipod;' \\
  "INSERT INTO quenda_Ipod SELECT f, a, NULLIF(b, ''), NULLIF(c, ''), NULLIF(d, '') FROM found;" \\
  'COMMIT;'
PEER
  chmod +x "$work/scan_peer.sh"
  hyperfine -N --warmup 1 --runs 10 --export-json "$work/scan.json" \
    -n ours "env QUENDA_PROGRAM_DIR=$work/scan_ours QUENDA_DESKTOP_DIR=$work/desk $cli pictures scan $src" \
    -n find+sqlite3 "$work/scan_peer.sh" > "$work/scan.log"
  rows() { sqlite3 "$1" 'select count(*) from quenda_Ipod'; }
  same=$(sqlite3 "$ours" "attach '$peer' as p;
    select count(*) from (select * from main.quenda_Ipod except select * from p.quenda_Ipod)")
  echo "rows: ours $(rows "$ours"), find+sqlite3 $(rows "$peer"), ours not in peer: $same"
  jq -r '.results | (.[0].mean / .[1].mean) as $r |
    "pictures scan, 20,110 folders: ours \(.[0].mean * 1000 | floor) ms (\(.[0].min * 1000 | floor)-\(.[0].max * 1000 | floor)), find+sqlite3 \(.[1].mean * 1000 | floor) ms (\(.[1].min * 1000 | floor)-\(.[1].max * 1000 | floor)), ratio \($r * 100 | round / 100)x (target <= 1.5x)"' \
    "$work/scan.json" | tee -a "$work/summary.txt"
  ;;
send)
  tree photos pictures_photos 1024
  src=$out/pictures_photos
  database send_ours > /dev/null
  desk=$work/send_desk
  rm -rf "$desk"; mkdir -p "$desk"
  QUENDA_PROGRAM_DIR=$work/send_ours QUENDA_DESKTOP_DIR=$desk "$cli" pictures scan "$src" \
    > "$work/rows.tsv"
  # Source and staging path of every row, for the peer's loop.
  awk -F'\t' -v OFS='\t' -v stage="$desk/Ipod" '{
      s = $1; for (i = 2; i <= 5; i++) if ($i != "") s = s "/" $i
      print s, stage "/" $6 }' "$work/rows.tsv" > "$work/pairs.tsv"
  cat > "$work/send_peer.sh" <<PEER
#!/usr/bin/env bash
set -euo pipefail
while IFS=\$'\t' read -r from to; do
  mkdir -p "\$to"
  cp -a "\$from/." "\$to/"
done < "$work/pairs.tsv"
PEER
  chmod +x "$work/send_peer.sh"
  echo "$(wc -l < "$work/pairs.tsv") folders to send, $(du -sm "$src" | cut -f1) MiB in the tree"
  : > "$work/send.times"
  # Runs alternate so that whatever else the machine does weighs on both alike; each starts
  # with an empty staging folder and the last run's pages written out. Round 1 warms caches.
  for run in 1 2 3; do
    for side in ours cp; do
      rm -rf "$desk/Ipod"; sync
      if [ $side = ours ]; then
        cmd=(env QUENDA_PROGRAM_DIR=$work/send_ours QUENDA_DESKTOP_DIR=$desk "$cli" pictures send)
      else
        cmd=("$work/send_peer.sh")
      fi
      /usr/bin/time -f "$run $side %e %U %S" -a -o "$work/send.times" "${cmd[@]}" > /dev/null
      [ $side = ours ] && { rm -rf "$desk/Ipod.ours"; mv "$desk/Ipod" "$desk/Ipod.ours"; }
    done
  done
  cat "$work/send.times"
  diff -r --no-dereference "$desk/Ipod.ours" "$desk/Ipod" > /dev/null &&
    echo "both staging folders hold the same files ($(du -sm "$desk/Ipod" | cut -f1) MiB)"
  rm -rf "$desk/Ipod" "$desk/Ipod.ours"
  awk '$1 > 1 { w = $3; wall[$2] += w; cpu[$2] += $4 + $5; n[$2]++
                if (!($2 in lo) || w < lo[$2]) lo[$2] = w; if (w > hi[$2]) hi[$2] = w }
    END { printf "pictures send, 1 GiB: ours %d ms (%d-%d, cpu %d ms), cp -a %d ms (%d-%d, cpu %d ms), ratio %.2fx (target <= 1.2x)\n",
          1000 * wall["ours"] / n["ours"], 1000 * lo["ours"], 1000 * hi["ours"], 1000 * cpu["ours"] / n["ours"],
          1000 * wall["cp"] / n["cp"], 1000 * lo["cp"], 1000 * hi["cp"], 1000 * cpu["cp"] / n["cp"],
          wall["ours"] / wall["cp"] }' "$work/send.times" | tee -a "$work/summary.txt"
  ;;
esac
done
echo; cat "$work/summary.txt"
