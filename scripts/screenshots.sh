#!/bin/sh
# Retakes docs/screenshots/*.png under Xvfb with CJK fonts installed.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh build shots
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DQUARVEX_SCREENSHOTS=ON >/dev/null
cmake --build "$build" -j2 --target quarvex-screenshots quarvex-sim
# The port box shows the module's link: one fixed name, so a retake with nothing changed
# gives the same pictures. In a folder of this user's own, as nobody else may place it.
dir=/tmp/quarvex-screenshots
[ -d "$dir" ] || mkdir -m 700 "$dir"
if [ -L "$dir" ] || [ ! -O "$dir" ]; then
    echo "$dir is not this user's own folder; remove it and run this again." >&2
    exit 1
fi
chmod 700 "$dir"
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/scripts/screenshots/quarvex-screenshots" "$build/src/sim/quarvex-sim" docs/screenshots \
    "$dir/quarvex-sim"
