#!/usr/bin/env bash
# Times the folder copier's command line against the tools a user would reach for, in one run:
#   folders size            vs  du -sb            (2 GiB of mixed files; 200,000 small files)
#   folders copy --to       vs  cp -a, then sync -f on the target (the same trees, ticked in a
#                               scheme; our copy flushes what it copies, so the fair peer does)
#   folders scan            vs  du -sb ROOT/*     (a root holding both trees)
# Usage: folders_bench.sh [BUILD_DIR] [WHICH...]   WHICH: size copy scan
# The trees are made under bench/out/folders_root once and kept; delete bench/out when done.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
shift || true
which=${*:-size copy scan}
cli=$build/src/quenda-ipod-cli
out=$here/out
root=$out/folders_root
work=$out/folders_work
[ -x "$cli" ] || ninja -C "$build" quenda-ipod-cli
mkdir -p "$root" "$work"
[ -d "$root/mixed" ] || python3 "$here/tree_generate.py" mixed "$root/mixed" 2048
[ -d "$root/small" ] || python3 "$here/tree_generate.py" small "$root/small" 200000

export QUENDA_PROGRAM_DIR=$work/program QUENDA_DESKTOP_DIR=$work/desktop
mkdir -p "$QUENDA_PROGRAM_DIR" "$QUENDA_DESKTOP_DIR"
"$cli" init > /dev/null
: > "$work/summary.txt"

ratio() { # json label target
  jq -r --arg l "$2" --arg t "$3" '.results | (.[0].mean / .[1].mean) as $r |
    "\($l): ours \(.[0].mean * 1000 | floor) ms (sd \(.[0].stddev * 1000 | floor)), \(.[1].command) \(.[1].mean * 1000 | floor) ms (sd \(.[1].stddev * 1000 | floor)), ratio \($r * 100 | round / 100)x (target <= \($t)x)"' "$1" |
    tee -a "$work/summary.txt"
}

for w in $which; do
case $w in
size)
  for t in mixed small; do
    echo "sizes of $t: ours $("$cli" folders size "$root/$t"), du -sb $(du -sb "$root/$t" | cut -f1) (du adds the folders themselves)"
    hyperfine -N --warmup 2 --runs 10 --export-json "$work/size_$t.json" \
      -n ours "$cli folders size $root/$t" -n "du -sb" "du -sb $root/$t"
    ratio "$work/size_$t.json" "folders size, $t" 1.2
  done
  ;;
copy)
  "$cli" folders scan "$root" --scheme bench > /dev/null
  for t in mixed small; do
    target=1.3
    "$cli" folders select --scheme bench "$root/$t" > /dev/null
    dst=$work/copy_dst
    # Runs alternate between the two tools so that whatever else the machine does weighs on
    # both alike; each starts with an empty target and the last run's dirty pages written out.
    : > "$work/copy_$t.times"
    for run in 1 2 3 4; do
      for side in ours cp+sync; do
        rm -rf "$dst"; mkdir -p "$dst"; sync
        if [ $side = ours ]; then cmd=("$cli" folders copy --scheme bench --to "$dst")
        else cmd=(sh -c 'cp -a "$1" "$2/" && sync -f "$2"' - "$root/$t" "$dst"); fi
        /usr/bin/time -f "$side %e %U %S" -a -o "$work/copy_$t.times" "${cmd[@]}" > /dev/null
      done
    done
    "$cli" folders copy --scheme bench --to "$dst" > /dev/null
    diff -r "$root/$t" "$dst/$t" > /dev/null && echo "copy of $t identical to the source"
    rm -rf "$dst"
    # The first round fills caches for both and is left out.
    awk -v label="folders copy --to, $t" -v target="$target" 'NR > 2 {
        wall[$1] += $2; cpu[$1] += $3 + $4; n[$1]++
        if (!($1 in lo) || $2 < lo[$1]) lo[$1] = $2
        if ($2 > hi[$1]) hi[$1] = $2 }
      END { p = "cp+sync"
            printf "%s: ours %d ms (%d..%d, cpu %d ms), cp -a + sync -f %d ms (%d..%d, cpu %d ms), ratio %.2fx (target <= %sx)\n",
            label, 1000 * wall["ours"] / n["ours"], 1000 * lo["ours"], 1000 * hi["ours"],
            1000 * cpu["ours"] / n["ours"], 1000 * wall[p] / n[p], 1000 * lo[p],
            1000 * hi[p], 1000 * cpu[p] / n[p], wall["ours"] / wall[p], target }' \
      "$work/copy_$t.times" | tee -a "$work/summary.txt"
  done
  ;;
scan)
  cat > "$work/scan_peer.sh" <<PEER
#!/usr/bin/env bash
du -sb "$root"/*
PEER
  chmod +x "$work/scan_peer.sh"
  hyperfine -N --warmup 1 --runs 5 --export-json "$work/scan.json" \
    -n ours "$cli folders scan $root --scheme bench" -n "du -sb ROOT/*" "$work/scan_peer.sh"
  "$cli" folders scan "$root" --scheme bench
  ratio "$work/scan.json" "folders scan, root of both trees" 1.2
  ;;
esac
done
echo; cat "$work/summary.txt"
