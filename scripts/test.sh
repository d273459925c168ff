#!/bin/sh
# Builds everything and runs every test.
# QUARVEX_QT=6 builds against Qt 6 instead (in build-qt6 unless BUILD_DIR says otherwise).
set -eu
cd "$(dirname "$0")/.."

qt="${QUARVEX_QT:-5}"
if [ "$qt" = 6 ]; then
    scripts/install-deps.sh build package qt6
    build="${BUILD_DIR:-build-qt6}"
else
    scripts/install-deps.sh build package
    build="${BUILD_DIR:-build}"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEX_QT="$qt" -DQUARVEX_WERROR=ON
cmake --build "$build" -j2
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
