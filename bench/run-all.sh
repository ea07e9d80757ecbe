#!/usr/bin/env bash
# Runs every bulk job of the command line against the plain tool a user would reach for, in
# one run, and writes one table of the results:
#   split by lines / by size        vs  split -l / split -C
#   notes scan, office scan         vs  find piped into sqlite3, the same rows in one transaction
#   RTF to text                     vs  unrtf --text
#   contact send                    vs  a python3 loop writing the same cards, then sync -f
#   import of CSV and of dBASE      vs  sqlite3 .import of the same CSV file
#   import of vCard                 vs  sqlite3 .import of a CSV file of the same fields
#   folder size                     vs  du -sb
#   folder copy, organised copy     vs  cp -a, then sync -f
#   picture send, player send       vs  cp -a of the same files, then sync -f
#   text file from a sheet          vs  ssconvert where installed, else a python3 reader
# Our copies and writers flush what they write before they end, so every peer that writes
# files flushes them too; split is the exception on purpose (the splitter is held to plain
# split). hyperfine times both sides, one warm-up run each, with the same input files; every
# run starts from an emptied target. The split, the import and the folder copy also run at
# 1/16 and 1/4 of their size, for the cost per unit as a job grows ("Growth").
#
# Usage: bench/run-all.sh [--quick] [--only JOB,...]
#   --quick  small sizes, three runs a side: under two minutes on a quiet machine
#   --only   some of: split notes rtf contacts import size copy organised pictures office
#            textfile player
# Environment: QUENDA_CLI (default build/release/src/quenda-ipod-cli), BENCH_OUT (default
# bench/out/all; generated inputs are kept there between runs), BENCH_RUNS (runs a side).
# Writes bench/results.md and docs/bench.svg (with --only, into BENCH_OUT instead).

# q only quotes its arguments and cannot fail, so its use in local assignments hides nothing.
# shellcheck disable=SC2155
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${QUENDA_CLI:-$root/build/release/src/quenda-ipod-cli}
out=${BENCH_OUT:-$here/out/all}
quick=0
only=""
while (($#)); do
    case $1 in
    --quick) quick=1 ;;
    --only) only=${2:?--only needs a list of jobs}; shift ;;
    -h | --help) sed -n '2,/^$/p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown argument: $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done

for tool in hyperfine sqlite3 python3 split du cp sync find xargs; do
    command -v "$tool" > /dev/null || { echo "$tool is required" >&2; exit 1; }
done
[[ -x $cli ]] || { echo "build quenda-ipod-cli first (or set QUENDA_CLI): $cli" >&2; exit 1; }
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")

# Sizes: the table's size of each job; the growth runs take a sixteenth and a quarter of it.
# Every card the contact send writes is flushed on its own, so it gets far fewer than the rest.
if ((quick)); then
    split_mib=32 notes_files=10000 rtf_mb=5 contacts=100 import_rows=10000 tree_files=10000
    ticked=1000 copy_mib=32 photos_mib=32 sheet_rows=50000 cards=1000 notes=100 runs=3
else
    split_mib=512 notes_files=100000 rtf_mb=50 contacts=2000 import_rows=100000
    tree_files=100000 ticked=20000 copy_mib=1024 photos_mib=1024 sheet_rows=50000 cards=10000
    notes=1000 runs=5
fi
runs=${BENCH_RUNS:-$runs}

data=$out/data # generated inputs, kept
work=$out/work # scratch, emptied per job
ledger=$out/ledger.tsv
log=$out/hyperfine.log
mkdir -p "$data" "$work"
: > "$ledger"
: > "$log"
export HOME=$work/home
mkdir -p "$HOME"

q() { printf '%q ' "$@"; }
say() { printf '%s\n' "$*" >&2; }
n() { sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<< "$1"; } # 100000 -> 100,000
wanted() { [[ -z $only || ,$only, == *,$1,* ]]; }

# A fresh organizer database in DIR (its Desktop beside it); prints nothing.
program() {
    rm -rf "$1"
    mkdir -p "$1/Desktop"
    QUENDA_PROGRAM_DIR=$1 QUENDA_DESKTOP_DIR=$1/Desktop "$cli" init > /dev/null
}
# The environment prefix that points the CLI at the program folder DIR.
at() { printf 'env QUENDA_PROGRAM_DIR=%q QUENDA_DESKTOP_DIR=%q ' "$1" "$1/Desktop"; }

