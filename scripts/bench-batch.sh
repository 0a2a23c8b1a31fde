#!/usr/bin/env bash
# Times the whole bundled library through `tambrel-cli batch` (reading, calculating, writing
# JSON), best of five runs, against reading the same file with `wc -l` as a baseline.
set -euo pipefail
cli=${1:-build/release/app/tambrel-cli}
library=${2:-data/Methods.csv}

best() {
    local best_ns=0
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        local ns=$((end - start))
        if [ "$best_ns" -eq 0 ] || [ "$ns" -lt "$best_ns" ]; then
            best_ns=$ns
        fi
    done
    echo "$best_ns"
}

methods=$(($(wc -l <"$library") - 1))
batch_ns=$(best "$cli" batch --input "$library" --output /dev/null)
baseline_ns=$(best wc -l "$library")
awk -v n="$methods" -v b="$batch_ns" -v w="$baseline_ns" 'BEGIN {
    printf "tambrel-cli batch: %d methods in %.3f s (%.0f methods/s); wc -l on the same file: %.4f s (ratio %.0f)\n",
        n, b / 1e9, n / (b / 1e9), w / 1e9, b / w
}'
