#!/bin/sh
# scripts/run.sh with a prebuilt module: it stops with the module's own error when
# another link stands at its path, and goes on over a stale link of ours.
# run_link_taken.sh QUARVEX-SIM RUN.SH
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
run() {
    XDG_RUNTIME_DIR="$dir" QUARVEX_SIM_LINK='' QUARVEX_SIM_BIN="$1" QUARVEX_BIN=true \
        DISPLAY=:0 sh "$2" </dev/null 2>&1
}

ln -s /dev/null "$dir/quarvex-sim"
if out=$(run "$@"); then
    echo "FAIL: run.sh went on over a link to /dev/null: $out"
    exit 1
fi
case $out in
*"quarvex-sim: $dir/quarvex-sim is taken: it links to /dev/null"*) ;;
*) echo "FAIL: not the module's error: $out"; exit 1 ;;
esac
[ "$(readlink "$dir/quarvex-sim")" = /dev/null ] || { echo "FAIL: link replaced"; exit 1; }

ln -sf /dev/pts/2147483647 "$dir/quarvex-sim"
out=$(run "$@") || { echo "FAIL: a stale link stopped run.sh: $out"; exit 1; }
case $out in
*"Virtual module ready on /dev/pts/"*) ;;
*) echo "FAIL: no ready line: $out"; exit 1 ;;
esac