# measure SECTION GROUP JOB SIZE UNITS UNIT NAME -- hyperfine arguments
# Runs hyperfine into BENCH_OUT/NAME.json; the first command is ours, the last the peer. A job
# that fails is recorded as such and the suite goes on.
measure() {
    local section=$1 group=$2 job=$3 size=$4 units=$5 unit=$6 name=$7
    shift 8
    local json=$out/$name.json commands=0 arg
    for arg in "$@"; do [[ $arg == -n ]] && commands=$((commands + 1)); done
    say "  $job, $size ..."
    rm -f "$json" # what a failed run leaves must not pass for its figures
    if hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$json" "$@" \
        >> "$log" 2>&1; then
        say "    $(python3 "$here/bench_report.py" line "$json" 0 $((commands - 1)))"
        record "$section" "$group" "$job" "$size" "$units" "$unit" "$json" 0 $((commands - 1))
    else
        say "    failed: see $log"
        record "$section" "$group" "$job" "$size" "$units" "$unit" "failed: see hyperfine.log" 0 1
    fi
}
record() { local IFS=$'\t'; printf '%s\n' "$*" >> "$ledger"; }
# A second ledger line for a measurement already made (the full size's point of a growth run,
# or a third command of the same hyperfine run).
again() { # section group job size units unit name ours-index peer-index
    local json=$out/$7.json
    if [[ -f $json ]]; then
        record "$1" "$2" "$3" "$4" "$5" "$6" "$json" "$8" "$9"
    else
        record "$1" "$2" "$3" "$4" "$5" "$6" "failed: see hyperfine.log" 0 1
    fi
}
# Tells when the two sides did not leave the same result behind; the figures still stand.
check() { [[ $2 == "$3" ]] || say "    note: $1 differ: ours $2, peer $3"; }

split_job() { # MIB SECTION...
    local mib=$1 source=$data/split-$1M.txt dir=$work/split
    [[ -f $source && $(stat -c %s "$source") -eq $((mib << 20)) ]] ||
        python3 "$here/split_make_text.py" "$source" $((mib << 20)) > /dev/null
    rm -rf "$dir"
    mkdir -p "$dir/ours" "$dir/gnu"
    # Our pieces land beside the file they split: the same file, linked into a folder of its own.
    ln -f "$source" "$dir/ours/big.txt"
    local clean_ours="find $(q "$dir/ours") -name 'big[0-9]*.txt' -delete"
    local clean_gnu="find $(q "$dir/gnu") -name 'x*' -delete"
    local section=$2 size="$mib MiB"
    if [[ $section == main ]]; then
        measure main split-lines "split by lines vs split -l" "$size" "$mib" MiB split-lines -- \
            --prepare "$clean_ours" -n ours "$(q "$cli" split "$dir/ours/big.txt" --lines 100000)" \
            --prepare "$clean_gnu" -n peer "$(q split -a 4 -l 100000 "$source" "$dir/gnu/x")"
        check "pieces by lines" "$(find "$dir/ours" -name 'big[0-9]*.txt' | wc -l)" \
            "$(find "$dir/gnu" -name 'x*' | wc -l)"
        measure main split-kb "split by size vs split -C" "$size" "$mib" MiB split-kb -- \
            --prepare "$clean_ours" -n ours "$(q "$cli" split "$dir/ours/big.txt" --kb 512)" \
            --prepare "$clean_gnu" -n peer "$(q split -a 4 -C 512K "$source" "$dir/gnu/x")"
        check "pieces by size" "$(find "$dir/ours" -name 'big[0-9]*.txt' | wc -l)" \
            "$(find "$dir/gnu" -name 'x*' | wc -l)"
        again growth split "split by lines vs split -l" "$size" "$mib" MiB split-lines 0 1
    else
        measure growth split "split by lines vs split -l" "$size" "$mib" MiB "split-lines-$mib" -- \
            --prepare "$clean_ours" -n ours "$(q "$cli" split "$dir/ours/big.txt" --lines 100000)" \
            --prepare "$clean_gnu" -n peer "$(q split -a 4 -l 100000 "$source" "$dir/gnu/x")"
    fi
    rm -rf "$dir"
}

