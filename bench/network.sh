#!/usr/bin/env bash
# A Read of the paced modem simulator through ser2net on this machine (raw
# TCP and RFC 2217) against a local Read of the same simulator: wall time of
# each telvarin-cli run (start-up and exit included) and the ratio to the
# local Read's mean. Loopback only.
# Usage: bench/network.sh [ROUNDS]   (after ./run.sh or ./run.sh test; needs ser2net)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TELVARIN_BUILD_DIR:-build}
rounds=${1:-3}
cmake --build "$build" --target telvarin-modem-simulator telvarin-cli >/dev/null
ser2net=$(command -v ser2net || echo /usr/sbin/ser2net)
[ -x "$ser2net" ] || { echo "$0: ser2net is needed (apt-get install ser2net)" >&2; exit 1; }
source tools/script-helpers.sh
dir=$(mktemp -d)
server=
trap 'if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; fi; stop_modemsim; rm -rf "$dir"' EXIT
start_modemsim "$build/tools/modemsim/telvarin-modem-simulator" "$dir/com1"
pty=$(readlink "$dir/com1")

# Two ports nobody listens on, as the kernel picks them.
read -r raw rfc < <(python3 -c 'import socket
s=[socket.socket() for _ in range(2)]
[x.bind(("127.0.0.1", 0)) for x in s]
print(*[x.getsockname()[1] for x in s])')
cat >"$dir/ser2net.yaml" <<YAML
connection: &raw
  accepter: tcp,127.0.0.1,$raw
  connector: serialdev,$pty,9600n81,local
connection: &rfc2217
  accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc
  connector: serialdev,$pty,9600n81,local
YAML
"$ser2net" -n -d -c "$dir/ser2net.yaml" -P "$dir/ser2net.pid" 2>/dev/null &
server=$!
for port in $raw $rfc; do
    until grep -q "$(printf '0100007F:%04X 00000000:0000 0A' "$port")" /proc/net/tcp; do
        kill -0 "$server" || { echo "$0: ser2net ended" >&2; exit 1; }
        sleep 0.05
    done
done

seconds() { # PORT: wall time of one read, in ms
    local start end
    start=$(date +%s%N)
    "$build/cli/telvarin-cli" read --port "$1" --output "$dir/table.txt" --quiet >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
declare -A sum=()
for _ in $(seq "$rounds"); do
    for name in local tcp rfc2217; do
        case $name in
        local) port=$dir/com1 ;;
        tcp) port=tcp://127.0.0.1:$raw ;;
        rfc2217) port=rfc2217://127.0.0.1:$rfc ;;
        esac
        ms=$(seconds "$port")
        sum[$name]=$(awk -v a="${sum[$name]:-0}" -v b="$ms" 'BEGIN { print a + b }')
        echo "cli read, $name: $ms ms"
    done
done
for name in tcp rfc2217; do
    awk -v n="$name" -v a="${sum[$name]}" -v l="${sum[local]}" -v r="$rounds" 'BEGIN {
        printf "mean read through ser2net, %-8s %7.1f ms = %5.3f x the local read (%.1f ms); at most 1.05 x\n",
               n ":", a / r, a / l, l / r }'
done
