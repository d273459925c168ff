#!/bin/sh
# Installs the Debian 12 packages a task needs, and nothing when all are there.
# Usage: scripts/install-deps.sh [build] [qt6] [shots] [fuzz] [package] [lint] [wintool] [windows]
set -eu

packages="cmake g++ make pkg-config fonts-wqy-microhei qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n"
for profile in "$@"; do
    case "$profile" in
    # The network tests put ser2net in front of the virtual module and check its Modbus
    # TCP face against mbpoll, a libmodbus master (libmodbus-dev: to build against it);
    # the benchmarks time mbpoll beside quarvexctl.
    build) packages="$packages ser2net libmodbus-dev mbpoll" ;;
    qt6) packages="$packages qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-translations-l10n" ;;
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

# Another apt or dpkg (an upgrade, a software centre) may hold the package lock: wait
# for it a while rather than fail at once. apt waits for dpkg's lock by itself; the
# package lists' lock of "update" it does not wait for, so that is tried again.
lock_timeout=${QUARVEX_APT_LOCK_TIMEOUT:-300}
apt_get() {
    deadline=$(($(date +%s) + lock_timeout))
    log=$(mktemp)
    told=
    while ! $SUDO apt-get -o DPkg::Lock::Timeout="$lock_timeout" "$@" 2>"$log"; do
        if grep -q 'Could not get lock' "$log" && [ "$(date +%s)" -lt "$deadline" ]; then
            [ -n "$told" ] || echo "Waiting for another package manager to finish..." >&2
            told=yes
            sleep 5
            continue
        fi
        cat "$log" >&2
        if grep -q 'Could not get lock' "$log"; then
            echo "Another package manager held the package lock for more than $lock_timeout s;" \
                "let it finish (or set QUARVEX_APT_LOCK_TIMEOUT), then run this again." >&2
        fi
        rm -f "$log"
        exit 1
    done
    cat "$log" >&2
    rm -f "$log"
}

apt_get update -qq
# shellcheck disable=SC2086
apt_get install -y -qq --no-install-recommends $missing
