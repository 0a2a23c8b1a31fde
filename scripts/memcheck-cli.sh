#!/usr/bin/env bash
# Runs the release tambrel-cli under valgrind's memcheck over a sample of methods (every 100th
# of the bundled library) and each kind of command; any memory error or definite leak fails.
#     scripts/memcheck-cli.sh [build/release/app/tambrel-cli]
set -uo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/release/app/tambrel-cli}
command -v valgrind >/dev/null || { echo "valgrind is not installed (apt install valgrind)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{ head -1 data/Methods.csv; awk 'NR > 1 && NR % 100 == 0' data/Methods.csv; } >"$work/sample.csv"
failed=0
run() {
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite --quiet "$cli" "$@" >/dev/null 2>"$work/log"
    local status=$?
    if [ "$status" -eq 99 ]; then
        failed=1
        cat "$work/log" >&2
    fi
    printf 'exit %-3s %s\n' "$status" "$*"
}
cambridge=-38-14-1258-36-14-58-16-78,12
echo "$(($(wc -l <"$work/sample.csv") - 1)) methods in the sample"
run batch --input "$work/sample.csv" --output "$work/facts.jsonl" --stats
run method --bells 8 --notation "$cambridge" --json --rows
run stats --bells 12 --notation x3Tx14x125Tx36x147Tx58x169Tx70x18x9Tx10xET,12 --json
run fch --bells 8 --notation "$cambridge" --lead 3 --labels --tb2 --json
run rolls --bells 10 --notation x30x14x1250x36x1470x58x16x70x18x90,12 --lead 2 --json
run comp --bells 8 --notation "$cambridge" --json
run intmeth --bells 8 --notation "$cambridge" --b-bells 8 --b-notation x38x58x16x12x38x14x12x78,12 --json
run render --bells 8 --notation "$cambridge" -o "$work/c.png"
run render --bells 8 --notation "$cambridge" --view stats -o "$work/c.pdf"
run check --bells 7 --notation 3.1.7.3.1.3,1
run library info --library "$work/lib"
run library find --library "$work/lib" --bells 8 --name "CAMBRIDGE SURPRISE MAJOR"
run import-methods "$work/sample.csv" --mode import --library "$work/lib"
run find-similar --bells 6 --notation x36x14x12x36x14x56,12 --type above --library "$work/lib" --json
run convert-cc --input data/Calls.csv --output "$work/x.csv" # refused: not a collection
if [ -f ../shared/data/cccbr-xml-sample.xml ]; then
    run convert-cc --input ../shared/data/cccbr-xml-sample.xml --output "$work/x.csv"
fi
if [ "$failed" -ne 0 ]; then
    echo "memcheck found errors" >&2
    exit 1
fi
echo "memcheck: no errors"
