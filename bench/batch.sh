#!/usr/bin/env bash
# Times write and verify of four units on four paced simulators in one
# telvarin-cli call against one unit alone, and prints the ratio (the units
# run side by side, so it should stay near 1). Usage: bench/batch.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TELVARIN_BUILD_DIR:-build}
cmake --build "$build" --target telvarin-modem-simulator telvarin-cli >/dev/null
dir=$(mktemp -d)
sims=()
trap 'kill "${sims[@]}" 2>/dev/null; wait "${sims[@]}" 2>/dev/null; rm -rf "$dir"' EXIT
# Each simulator says "link LINK" on its standard output once its link is in
# place; the pipe stays open, so it never writes into a closed one.
for n in 1 2 3 4; do
    mkfifo "$dir/out$n"
    "$build/tools/modemsim/telvarin-modem-simulator" --link "$dir/com$n" >"$dir/out$n" 2>/dev/null &
    sims+=($!)
    exec {out}<"$dir/out$n"
    until [ "${line:-}" = "link $dir/com$n" ]; do
        read -r -t 10 -u "$out" line || { echo "$0: the modem simulator did not report its link $dir/com$n" >&2; exit 1; }
    done
done
cli=$build/cli/telvarin-cli
"$cli" read --quiet --port "$dir/com1" --output "$dir/site.txt"
one=(--port "$dir/com1")
four=(--port "$dir/com1" --port "$dir/com2" --port "$dir/com3" --port "$dir/com4")

seconds() { # ARGUMENTS...: wall time of one quiet run
    local start end
    start=$(date +%s.%N)
    "$cli" "$@" --quiet >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
for _ in $(seq "${1:-3}"); do
    for command in write verify; do
        single=$(seconds "$command" "${one[@]}" --slave-id 1 "$dir/site.txt")
        batch=$(seconds "$command" "${four[@]}" --slave-id 1 "$dir/site.txt")
        awk -v c="$command" -v s="$single" -v b="$batch" 'BEGIN {
            printf "%-7s one unit %6.3f s   four units %6.3f s   ratio %5.3f\n", c, s, b, b / s }'
    done
done
