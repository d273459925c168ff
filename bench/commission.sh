#!/bin/bash
# commission and apply against virtual modules: apply of a 50-row plan to a line of 50
# modules at 9600 bit/s (and --dry-run), and commission of one module from its first
# answer to "connect the next module". Not a test: prints figures.
#   bench/commission.sh [build-dir] [runs]
set -eu
. "$(dirname "$0")/common.sh"

{
    echo "address,line_speed,pwm1,pwm2"
    for a in $(seq 50); do echo "$a,19200,5000,4000"; done
} >"$dir/fifty.csv"
start_sim line --modules 1-50
dry=$(ms "$ctl" -p "$dir/line" apply "$dir/fifty.csv" --dry-run)
applied=$(ms "$ctl" -p "$dir/line" apply "$dir/fifty.csv")
again=$(ms "$ctl" -p "$dir/line" apply "$dir/fifty.csv")
echo "apply, 50 rows at 9600 bit/s, every row changing: $applied ms (goal <= 10000 ms)"
echo "apply --dry-run of the same plan:                 $dry ms (goal <= 4000 ms)"
echo "apply once all is as planned (reads only):        $again ms"

printf 'address,line_speed,pwm1,pwm2\n12,19200,5000,4000\n' >"$dir/one.csv"
: >"$dir/c"
for i in $(seq "$runs"); do
    start_sim "bench$i"
    rm -f "$dir/one.results.csv"
    ms "$ctl" -p "$dir/bench$i" commission "$dir/one.csv" >>"$dir/c"
done
echo "commission, a module's first answer to 'connect the next module': $(stats <"$dir/c") (goal <= 1500 ms)"
