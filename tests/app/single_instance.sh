#!/bin/sh
# A second Tambrel started while one runs hands over to the first and ends at once.
# Usage: single_instance.sh TAMBREL
set -u
tambrel=$1
work=$(mktemp -d)
trap 'kill "$first" 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen HOME="$work/home"
mkdir -m 700 -p "$XDG_RUNTIME_DIR" "$HOME"

"$tambrel" --library "$work/lib" >"$work/first.log" 2>&1 &
first=$!
i=0
while [ ! -S "$XDG_RUNTIME_DIR/tambrel-$(id -u).socket" ]; do
    i=$((i + 1))
    if [ $i -gt 200 ] || ! kill -0 "$first" 2>/dev/null; then
        echo "the first Tambrel did not start"; cat "$work/first.log"; exit 1
    fi
    sleep 0.05
done

start=$(date +%s%N)
timeout 20 "$tambrel" --library "$work/lib" >"$work/second.log" 2>&1
status=$?
end=$(date +%s%N)
echo "second start ended with $status after $(( (end - start) / 1000000 )) ms"
if [ $status -ne 0 ]; then
    cat "$work/second.log"; exit 1
fi
if ! kill -0 "$first" 2>/dev/null; then
    echo "the first Tambrel is gone"; exit 1
fi
exit 0
