#!/usr/bin/env bash
# Times Read and Write against the paced modem simulator (a separate
# process) and prints wall time against 33 x 200 ms and 34 x 200 ms and the
# tool's CPU time. Usage: bench/run.sh [ROUNDS]   (after ./run.sh or ./run.sh test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TELVARIN_BUILD_DIR:-build}
cmake --build "$build" --target telvarin-bench telvarin-modemsim >/dev/null
dir=$(mktemp -d)
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$dir"' EXIT
"$build/tools/modemsim/telvarin-modemsim" --link "$dir/com1" 2>/dev/null >/dev/null &
sim=$!
for _ in $(seq 50); do [ -L "$dir/com1" ] && break; sleep 0.1; done
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/telvarin-bench" "$dir" "${1:-3}"