notes_job() {
    local tree=$data/notes-$notes_files dir=$work/notes
    [[ -d $tree ]] || "$here/notes_scan_generate.sh" "$tree" "$notes_files" > /dev/null
    rm -rf "$dir"
    program "$dir/ours"
    mkdir -p "$dir/peer"
    cp "$dir/ours/QUENDADATA.Dll" "$dir/peer/"
    cat > "$dir/peer.sh" << PEER
#!/usr/bin/env bash
set -euo pipefail
find $(q "$tree") -type f \\( -iname '*.rtf' -o -iname '*.txt' \\) \\
     -printf '%f\t%p\t%s\t%Tb-%Td-%TY\n' |
sqlite3 $(q "$dir/peer/QUENDADATA.Dll") \\
  'CREATE TEMP TABLE found(a TEXT, p TEXT, s TEXT, d TEXT);' '.mode tabs' \\
  '.import /dev/stdin found' 'BEGIN;' 'DELETE FROM Quenda_IpodScan;' \\
  "INSERT INTO Quenda_IpodScan(Application, Path, Type, size, [Date])
     SELECT a, p, CASE WHEN instr(substr(p, -4), '.') > 0
                       THEN substr(substr(p, -4), instr(substr(p, -4), '.') + 1) ELSE 'rtf' END,
            s, d FROM found;" 'COMMIT;'
PEER
    chmod +x "$dir/peer.sh"
    measure main notes "notes scan vs find + sqlite3" "$(n "$notes_files") files" \
        "$notes_files" file notes -- \
        -n ours "$(at "$dir/ours")$(q "$cli" notes scan "$tree")" -n peer "$dir/peer.sh"
    local count='SELECT count(*) FROM Quenda_IpodScan'
    check "rows" "$(sqlite3 "$dir/ours/QUENDADATA.Dll" "$count")" \
        "$(sqlite3 "$dir/peer/QUENDADATA.Dll" "$count")"
}

rtf_job() {
    command -v unrtf > /dev/null || {
        say "  RTF to text: unrtf is not installed"
        record main rtf "RTF to text vs unrtf --text" "$rtf_mb MB" "$rtf_mb" MB \
            "failed: unrtf not installed" 0 1
        return
    }
    local file=$data/rtf-$rtf_mb.rtf
    [[ -s $file ]] || python3 "$here/rtf_generate.py" "$file" "$rtf_mb" > /dev/null
    measure main rtf "RTF to text vs unrtf --text" "$rtf_mb MB" "$rtf_mb" MB rtf -- \
        -n ours "$(q "$cli" rtf-text "$file")" -n peer "$(q unrtf --text "$file")"
}

contacts_job() {
    local db=$data/contacts-$contacts dir=$work/contacts
    [[ -f $db/QUENDADATA.Dll ]] || "$here/contacts_generate.sh" "$contacts" "$db" "$cli"
    rm -rf "$dir"
    mkdir -p "$dir/first"
    # One untimed send gives the cards the loop writes: the same names and the same bytes.
    QUENDA_PROGRAM_DIR=$db QUENDA_DESKTOP_DIR=$db/Desktop "$cli" send-ipod --out "$dir/first" \
        > /dev/null
    python3 "$here/write_files.py" pack "$dir/first" "$dir/cards.pack" > /dev/null
    local cards
    cards=$(find "$dir/first" -type f | wc -l)
    rm -rf "$dir/first"
    measure main contacts "contact send vs python3 loop + sync -f" "$(n "$contacts") contacts" \
        "$contacts" contact contacts -- \
        --prepare "rm -rf $(q "$dir/ours") && mkdir $(q "$dir/ours")" \
        -n ours "$(at "$db")$(q "$cli" send-ipod --out "$dir/ours")" \
        --prepare "rm -rf $(q "$dir/peer") && mkdir $(q "$dir/peer")" \
        -n peer "$(q python3 "$here/write_files.py" write "$dir/cards.pack" "$dir/peer") &&
                 $(q sync -f "$dir/peer")"
    check "cards" "$(find "$dir/ours" -type f | wc -l)" "$cards"
    rm -rf "$dir"
}

