#!/bin/bash
# quarvexctl against the virtual module: wall time of `read` beside a generic Modbus
# command-line master (mbpoll) on the same link, `find` at the fastest and slowest
# place in its speed order, and a full `scan`. Not a test: prints figures.
#   bench/quarvexctl.sh [build-dir] [runs]
set -eu
command -v mbpoll >/dev/null || { echo "needs mbpoll (apt-get install mbpoll)" >&2; exit 2; }
. "$(dirname "$0")/common.sh"

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
