# Shell functions for the build, demo, benchmark and CI scripts; source it.

# need_packages PACKAGE...: the Debian packages that are missing are
# installed when running as root; otherwise they are named and the script ends.
need_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# start_modemsim PROGRAM LINK [OPTION...]: starts the modem simulator in the
# background with its port linked at LINK, and returns once the simulator
# says on standard output that the link is in place ("link LINK"). Its
# process id is in $sim; stop it with stop_modemsim. A simulator that fails
# or stays silent for TELVARIN_SIM_TIMEOUT seconds (10 by default) is
# stopped, and the script ends with an error.
sim=
start_modemsim() {
    local program=$1 link=$2 line left
    local limit=${TELVARIN_SIM_TIMEOUT:-10}
    local deadline=$((SECONDS + limit))
    shift 2
    coproc MODEMSIM { exec "$program" --link "$link" "$@"; }
    sim=$MODEMSIM_PID
    local out=${MODEMSIM[0]} status=0
    while left=$((deadline - SECONDS)) && [ "$left" -gt 0 ]; do
        read -r -t "$left" -u "$out" line || { status=$?; break; }
        [ "$line" = "link $link" ] && return 0
    done
    if [ "$status" -gt 0 ] && [ "$status" -le 128 ]; then
        echo "$0: the modem simulator ended before it reported its link $link" >&2
    else
        echo "$0: the modem simulator did not report its link $link within $limit s" >&2
    fi
    stop_modemsim
    exit 1
}

stop_modemsim() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
        sim=
    fi
}