import_maps=(--map NAME=FULLNAME --map FIRST=FIRST --map LAST=LAST --map TITLE=TITLE
    --map COMPANY=COMPANY --map H_ADD1=STREET --map H_ADD2=STREET2 --map H_CITY=CITY
    --map H_STATE=STATE --map H_PIN=ZIP --map H_COUNTRY=COUNTRY --map H_PH1=PHONE
    --map H_PH2=PHONE2 --map MOBILE=MOBILE --map H_EMAIL1=EMAIL --map H_WEB=WEB
    --map JOB_TITLE=JOB --map CATEGORY1=CATEGORY --map CATEGORY2=SUBCAT --map M_BD=BIRTHDAY)

import_job() { # ROWS SECTION
    local rows=$1 source=$data/import-$1 dir=$work/import
    [[ -f $source/contacts.dbf ]] || python3 "$here/import_generate.py" "$source" "$rows"
    rm -rf "$dir"
    program "$dir/program"
    cp "$dir/program/QUENDADATA.Dll" "$dir/empty.Dll"
    local fresh="cp $(q "$dir/empty.Dll" "$dir/program/QUENDADATA.Dll")"
    local peer_prepare="rm -f $(q "$dir/scratch.db")"
    local peer="sqlite3 $(q "$dir/scratch.db" .mode\ csv ".import $source/contacts.csv contacts")"
    local ours_csv ours_dbf
    ours_csv="$(at "$dir/program")$(q "$cli" import run "$source/contacts.csv" --kind 'Text;' \
        "${import_maps[@]}")"
    ours_dbf="$(at "$dir/program")$(q "$cli" import run "$source/contacts.dbf" --kind 'dBASE IV;' \
        "${import_maps[@]}")"
    local size="$(n "$rows") rows"
    if [[ $2 == main ]]; then
        measure main import-csv "import of CSV vs sqlite3 .import" "$size" "$rows" row import -- \
            --prepare "$fresh" -n ours "$ours_csv" --prepare "$fresh" -n ours-dbf "$ours_dbf" \
            --prepare "$peer_prepare" -n peer "$peer"
        again main import-dbf "import of dBASE vs sqlite3 .import" "$size" "$rows" row import 1 2
        again growth import "import of CSV vs sqlite3 .import" "$size" "$rows" row import 0 2
        check "rows" "$(sqlite3 "$dir/program/QUENDADATA.Dll" 'SELECT count(*) FROM cnt_main')" \
            "$(sqlite3 "$dir/scratch.db" 'SELECT count(*) FROM contacts')"
        vcard_job "$rows"
    else
        measure growth import "import of CSV vs sqlite3 .import" "$size" "$rows" row \
            "import-$rows" -- \
            --prepare "$fresh" -n ours "$ours_csv" --prepare "$peer_prepare" -n peer "$peer"
    fi
}

# The file copier's tree: folder size, office scan and organised copy all walk it.
files_tree() {
    local tree=$data/files-$tree_files
    [[ -d $tree ]] || python3 "$here/tree_generate.py" files "$tree" "$tree_files" 6 > /dev/null
    printf '%s' "$tree"
}

size_job() {
    local tree
    tree=$(files_tree)
    measure main size "folder size vs du -sb" "$(n "$tree_files") files" "$tree_files" file \
        size -- \
        -n ours "$(q "$cli" folders size "$tree")" -n peer "$(q du -sb "$tree")"
}

