#!/bin/sh
# Builds the tool and the virtual module, starts the module on a pseudo-terminal
# and the tool beside it. Type the printed path into the port box and open it.
# Lines typed here go to the module (status, restart, alarm 1, unplug, plug, help).
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target quarvex quarvex-sim

link="${QUARVEX_SIM_LINK:-/tmp/quarvex-sim}"
# The module keeps this terminal's input for its commands.
exec 3<&0
"$build/src/sim/quarvex-sim" --link "$link" <&3 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT INT TERM

echo
echo "Virtual module ready. Type this path into the port box (串口号) and press 打开串口:"
echo "    $link"
echo "It answers at 9600 bit/s, address 1. Commands for it can be typed here."
echo

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (DISPLAY is not set); the window needs a desktop session." >&2
fi
"$build/quarvex"
