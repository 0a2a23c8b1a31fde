#!/usr/bin/env bash
# Runs one fuzzer for a while from a seed corpus: the notation fuzzer from the hand-made seeds
# and every method of the bundled library, the table fuzzers (dbf_fuzz, mdx_fuzz) and the
# collection fuzzer (collection_fuzz) from their seed folders. Corpora and findings live in the
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
*)
    echo "run-fuzz.sh: no corpus is known for $name" >&2
    exit 2
    ;;
esac
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$prefix" "$corpus"
