#!/usr/bin/env bash
# Refreshes docs/main-window.png, the README's screenshot: the main window
# after a Read from the simulated modem. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TELVARIN_BUILD_DIR:-build}
cmake --build "$build" --target telvarin-snapshot telvarin-modemsim >/dev/null

work=$(mktemp -d)
link="$work/ports/com1"
"$build/tools/modemsim/telvarin-modemsim" --link "$link" --no-pace >/dev/null 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done

QT_QPA_PLATFORM=offscreen "$build/tools/telvarin-snapshot" "$work" "$work/ports"
cp "$work/main_window.png" docs/main-window.png
echo "docs/main-window.png"
