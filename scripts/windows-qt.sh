#!/bin/sh
# Builds a static Qt 5.15 for 64-bit Windows (qtbase and Qt Serial Port) with MinGW-w64, into a
# cache folder outside the tree, and prints its prefix on the last line. Nothing is built when
# that Qt is already cached.
#
# The cache key is the Qt version, the MinGW version and this script's hash, so a change of any
# of them builds anew beside the old one. Cold, it takes about an hour on two cores.
#
# Environment:
#   QUARVEX_CACHE              cache root (default: $XDG_CACHE_HOME/quarvex or ~/.cache/quarvex)
#   QUARVEX_QTSERIALPORT_SRC   a qtserialport source tarball, used when `apt-get source` cannot
#                              fetch one (some mirrors serve qtbase's source but not its)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cache=${QUARVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quarvex}
jobs=${QUARVEX_JOBS:-$(nproc)}

say() { printf '[windows-qt %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

"$here/install-deps.sh" wintool >&2

cross=x86_64-w64-mingw32-
if [ "$(readlink -f "$(command -v ${cross}g++)")" != "$(readlink -f "$(command -v ${cross}g++-posix)")" ]; then
    say "${cross}g++ must be the posix-threads compiler (update-alternatives --config ${cross}g++)"
    exit 1
fi
mingw=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix | tr -c 'A-Za-z0-9.\n' '_')

# qtbase's source comes from Debian, which needs a deb-src entry.
srclist=/etc/apt/sources.list.d/quarvex-src.sources
if ! apt-cache showsrc qtbase-opensource-src >/dev/null 2>&1 ||
    [ -z "$(apt-cache showsrc qtbase-opensource-src 2>/dev/null)" ]; then
    say "adding a deb-src entry ($srclist)"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$srclist"
    apt-get update -qq
fi
qtver=$(apt-cache showsrc qtbase-opensource-src | sed -n 's/^Version: \([0-9.]*\).*/\1/p' | sort -V | tail -n 1)
[ -n "$qtver" ] || { say "no qtbase source package found"; exit 1; }

hash=$(sha256sum "$0" | cut -c1-12)
key="qt-$qtver-mingw-$mingw-$hash"
prefix="$cache/windows/$key"
if [ -f "$prefix/.complete" ]; then
    say "cached: $prefix"
    echo "$prefix"
    exit 0
fi

work="$cache/windows/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"

say "fetching qtbase $qtver source"
apt-get source -qq qtbase-opensource-src >source.log 2>&1 || { tail -n 20 source.log >&2; exit 1; }
qtbase=$(find . -maxdepth 1 -type d -name 'qtbase-opensource-src-*' | head -n 1)

# Compiles in the background while the foreground prints one progress line a minute.
run_logged() {
    log=$1
    shift
    "$@" >"$log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        for _ in 1 2 3 4 5 6 7 8 9 10 11 12; do
            kill -0 "$pid" 2>/dev/null || break
            sleep 5
        done
        kill -0 "$pid" 2>/dev/null && say "$(basename "$log" .log): $(find . -name '*.o' -newer "$log.start" 2>/dev/null | wc -l) objects so far"
    done
    if ! wait "$pid"; then
        tail -n 40 "$log" >&2
        say "failed: see $work/$log"
        exit 1
    fi
}

say "configuring qtbase (about 6 minutes)"
mkdir -p build-qtbase
touch configure.log.start
(cd build-qtbase && "../$qtbase/configure" -prefix "$prefix" -opensource -confirm-license \
    -xplatform win32-g++ -device-option CROSS_COMPILE=$cross \
    -static -static-runtime -release -nomake examples -nomake tests \
    -no-opengl -no-angle -no-direct2d -no-dbus -no-icu -no-openssl \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -no-feature-sql -no-feature-xml -no-feature-printer -no-feature-concurrent \
    -no-feature-tabletevent) >configure.log 2>&1 || { tail -n 40 configure.log >&2; exit 1; }

say "building qtbase (about 50 minutes on two cores)"
touch make.log.start
run_logged make.log make -C build-qtbase -j"$jobs"
say "installing qtbase"
make -C build-qtbase install >install.log 2>&1 || { tail -n 20 install.log >&2; exit 1; }

say "fetching Qt Serial Port source"
if apt-get source -qq qtserialport-opensource-src >serialsource.log 2>&1; then
    serial=$(find . -maxdepth 1 -type d -name 'qtserialport-opensource-src-*' | head -n 1)
elif [ -n "${QUARVEX_QTSERIALPORT_SRC:-}" ] && [ -f "$QUARVEX_QTSERIALPORT_SRC" ]; then
    say "apt-get source failed; unpacking $QUARVEX_QTSERIALPORT_SRC"
    mkdir -p serialport-src
    tar -xf "$QUARVEX_QTSERIALPORT_SRC" -C serialport-src
    serial=$(find serialport-src -mindepth 1 -maxdepth 1 -type d | head -n 1)
else
    tail -n 5 serialsource.log >&2
    say "cannot fetch qtserialport's source: set QUARVEX_QTSERIALPORT_SRC to a qtserialport-$qtver tarball"
    exit 1
fi
# A git export lacks the generated forwarding headers; qmake makes them when it sees .git.
[ -e "$serial/.git" ] || touch "$serial/.git"
say "building Qt Serial Port"
mkdir -p build-serialport
touch serialport.log.start
(cd build-serialport && "$prefix/bin/qmake" "../$serial") >serialport.log 2>&1 ||
    { tail -n 20 serialport.log >&2; exit 1; }
run_logged serialport.log sh -c "make -C build-serialport -j$jobs && make -C build-serialport install"

touch "$prefix/.complete"
cd "$cache/windows"
rm -rf "$work"
say "done: $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix"
