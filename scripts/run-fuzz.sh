#!/usr/bin/env bash
# Runs the notation fuzzer for a while from a seed corpus: the hand-made seeds and every method
# of the bundled library. Findings land in build/fuzz/findings.
set -euo pipefail
fuzzer=$1
seconds=${2:-600}
top=$(cd "$(dirname "$0")/.." && pwd)
corpus="$top/build/fuzz/corpus"
findings="$top/build/fuzz/findings"
mkdir -p "$corpus" "$findings"
"$top/build/fuzz/fuzz/make_fuzz_corpus" "$top/data/Methods.csv" "$corpus"
cp "$top"/fuzz/seeds/* "$corpus"/
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus"
