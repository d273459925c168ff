#!/bin/sh
# Builds the tool and the virtual module, starts the module on a pseudo-terminal behind
# a link of this user's own and the tool beside it. Arguments go to the module, e.g.
# --modules 3,7,12@19200. Lines typed here go to the module (status, restart, alarm 1,
# unplug, plug, help). QUARVEX_SIM_LINK puts the link elsewhere. With QUARVEX_SIM_BIN
# (and QUARVEX_BIN) set, the programs are taken as built: nothing is installed or built.
set -eu
cd "$(dirname "$0")/.."

# Qt stops the window at once without one; say so before anything is built or started.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: neither DISPLAY nor WAYLAND_DISPLAY is set, and the window needs one." >&2
    echo "Run this from a terminal of a desktop session (or over ssh -X). Without a display," >&2
    echo "quarvexctl and the virtual module work from a shell: see README.md, Command line." >&2
    exit 1
fi

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

# The module reports its device as its first line on stdout and what the line holds on
# stderr; their later lines (status answers, frames) still reach this terminal.
fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/out" "$fifo_dir/err"
# The module keeps this terminal's input for its commands.
exec 3<&0
"$sim_bin" --link "$link" "$@" <&3 >"$fifo_dir/out" 2>"$fifo_dir/err" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT INT TERM
exec 4<"$fifo_dir/out" 5<"$fifo_dir/err"
rm -rf "$fifo_dir"
if ! IFS= read -r device <&4; then
    # It has said why on stderr.
    cat <&5 >&2
    status=0
    wait $sim || status=$?
    trap - EXIT INT TERM
    echo "The virtual module did not start (exit status $status)." >&2
    exit $((status ? status : 1))
fi
# Its options' notes come first.
plugged=
while IFS= read -r line <&5; do
    case $line in
    "sim: plugged in at "*) plugged=$line && break ;;
    *) printf '%s\n' "$line" >&2 ;;
    esac
done
cat <&4 &
cat <&5 >&2 &

echo
echo "Virtual module ready on $device. Type this path into the port box (串口号) and press 打开串口:"
echo "    $link"
# "sim: plugged in at DEVICE, module address A at B bit/s" or "..., modules A@B,C@D"
case $plugged in
*", modules "*)
    echo "The line holds several modules (address@bit/s): ${plugged##*, modules }."
    echo "The window talks to one module; a line shared by several is for quarvexctl scan"
    echo "(see README.md, Command line). Commands for the modules can be typed here."
    ;;
*", module address "*)
    what=${plugged##*, module address }
    echo "It answers at ${what#* at }, address ${what%% at *}. Commands for it can be typed here."
    ;;
*)
    echo "$plugged"
    echo "Commands for it can be typed here."
    ;;
esac
echo

"$tool_bin"
