#!/usr/bin/env bash
# Times Read and Write against the paced modem simulator (a separate
# process) and prints wall time against 33 x 200 ms and 34 x 200 ms and the
# tool's CPU time: first through the window, then as telvarin-cli runs
# (start-up and exit included); then telvarin-cli read and verify --fast
# against the time a Read's bytes need on the line. The window's Write and
# write --verify include the settings asked for first and the read-back
# check: they are set against the 34 windows of the write commands alone
# (at most 1.6 x).
# Then read and read --fast of a modem that answers 50 ms late.
# Usage: bench/run.sh [ROUNDS]   (after ./run.sh or ./run.sh test)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TELVARIN_BUILD_DIR:-build}
cmake --build "$build" --target telvarin-bench telvarin-modem-simulator telvarin-cli >/dev/null
source tools/script-helpers.sh
dir=$(mktemp -d)
trap 'stop_modemsim; rm -rf "$dir"' EXIT
start_modemsim "$build/tools/modemsim/telvarin-modem-simulator" "$dir/com1"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bench/telvarin-bench" "$dir" "${1:-3}"

# One telvarin-cli run: wall time from the shell, CPU time (user + system)
# of the process.
time_cli() { # NAME TRANSACTIONS ARGUMENTS...
    local name=$1 transactions=$2 times
    shift 2
    TIMEFORMAT='%3R %3U %3S'
    times=$( { time "$build/cli/telvarin-cli" "$@" --quiet >/dev/null 2>&1; } 2>&1 )
    last_wall=${times%% *}
    awk -v name="$name" -v t="$times" -v n="$transactions" 'BEGIN {
        split(t, f, " "); wall = f[1] * 1000; cpu = (f[2] + f[3]) * 1000; nominal = n * 200
        printf "%-21s %7.1f ms wall  (nominal %5.0f ms, %+6.2f %% = %4.2f x)   CPU %6.1f ms = %4.2f %% of one core\n",
               name, wall, nominal, 100 * (wall - nominal) / nominal, wall / nominal, cpu, 100 * cpu / wall }'
}
# What starting and ending the process costs, for comparison with the runs.
TIMEFORMAT='%3R %3U %3S'
startup=$( { time "$build/cli/telvarin-cli" --version >/dev/null 2>&1; } 2>&1 )
echo "cli start-up and exit (--version): ${startup%% *} s"
for _ in $(seq "${1:-3}"); do
    time_cli "cli read" 33 read --port "$dir/com1" --output "$dir/table.txt"
    time_cli "cli write" 34 write --port "$dir/com1" --slave-id 1 "$dir/table.txt"
    write_wall=$last_wall
    time_cli "cli write --verify" 34 write --verify --port "$dir/com1" --slave-id 1 "$dir/table.txt"
    awk -v checked="$last_wall" -v alone="$write_wall" \
        'BEGIN { printf "  write --verify = %.2f x the write alone (at most 1.6 x)\n", checked / alone }'
done

# A Read moves 4 + 32 x 7 bytes of frames and 5 + 16 x 18 + 16 x 162 bytes
# of replies: 3,113 bytes of ten bits at 9600 baud.
line_ms=$(awk 'BEGIN { printf "%.1f", 3113 * 10 * 1000 / 9600 }')
time_fast() { # NAME ARGUMENTS...
    local name=$1 times
    shift
    TIMEFORMAT='%3R'
    times=$( { time "$build/cli/telvarin-cli" "$@" --fast --quiet >/dev/null 2>&1; } 2>&1 )
    awk -v name="$name" -v t="$times" -v line="$line_ms" -v s="${startup%% *}" 'BEGIN {
        printf "%-28s %7.1f ms wall = %4.2f x the line time (%.1f ms); %4.2f x without start-up and exit\n",
               name, t * 1000, t * 1000 / line, line, (t - s) * 1000 / line }'
}
for _ in $(seq "${1:-3}"); do
    time_fast "cli read --fast" read --port "$dir/com1" --output "$dir/table.txt"
    time_fast "cli verify --fast" verify --port "$dir/com1" "$dir/table.txt"
done

# A modem that starts each answer 50 ms late: its message replies end after
# their 200 ms window and are waited for.
stop_modemsim
start_modemsim "$build/tools/modemsim/telvarin-modem-simulator" "$dir/com1" --delay 50
for _ in $(seq "${1:-3}"); do
    time_cli "cli read, 50 ms late" 33 read --port "$dir/com1" --output "$dir/table.txt"
    time_fast "cli read --fast, 50 ms late" read --port "$dir/com1" --output "$dir/table.txt"
done
