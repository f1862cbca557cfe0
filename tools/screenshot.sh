#!/usr/bin/env bash
# Refreshes docs/main-window.png, the README's screenshot: the main window
# after a Read from the simulated modem. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TELVARIN_BUILD_DIR:-build}
cmake --build "$build" --target telvarin-snapshot telvarin-modem-simulator >/dev/null

source tools/script-helpers.sh
work=$(mktemp -d)
trap 'stop_modemsim; rm -rf "$work"' EXIT
start_modemsim "$build/tools/modemsim/telvarin-modem-simulator" "$work/ports/com1" --no-pace

QT_QPA_PLATFORM=offscreen "$build/tools/telvarin-snapshot" "$work" "$work/ports"
cp "$work/main_window.png" docs/main-window.png
echo "docs/main-window.png"
