#!/usr/bin/env bash
# Runs one fuzzer for a while from a seed corpus: the notation fuzzer from the hand-made seeds
# and every method of the bundled library, the table fuzzers (dbf_fuzz, mdx_fuzz) and the
# collection fuzzer (collection_fuzz) from their seed folders, the import file fuzzer
# (delimited_fuzz) from its seeds and the bundled files. Corpora and findings live in the
# fuzzer's build folder (build/fuzz).
set -euo pipefail
fuzzer=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
seconds=${2:-600}
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(dirname "$(dirname "$fuzzer")")
name=$(basename "$fuzzer")
findings="$build/findings"
case "$name" in
notation_fuzz)
    corpus="$build/corpus"
    prefix="$findings/"
    mkdir -p "$corpus" "$findings"
    "$(dirname "$fuzzer")/make_fuzz_corpus" "$top/data/Methods.csv" "$corpus"
    cp "$top"/fuzz/seeds/* "$corpus"/
    ;;
dbf_fuzz | mdx_fuzz | collection_fuzz)
    corpus="$build/corpus-${name%_fuzz}"
    prefix="$findings/$name-"
    mkdir -p "$corpus" "$findings"
    cp "$top/fuzz/seeds-${name%_fuzz}"/* "$corpus"/
    ;;
delimited_fuzz)
    # The hand-made seeds, and the start of each bundled import file behind a byte that picks
    # the reading pieces and the line limit.
    corpus="$build/corpus-csv"
    prefix="$findings/$name-"
    mkdir -p "$corpus" "$findings"
    cp "$top"/fuzz/seeds-csv/* "$corpus"/
    for data in Methods Calls; do
        { printf '\x7a'; head -c 2000 "$top/data/$data.csv"; } >"$corpus/bundled-$data"
    done
    ;;
*)
    echo "run-fuzz.sh: no corpus is known for $name" >&2
    exit 2
    ;;
esac
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$prefix" "$corpus"
