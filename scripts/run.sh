#!/bin/sh
# Builds the tool and the virtual module, starts the module on a pseudo-terminal behind
# a link of this user's own and the tool beside it. Arguments go to the module, e.g.
# --modules 3,7,12@19200. Lines typed here go to the module (status, restart, alarm 1,
# unplug, plug, help). With QUARVEX_SIM_BIN (and QUARVEX_BIN) set, the programs are
# taken as built: nothing is installed or built.
set -eu
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
if [ -z "${QUARVEX_SIM_BIN:-}" ]; then
    scripts/install-deps.sh build
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j2 --target quarvex quarvex-sim
fi
sim_bin="${QUARVEX_SIM_BIN:-$build/src/sim/quarvex-sim}"
tool_bin="${QUARVEX_BIN:-$build/quarvex}"

# Not a shared path: a link someone else left there could name any device.
if [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    link="${QUARVEX_SIM_LINK:-$XDG_RUNTIME_DIR/quarvex-sim}"
else
    link="${QUARVEX_SIM_LINK:-/tmp/quarvex-sim-${USER:-$(id -un)}}"
fi

# The module reports its device as its first line; its later lines (status answers)
# still reach this terminal.
fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/out"
# The module keeps this terminal's input for its commands.
exec 3<&0
"$sim_bin" --link "$link" "$@" <&3 >"$fifo_dir/out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT INT TERM
exec 4<"$fifo_dir/out"
rm -rf "$fifo_dir"
if ! IFS= read -r device <&4; then
    # It has said why on stderr.
    status=0
    wait $sim || status=$?
    trap - EXIT INT TERM
    echo "The virtual module did not start (exit status $status)." >&2
    exit $((status ? status : 1))
fi
cat <&4 &

echo
echo "Virtual module ready on $device. Type this path into the port box (串口号) and press 打开串口:"
echo "    $link"
echo "It answers at 9600 bit/s, address 1, unless told otherwise. Commands for it can be typed here."
echo

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (DISPLAY is not set); the window needs a desktop session." >&2
fi
"$tool_bin"