copy_job() { # MIB SECTION
    local mib=$1 base=$data/copy-$1 dir=$work/copy
    [[ -d $base/mixed ]] || python3 "$here/tree_generate.py" mixed "$base/mixed" "$mib" > /dev/null
    rm -rf "$dir"
    program "$dir/program"
    QUENDA_PROGRAM_DIR=$dir/program "$cli" folders scan "$base" --scheme bench > /dev/null
    QUENDA_PROGRAM_DIR=$dir/program "$cli" folders select --scheme bench "$base/mixed" > /dev/null
    local fresh="rm -rf $(q "$dir/dst") && mkdir $(q "$dir/dst") && sync -f $(q "$dir")"
    local job="folder copy vs cp -a + sync -f" name=copy section=$2
    [[ $section == main ]] || name=copy-$mib
    measure "$section" copy "$job" "$mib MiB" "$mib" MiB "$name" -- \
        --prepare "$fresh" \
        -n ours "$(at "$dir/program")$(q "$cli" folders copy --scheme bench --to "$dir/dst")" \
        --prepare "$fresh" -n peer "$(q cp -a "$base/mixed" "$dir/dst/") && $(q sync -f "$dir/dst")"
    [[ $section == main ]] && again growth copy "$job" "$mib MiB" "$mib" MiB copy 0 1
    rm -rf "$dir/dst"
}

organised_job() {
    local tree dir=$work/organised
    tree=$(files_tree)
    rm -rf "$dir"
    program "$dir/program"
    local db=$dir/program/QUENDADATA.Dll
    QUENDA_PROGRAM_DIR=$dir/program "$cli" files scan "$tree" > /dev/null
    sqlite3 "$db" "UPDATE qd_ScanFile SET SelectFile = 1 WHERE rowid IN
                     (SELECT rowid FROM qd_ScanFile ORDER BY rowid LIMIT $ticked)"
    sqlite3 "$db" 'SELECT Path FROM qd_ScanFile WHERE SelectFile ORDER BY rowid' > "$dir/ticked.txt"
    local fresh="rm -rf $(q "$dir/dst") && mkdir $(q "$dir/dst") && sync -f $(q "$dir")"
    measure main organised "organised copy vs cp -a + sync -f" "$(n "$ticked") files" \
        "$ticked" file organised -- \
        --prepare "$fresh" \
        -n ours "$(at "$dir/program")$(q "$cli" files copy --scheme Year-Month --to "$dir/dst")" \
        --prepare "$fresh" \
        -n peer "xargs -d '\\n' -a $(q "$dir/ticked.txt") cp -a -t $(q "$dir/dst") &&
                 $(q sync -f "$dir/dst")"
    rm -rf "$dir/dst"
}

pictures_job() {
    local src=$data/photos-$photos_mib dir=$work/pictures
    [[ -d $src ]] || python3 "$here/pictures_generate.py" photos "$src" "$photos_mib" > /dev/null
    rm -rf "$dir"
    program "$dir/program"
    QUENDA_PROGRAM_DIR=$dir/program QUENDA_DESKTOP_DIR=$dir/program/Desktop \
        "$cli" pictures scan "$src" > "$dir/rows.tsv"
    # Source folder and flattened staging name of every recorded row, for the peer's loop.
    awk -F'\t' -v OFS='\t' -v stage="$dir/peer" '{
        s = $1; for (i = 2; i <= 5; i++) if ($i != "") s = s "/" $i
        print s, stage "/" $6 }' "$dir/rows.tsv" > "$dir/pairs.tsv"
    cat > "$dir/peer.sh" << PEER
#!/usr/bin/env bash
set -euo pipefail
while IFS=\$'\t' read -r from to; do
    mkdir -p "\$to"
    cp -a "\$from/." "\$to/"
done < $(q "$dir/pairs.tsv")
sync -f $(q "$dir/peer")
PEER
    chmod +x "$dir/peer.sh"
    measure main pictures "picture send vs cp -a + sync -f" "$photos_mib MiB" "$photos_mib" MiB \
        pictures -- \
        --prepare "rm -rf $(q "$dir/program/Desktop/Ipod") && sync -f $(q "$dir")" \
        -n ours "$(at "$dir/program")$(q "$cli" pictures send)" \
        --prepare "rm -rf $(q "$dir/peer") && sync -f $(q "$dir")" -n peer "$dir/peer.sh"
    check "bytes sent" "$(du -sb "$dir/program/Desktop/Ipod" | cut -f1)" \
        "$(du -sb "$dir/peer" | cut -f1)"
    rm -rf "$dir"
}

