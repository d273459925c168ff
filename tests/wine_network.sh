#!/bin/sh
# The Windows programs under Wine against the virtual module on TCP (built for this
# machine): quarvexctl.exe's read, find, apply --dry-run, Chinese output and Ctrl+C, and the window's
# address report. The COM path cannot be tried under Wine; this is the path that can.
#   wine_network.sh QUARVEX-SIM QUARVEXCTL.EXE TST_NETWINDOW.EXE WINE.SH
set -eu
sim=$1
ctl=$2
window=$3
wine=$4
dir=$(mktemp -d)
simpid=
cleanup() {
    [ -z "$simpid" ] || kill "$simpid" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The module prints its port name first and logs every frame it hears on stderr; both
# are read through pipes, so each step waits for its line rather than for a time.
mkfifo "$dir/simout" "$dir/simlog"
"$sim" --tcp 127.0.0.1:0 </dev/null >"$dir/simout" 2>"$dir/simlog" &
simpid=$!
exec 3<"$dir/simout" 4<"$dir/simlog"
read -r port <&3 || fail "the virtual module did not start"
case $port in
tcp://127.0.0.1:*) ;;
*) fail "not a port name: $port" ;;
esac
# Waits for the module to hear a frame whose hex starts with $1.
hear() {
    while read -r line <&4; do
        case $line in "rx $1"*) return 0 ;; esac
    done
    return 1
}
# stdout, Windows line ends undone; stderr kept for the failure message.
run() {
    "$wine" "$ctl" -p "$port" "$@" 2>"$dir/err" | tr -d '\r'
}
fail() {
    echo "FAIL: $*" >&2
    [ ! -s "$dir/err" ] || cat "$dir/err" >&2
    exit 1
}

out=$(run --json read)
case $out in
'{"address":1,'*'"motor1":{'*) ;;
*) fail "read: $out" ;;
esac

out=$(run find)
[ "$out" = "$port  the server's line speed  address 1" ] || fail "find: $out"

# The catalogue follows the UI language, and the console gets UTF-8.
out=$(LC_ALL=zh_CN.UTF-8 run read)
case $out in
*"正转，速度 0 %"*) ;;
*) fail "read in Chinese: $out" ;;
esac

# A plan applied, read only: what would change on the module.
printf 'address;pwm1;label\r\n1;4000;pump 1\r\n' >"$dir/plan.csv"
out=$(run apply "$dir/plan.csv" --dry-run)
[ "$out" = "row 1 'pump 1' address 1: PWM 1 10000 → 4000 Hz" ] || fail "apply --dry-run: $out"

# Ctrl+C in a scan: the addresses found so far, and the status of SIGINT.
"$wine" "$ctl" -p "$port" scan >"$dir/scan" 2>&1 &
scan=$!
hear 03 || fail "the scan never reached address 3"
kill -INT "$scan"
status=0
wait "$scan" || status=$?
out=$(tr -d '\r' <"$dir/scan")
[ "$status" -eq 130 ] || fail "scan ended with $status after Ctrl+C: $out"
case $out in
*"address 1  the server's line speed"*"interrupted: what was found until then is listed"*) ;;
*) fail "scan after Ctrl+C: $out" ;;
esac

QUARVEX_TEST_PORT=$port "$wine" "$window" || fail "the window over $port"
