#!/usr/bin/env bash
# ./run.sh        build, start the simulated modem as COM 1 and open the window
# ./run.sh test   build and run the whole test suite
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libgl-dev fonts-liberation librsvg2-bin scdoc)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
    else
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
fi

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
    "$build/tools/modemsim/telvarin-modemsim" --link "$link" --memory "$build/demo-data/modem-memory.bin" \
        --log "$log" &
    sim=$!
    trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null' EXIT
    for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
    echo "The simulated modem is COM 1; the frames on its line go to $log"
    "$build/app/telvarin"
    ;;
*)
    echo "usage: $0 [test]" >&2
    exit 2
    ;;
esac