office_job() {
    local tree dir=$work/office
    tree=$(files_tree)
    rm -rf "$dir"
    program "$dir/ours"
    mkdir -p "$dir/peer"
    cp "$dir/ours/QUENDADATA.Dll" "$dir/peer/"
    cat > "$dir/peer.sh" << PEER
#!/usr/bin/env bash
set -euo pipefail
find $(q "$tree") -type f \\( -iname '*.doc' -o -iname '*.rtf' -o -iname '*.txt' \\
  -o -iname '*.xls' -o -iname '*.csv' -o -iname '*.mdb' -o -iname '*.dbf' -o -iname '*.jpg' \\
  -o -iname '*.bmp' -o -iname '*.ppt' -o -iname '*.pdf' \\) \\
  -printf '%f\t%p\t%s\t%Tb-%Td-%TY\n' |
sqlite3 $(q "$dir/peer/QUENDADATA.Dll") \\
  'CREATE TEMP TABLE found(a TEXT, p TEXT, s TEXT, d TEXT);' '.mode tabs' \\
  '.import /dev/stdin found' 'BEGIN;' \\
  "INSERT INTO qd_ScanFile(Application, Path, Type, FileSize, [Date])
     SELECT a, p, CASE WHEN instr(substr(p, -4), '.') > 0
                       THEN substr(substr(p, -4), instr(substr(p, -4), '.') + 1) ELSE 'rtf' END,
            s, d FROM found;" 'COMMIT;'
PEER
    chmod +x "$dir/peer.sh"
    # The scan adds to the table: both sides start every run from an empty one.
    measure main office "office scan vs find + sqlite3" "$(n "$tree_files") files" \
        "$tree_files" file office -- \
        --prepare "sqlite3 $(q "$dir/ours/QUENDADATA.Dll") 'DELETE FROM qd_ScanFile'" \
        -n ours "$(at "$dir/ours")$(q "$cli" files scan "$tree")" \
        --prepare "sqlite3 $(q "$dir/peer/QUENDADATA.Dll") 'DELETE FROM qd_ScanFile'" \
        -n peer "$dir/peer.sh"
    local count='SELECT count(*) FROM qd_ScanFile'
    check "rows" "$(sqlite3 "$dir/ours/QUENDADATA.Dll" "$count")" \
        "$(sqlite3 "$dir/peer/QUENDADATA.Dll" "$count")"
}

textfile_job() {
    local sheet=$data/sheet-$sheet_rows.xlsx dir=$work/textfile peer job
    [[ -f $sheet ]] || python3 "$here/sheet_generate.py" "$sheet" "$sheet_rows" > /dev/null
    rm -rf "$dir"
    program "$dir/program"
    if command -v ssconvert > /dev/null; then
        job="text file from a sheet vs ssconvert"
        peer="$(q ssconvert --export-type=Gnumeric_stf:stf_csv "$sheet" "$dir/peer.csv")"
    else
        job="text file from a sheet vs python3 reader"
        peer="$(q python3 "$here/sheet_text_peer.py" "$sheet" "$dir/peer.txt")"
    fi
    measure main textfile "$job" "$(n "$sheet_rows") rows" "$sheet_rows" row textfile -- \
        -n ours "$(at "$dir/program")$(q "$cli" textfile "$sheet" --out "$dir/ours.txt")" \
        -n peer "$peer"
    [[ ! -f $dir/peer.txt ]] || cmp -s "$dir/ours.txt" "$dir/peer.txt" ||
        say "    note: the two text files differ"
}

