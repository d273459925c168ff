#!/bin/bash
# quarvexctl across the network, against virtual modules behind ser2net on 127.0.0.1:
# `read` over tcp:// beside the same read on a local pseudo-terminal, `find` over
# rfc2217:// with the module at 1200 bit/s, and `scan` of four lines at once beside one.
# Not a test: prints figures.
#   bench/network.sh [build-dir] [runs]
set -eu
command -v ser2net >/dev/null || { echo "needs ser2net (apt-get install ser2net)" >&2; exit 2; }
. "$(dirname "$0")/common.sh"

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# serve NAME [telnet(rfc2217),]: ser2net in front of $dir/NAME, raw or RFC 2217; prints the port
serve() {
    local port
    port=$(free_port)
    cat >>"$dir/ser2net.yaml" <<YAML
connection: &$1
  accepter: ${2:-}tcp,127.0.0.1,$port
  connector: serialdev,$(readlink -f "$dir/$1"),9600n81,local
  options:
    kickolduser: true
YAML
    echo "$port"
}


start_sim local --baud 9600
start_sim raw --baud 9600
start_sim slow --baud 1200
for n in 1 2 3 4; do start_sim "line$n" --address $((n * 50)); done
: >"$dir/ser2net.yaml"
raw=$(serve raw)
slow=$(serve slow 'telnet(rfc2217),')
lines=()
for n in 1 2 3 4; do lines+=("tcp://127.0.0.1:$(serve "line$n")"); done
ser2net -n -d -c "$dir/ser2net.yaml" -P "$dir/ser2net.pid" >"$dir/ser2net.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$raw") 2>/dev/null && break
    sleep 0.1
done

echo "read at 9600 bit/s, $runs runs each, alternating:"
: >"$dir/pty" && : >"$dir/tcp"
for _ in $(seq "$runs"); do
    ms "$ctl" -p "$dir/local" -a 1 read >>"$dir/pty"
    ms "$ctl" -p "tcp://127.0.0.1:$raw" -a 1 read >>"$dir/tcp"
done
echo "  local pty:         $(stats <"$dir/pty")"
echo "  tcp:// via ser2net: $(stats <"$dir/tcp")"
awk -v t="$(median <"$dir/tcp")" -v p="$(median <"$dir/pty")" \
    'BEGIN {printf "  ratio (medians) tcp / pty: %.2f (goal <= 1.1)\n", t / p}'

: >"$dir/find"
for _ in $(seq 5); do ms "$ctl" -p "rfc2217://127.0.0.1:$slow" find >>"$dir/find"; done
echo "find over rfc2217://, module at 1200: $(stats <"$dir/find")  (goal <= 2000 ms)"

one=$(ms "$ctl" -p "${lines[0]}" scan)
four=$(ms "$ctl" -p "$(IFS=,; echo "${lines[*]}")" scan)
echo "scan 1-254 at 9600 over tcp://: one line $one ms, four lines at once $four ms"
awk -v f="$four" -v o="$one" 'BEGIN {printf "  ratio four / one: %.2f (goal <= 1.3)\n", f / o}'
"$ctl" -p "$(IFS=,; echo "${lines[*]}")" scan
