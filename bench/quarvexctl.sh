#!/bin/bash
# quarvexctl against the virtual module: wall time of `read` beside a generic Modbus
# command-line master (mbpoll) on the same link, `find` at the fastest and slowest
# place in its speed order, and a full `scan`. Not a test: prints figures.
#   bench/quarvexctl.sh [build-dir] [runs]
set -eu
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-20}"
ctl="$build/src/cli/quarvexctl"
sim="$build/src/sim/quarvex-sim"
command -v mbpoll >/dev/null || { echo "needs mbpoll (apt-get install mbpoll)" >&2; exit 2; }
[ -x "$ctl" ] && [ -x "$sim" ] || { echo "build $ctl and $sim first" >&2; exit 2; }

dir=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$dir"
}
trap cleanup EXIT

# start_sim NAME ARGS...: the module on a pty reachable as $dir/NAME
start_sim() {
    local name=$1
    shift
    "$sim" --link "$dir/$name" "$@" </dev/null >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "$dir/$name" ] && return; sleep 0.05; done
    echo "virtual module did not start" >&2
    exit 1
}

# ms COMMAND...: wall time from start to exit in milliseconds
ms() {
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || echo "failed: $*" >&2
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000000))
}

stats() { sort -n | awk '{a[NR]=$1; s+=$1} END {printf "median %d ms, mean %.1f ms, min %d, max %d", a[int((NR+1)/2)], s/NR, a[1], a[NR]}'; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

start_sim m9600 --baud 9600
link="$dir/m9600"
ctl_read=("$ctl" -p "$link" -a 1 read)
mb_read=(mbpoll -m rtu -b 9600 -P none -a 1 -r 1 -c 12 -1 "$link")
echo "read at 9600 bit/s, $runs runs each, alternating:"
echo "  quarvexctl: ${ctl_read[*]}"
echo "  mbpoll:     ${mb_read[*]}"
: >"$dir/ctl" && : >"$dir/mb"
for _ in $(seq "$runs"); do
    ms "${ctl_read[@]}" >>"$dir/ctl"
    ms "${mb_read[@]}" >>"$dir/mb"
done
echo "  quarvexctl read: $(stats <"$dir/ctl")"
echo "  mbpoll 12 regs:  $(stats <"$dir/mb")"
awk -v c="$(median <"$dir/ctl")" -v m="$(median <"$dir/mb")" \
    'BEGIN {printf "  ratio (medians) quarvexctl / mbpoll: %.2f (goal <= 1.0)\n", c / m}'

start_sim m1200 --baud 1200
: >"$dir/f9600" && : >"$dir/f1200"
for _ in $(seq 5); do
    ms "$ctl" -p "$link" find >>"$dir/f9600"
    ms "$ctl" -p "$dir/m1200" find >>"$dir/f1200"
done
echo "find, module at 9600 (tried first):  $(stats <"$dir/f9600")  (goal <= 300 ms)"
echo "find, module at 1200 (tried last):   $(stats <"$dir/f1200")  (goal <= 1500 ms)"

start_sim m200 --address 200
echo "scan 1-254 at 9600, one module at address 200: $(ms "$ctl" -p "$dir/m200" scan) ms (goal <= 16000 ms)"
"$ctl" -p "$dir/m200" --json scan
