#!/usr/bin/env bash
# Runs the whole test suite RUNS times in a row while another build of the
# project, from scratch and without ccache, keeps both cores busy: the suite's
# timing rules must hold on a loaded machine. Prints each run's result and
# time; exits non-zero if any run failed (its log is kept and named).
# Usage: bench/suite-under-load.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
build=${TELVARIN_BUILD_DIR:-build}
cmake --build "$build" >/dev/null
load=$(mktemp -d)
logs=$(mktemp -d)
# The loading build runs in its own process group, so all of it goes at the end.
setsid bash -c 'while :; do rm -rf "$1/b"; cmake -S . -B "$1/b" -G Ninja >/dev/null 2>&1
                          cmake --build "$1/b" -j"$(nproc)" >/dev/null 2>&1; done' _ "$load" &
loader=$!
trap 'kill -- -"$loader" 2>/dev/null || true; wait "$loader" 2>/dev/null || true; rm -rf "$load"' EXIT
failed=0
for run in $(seq 1 "$runs"); do
    start=$(date +%s)
    if QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -j2 --output-on-failure >"$logs/run$run.log" 2>&1; then
        result=passed
    else
        result="FAILED (log: $logs/run$run.log)"
        failed=1
    fi
    echo "run $run: $result in $(($(date +%s) - start)) s, load average $(cut -d' ' -f1 /proc/loadavg)"
done
[ "$failed" = 0 ] && rm -rf "$logs"
exit "$failed"
