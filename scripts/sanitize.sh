#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh build package
build="${BUILD_DIR:-build-asan}"
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DQUARVEX_BENCH=OFF -DQUARVEX_HARDEN=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$build" -j2
cd "$build"
# Leaks inside the uninstrumented system libraries (fontconfig, the font and
# platform plugins) are theirs, not ours.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
