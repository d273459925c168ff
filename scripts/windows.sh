#!/bin/sh
# Cross-builds Quarvex.exe and quarvexctl.exe for 64-bit Windows against the static Qt of
# scripts/windows-qt.sh (built first when not cached: about an hour), runs the Windows
# tests under Wine and packs the zip and the installer into the build folder.
#
# Environment:
#   BUILD_DIR                  build folder (default build-windows)
#   QUARVEX_HOST_BUILD         a Linux build folder to take quarvex-sim from (default build;
#                              build-windows-host is made when it is not configured)
#   QUARVEX_QTSERIALPORT_SRC   see scripts/windows-qt.sh
#   WINEPREFIX                 Wine prefix for the tests (default: <build>/wine, made once)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build-windows}

say() { printf '[windows %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
start=$(date +%s)

# The host's Qt gives lrelease; the cross Qt lacks it.
scripts/install-deps.sh build windows
qt=$(scripts/windows-qt.sh | tail -n 1)
say "Qt for Windows: $qt"

# The virtual module the Windows programs talk to over TCP runs on this machine: from the
# Linux build when there is one (CI has just made it), else from a small one of its own.
host=${QUARVEX_HOST_BUILD:-build}
if [ ! -f "$host/CMakeCache.txt" ]; then
    host=build-windows-host
    cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEX_TESTS=OFF \
        -DQUARVEX_BENCH=OFF >/dev/null
fi
say "building the virtual module in $host"
cmake --build "$host" -j"${QUARVEX_JOBS:-2}" --target quarvex-sim >/dev/null

say "configuring $build"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DQUARVEX_WINDOWS_QT="$qt" -DCMAKE_BUILD_TYPE=Release -DQUARVEX_WERROR=ON \
    -DQUARVEX_BENCH=OFF -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine.sh" \
    -DQUARVEX_HOST_SIM="$root/$host/src/sim/quarvex-sim" >/dev/null
say "building"
cmake --build "$build" -j"${QUARVEX_JOBS:-2}"

export WINEPREFIX="${WINEPREFIX:-$root/$build/wine}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "making the Wine prefix $WINEPREFIX"
    scripts/wine.sh cmd /c exit >/dev/null 2>&1 || true
fi

say "testing under Wine"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)

say "packing"
rm -f "$build"/Quarvex-*-win64.zip "$build"/Quarvex-*-win64.exe
(cd "$build" && cpack -G "ZIP;NSIS" >cpack.log 2>&1) || { tail -n 30 "$build/cpack.log" >&2; exit 1; }
set -- "$build"/Quarvex-*-win64.zip
zip=$1
set -- "$build"/Quarvex-*-win64.exe
installer=$1
[ -f "$zip" ] && [ -f "$installer" ] || { say "cpack made no zip or installer"; exit 1; }
for file in Quarvex.exe quarvexctl.exe LICENSE.txt README.txt; do
    unzip -l "$zip" | grep -q "/$file\$" || { say "$zip lacks $file"; exit 1; }
done
say "$zip ($(du -h "$zip" | cut -f1)), $installer ($(du -h "$installer" | cut -f1))"

# The installer, silently, in the test prefix: both programs, the Start-menu entries, and
# an uninstaller that takes them away again.
say "installing and uninstalling under Wine"
scripts/wine.sh "$installer" /S
dir="$WINEPREFIX/drive_c/Program Files/Quarvex"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quarvex"
for file in "$dir/Quarvex.exe" "$dir/quarvexctl.exe" "$dir/Uninstall.exe" "$menu/Quarvex.lnk" \
    "$menu/Uninstall.lnk"; do
    [ -f "$file" ] || { say "the installer did not make $file"; exit 1; }
done
scripts/wine.sh "C:/Program Files/Quarvex/Uninstall.exe" /S
# The uninstaller runs on from a copy of itself.
/usr/lib/wine/wineserver -w
if [ -e "$dir/Quarvex.exe" ] || [ -e "$menu" ]; then
    say "the uninstaller left Quarvex behind"
    exit 1
fi
say "done in $(($(date +%s) - start)) s"
