#!/usr/bin/env bash
# ./run.sh        build, start the simulated modem as COM 1 and open the window
# ./run.sh test   build and run the whole test suite
set -euo pipefail
cd "$(dirname "$0")"

source tools/script-helpers.sh
need_packages cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev libxkbcommon-dev fonts-liberation librsvg2-bin scdoc \
    libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev postgresql poppler-utils ser2net

build=${TELVARIN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${TELVARIN_BUILD_TYPE:-RelWithDebInfo} ${TELVARIN_CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"

case "${1:-}" in
test)
    export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    ctest --test-dir "$build" --output-on-failure -j 2
    ;;
"")
    # The demo keeps its COM port map inside the build folder, so it never
    # touches the ports the operator mapped in the home folder.
    export XDG_DATA_HOME="$PWD/$build/demo-data"
    link="$XDG_DATA_HOME/telvarin/ports/com1"
    log="$build/demo-data/modem.log"
    mkdir -p "$build/demo-data"
    trap stop_modemsim EXIT
    start_modemsim "$build/tools/modemsim/telvarin-modem-simulator" "$link" \
        --memory "$build/demo-data/modem-memory.bin" --log "$log"
    echo "The simulated modem is COM 1; the frames on its line go to $log"
    "$build/app/telvarin"
    ;;
*)
    echo "usage: $0 [test]" >&2
    exit 2
    ;;
esac
