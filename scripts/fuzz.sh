#!/bin/bash
# Fuzzes the reply framer, the decoder and the request/reply pairing, then the Telnet and
# Modbus TCP codecs, then the commissioning plan parser, for the given number of seconds
# in all (default 600).
#   scripts/fuzz.sh [seconds]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-600}"

scripts/install-deps.sh build fuzz
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARVEX_FUZZ=ON -DQUARVEX_HARDEN=OFF -DQUARVEX_TESTS=OFF -DQUARVEX_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_replyframer fuzz_netcodecs fuzz_plan

corpus=fuzz/corpus
mkdir -p "$corpus" fuzz/artifacts
# Seeds: reply shapes the module sends, each behind a chunk-length and a time byte;
# the last one is a reply split behind a stray byte.
for hex in 0501002001a9c0 04010010007c 080101100000000241c8 0801010600060001a80b \
    0501018302c0f1 070101030200323991 \
    1d01010318000025800000271000000000000000002710000000000000a15c 0300ff0020033c01a9c0; do
    printf "$(sed 's/../\\x&/g' <<<"$hex")" >"$corpus/seed-$hex"
done

"$build/fuzz/fuzz_replyframer" "$corpus" -max_total_time="$((seconds / 2))" \
    -artifact_prefix=fuzz/artifacts/ -print_final_stats=1

# Seeds for the codecs: a Telnet negotiation with a speed acknowledgement, and an MBAP
# reply to the one request, each behind its chunk-length byte.
netcorpus=fuzz/corpus-net
mkdir -p "$netcorpus"
for hex in 05fffb2cfffa2c6500002580fff00102ff ff00010000000701030400002580; do
    printf "$(sed 's/../\\x&/g' <<<"$hex")" >"$netcorpus/seed-$hex"
done
"$build/fuzz/fuzz_netcodecs" "$netcorpus" -max_total_time="$((seconds / 4))" \
    -artifact_prefix=fuzz/artifacts/ -print_final_stats=1

# Seeds for the plan parser: a spreadsheet's CSV and what read --json prints.
plancorpus=fuzz/corpus-plan
mkdir -p "$plancorpus"
printf 'address;line_speed;pwm1;label\r\n# bench\r\n11;19200;5000;"pump; 1"\r\n' >"$plancorpus/csv"
printf '{"address":7,"stored_line_speed":9600,"motor1":{"pwm_frequency":4000}}' >"$plancorpus/json"
LSAN_OPTIONS="suppressions=fuzz/lsan-qt5core.supp:print_suppressions=0" \
    "$build/fuzz/fuzz_plan" "$plancorpus" -max_total_time="$((seconds - seconds / 2 - seconds / 4))" \
    -artifact_prefix=fuzz/artifacts/ -print_final_stats=1
