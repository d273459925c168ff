#!/bin/sh
# Retakes docs/screenshots/*.png under Xvfb with CJK fonts installed.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build shots
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DQUARVEX_SCREENSHOTS=ON >/dev/null
cmake --build "$build" -j2 --target quarvex-screenshots quarvex-sim
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/scripts/screenshots/quarvex-screenshots" "$build/src/sim/quarvex-sim" docs/screenshots
