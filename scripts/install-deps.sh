#!/bin/sh
# Installs the Debian 12 packages a task needs, and nothing when all are there.
# Usage: scripts/install-deps.sh [build] [qt6] [shots] [fuzz] [package] [lint] [wintool] [windows]
set -eu

packages="cmake g++ make pkg-config fonts-wqy-microhei qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev qttools5-dev qttools5-dev-tools"
for profile in "$@"; do
    case "$profile" in
    # The network tests put ser2net in front of the virtual module and check its Modbus
    # TCP face against libmodbus; the benchmarks time a generic master (mbpoll) beside ours.
    build) packages="$packages ser2net libmodbus-dev mbpoll" ;;
    qt6) packages="$packages qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools" ;;
    shots) packages="$packages xvfb xauth fonts-wqy-microhei" ;;
    fuzz) packages="$packages clang libclang-rt-14-dev" ;;
    package) packages="$packages dpkg-dev file help2man" ;;
    lint) packages="$packages lintian appstream desktop-file-utils man-db" ;;
    wintool) packages="$packages g++-mingw-w64-x86-64-posix mingw-w64-tools dpkg-dev xz-utils perl python3" ;;
    windows) packages="$packages g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 icoutils nsis zip unzip" ;;
    *) echo "unknown profile: $profile" >&2; exit 2 ;;
    esac
done

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