player_job() {
    local base=$data/player-$cards dir=$work/player
    [[ -d $base/Desktop/Ipod ]] ||
        python3 "$here/player_generate.py" "$base/Desktop/Ipod" "$cards" "$notes" > /dev/null
    rm -rf "$dir"
    program "$dir/program"
    mkdir -p "$dir/player/iPod_Control"
    local staging=$base/Desktop/Ipod
    local run="env QUENDA_PROGRAM_DIR=$(q "$dir/program") QUENDA_DESKTOP_DIR=$(q "$base/Desktop")"
    run+=" QUENDA_PLAYER_ROOTS=$(q "$dir/player") "
    local copy
    copy="mkdir -p $(q "$dir/copy/Contacts" "$dir/copy/Notes")"
    copy+=" && find $(q "$staging") -maxdepth 1 -name '*.vcf'"
    copy+=" -exec cp -a -t $(q "$dir/copy/Contacts") {} +"
    copy+=" && find $(q "$staging") -maxdepth 1 -name '*.txt'"
    copy+=" -exec cp -a -t $(q "$dir/copy/Notes") {} +"
    copy+=" && sync -f $(q "$dir/copy")"
    measure main player "player send vs cp -a + sync -f" \
        "$(n "$cards") cards, $(n "$notes") notes" "$cards" card player -- \
        --prepare "rm -rf $(q "$dir/player/Contacts" "$dir/player/Notes") && sync -f $(q "$dir")" \
        -n ours "$run$(q "$cli" player send)" \
        --prepare "rm -rf $(q "$dir/copy") && sync -f $(q "$dir")" -n peer "$copy"
    rm -rf "$dir"
}

load() { cut -d' ' -f1-3 /proc/loadavg; }
started=$(date +%s)
load_before=$(load)
say "quenda-ipod-cli against its peers ($( ((quick)) && echo quick || echo full) run," \
    "$runs runs a side), load average $load_before"
# The jobs that also run at a sixteenth and a quarter of their size.
split_sizes() {
    split_job $((split_mib / 16)) growth
    split_job $((split_mib / 4)) growth
    split_job "$split_mib" main
}
vcard_job() { # CARDS: one .vcf of 3.0 cards, and a delimited file of the same 20 fields
    local cards=$1 source=$data/vcard-$1 dir=$work/vcard
    [[ -f $source/contacts.vcf ]] || python3 "$here/vcard_generate.py" "$source" "$cards" > /dev/null
    rm -rf "$dir"
    program "$dir/program"
    cp "$dir/program/QUENDADATA.Dll" "$dir/empty.Dll"
    measure main import-vcard "import of vCard vs sqlite3 .import" "$(n "$cards") cards" "$cards" \
        card import-vcard -- \
        --prepare "cp $(q "$dir/empty.Dll" "$dir/program/QUENDADATA.Dll")" -n ours \
        "$(at "$dir/program")$(q "$cli" import run "$source/contacts.vcf" --kind vCard --auto-map)" \
        --prepare "rm -f $(q "$dir/scratch.db")" -n peer \
        "sqlite3 $(q "$dir/scratch.db" .mode\ csv ".import $source/contacts.csv contacts")"
    check "cards" "$(sqlite3 "$dir/program/QUENDADATA.Dll" 'SELECT count(*) FROM cnt_main')" \
        "$(sqlite3 "$dir/scratch.db" 'SELECT count(*) FROM contacts')"
    rm -rf "$dir"
}
import_sizes() {
    import_job $((import_rows / 16)) growth
    import_job $((import_rows / 4)) growth
    import_job "$import_rows" main
}
copy_sizes() {
    copy_job $((copy_mib / 16)) growth
    copy_job $((copy_mib / 4)) growth
    copy_job "$copy_mib" main
}
for job in split import copy notes rtf contacts size organised pictures office textfile player; do
    wanted $job || continue
    say "$job"
    began=$SECONDS
    if declare -F "${job}_sizes" > /dev/null; then "${job}_sizes"; else "${job}_job"; fi
    say "  ($((SECONDS - began)) s with the inputs' making)"
done

results=$root/bench/results.md chart=$root/docs/bench.svg
[[ -z $only ]] || results=$out/results.md chart=$out/bench.svg
kind=$( ((quick)) && echo 'quick run' || echo 'full run')
tools="$(hyperfine --version), $(split --version | head -n1)"
tools+=", sqlite3 $(sqlite3 --version | cut -d' ' -f1)"
memory=$(($(awk '/MemTotal/ {print $2}' /proc/meminfo) >> 20))
python3 "$here/bench_report.py" table "$ledger" "$results" "$chart" \
    "$(date -u '+%Y-%m-%d %H:%M UTC'), $kind, $runs runs a side after one warm-up run" \
    "$(nproc) cores, $memory GiB; load average before $load_before, after $(load)" \
    "$tools" \
    "whole suite $(($(date +%s) - started)) s"
say "written: $results, $chart"
