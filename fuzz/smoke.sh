#!/usr/bin/env bash
# A short run of every fuzz target on its seeds: the samples in tests/data, the public corpora
# beside the repository when they are there, and hand-made inputs. A crash, a hang or an input
# that takes more memory than a reader may fails the run and leaves the input in
# build/fuzz/smoke/<target>.
#
#   fuzz/smoke.sh [seconds per target]      (default: FUZZ_SECONDS, else 60)
# QUENDA_CORPORA_DIR names the corpora when they are elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}
command -v clang++ >/dev/null || scripts/install-deps.sh --bench # clang and libFuzzer
cmake --preset fuzz >/dev/null
targets=(fuzz_sheet_zip fuzz_sheet_xls fuzz_rtf_reader fuzz_delimited_reader fuzz_dbf_reader
         fuzz_mdb_stream)
cmake --build --preset fuzz --target "${targets[@]}"
out=build/fuzz/smoke
rm -rf "$out"
mkdir -p "$out"
corpora=${QUENDA_CORPORA_DIR:-../shared/corpora}

python3 fuzz/make_seeds.py "$out/seeds" build/release/src/quenda-mdb-reader 2>/dev/null ||
    python3 fuzz/make_seeds.py "$out/seeds"
python3 fuzz/sheet_zip_seeds.py "$out/seeds/zip_made"
python3 fuzz/sheet_zip_seeds.py "$out/seeds/zip" tests/data/xls $( [ -d $corpora ] && echo $corpora/sheets )
mkdir -p "$out/seeds/xls" "$out/seeds/rtf"
cp tests/data/xls/*.xls "$out/seeds/xls/"
cp tests/data/rtf/*.rtf "$out/seeds/rtf/"
if [ -d $corpora ]; then
    find $corpora/sheets -name '*.xls' -exec cp {} "$out/seeds/xls/" \;
    find $corpora/sheets -name '*.xls.gz' -exec sh -c 'gzip -dc "$1" > "$2/$(basename "$1" .gz)"' _ {} "$out/seeds/xls" \;
    find $corpora/rtf -name '*.rtf' -exec cp {} "$out/seeds/rtf/" \;
    find $corpora/csv -name '*.csv' -exec sh -c 'printf "\0" | cat - "$1" > "$2/corpus_$(basename "$1")"' _ {} "$out/seeds/delimited" \;
fi

run() { # target seed-dir [extra options]
    local target=$1 seeds=$2 dir="$out/$1-$(basename "$2")"
    shift 2
    mkdir -p "$dir/corpus"
    echo "== $target on $(basename "$seeds"): $seconds s"
    build/fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
        -detect_leaks=0 -print_final_stats=1 -artifact_prefix="$dir/" "$@" \
        "$dir/corpus" "$seeds" 2>"$dir/log" || {
        tail -40 "$dir/log"
        echo "fuzz smoke: $target failed; its input is in $dir" >&2
        return 1
    }
    grep -E '^stat::number_of_executed_units' "$dir/log" || true
}

# The small hand-made packages first: there a mutated part name is one mutation among few, and a
# name that leads out of the package is found within seconds; then the real workbooks.
run fuzz_sheet_zip "$out/seeds/zip_made" -dict=fuzz/sheet_zip.dict -max_len=4096
run fuzz_sheet_zip "$out/seeds/zip" -dict=fuzz/sheet_zip.dict -max_len=16384
run fuzz_sheet_xls "$out/seeds/xls" -max_len=65536
run fuzz_rtf_reader "$out/seeds/rtf" -max_len=16384
run fuzz_delimited_reader "$out/seeds/delimited" -max_len=16384
run fuzz_dbf_reader "$out/seeds/dbf" -max_len=16384
run fuzz_mdb_stream "$out/seeds/mdb" -max_len=16384
echo "fuzz smoke passed"
