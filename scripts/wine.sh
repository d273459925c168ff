#!/bin/sh
# Runs a Windows program under Wine in the project's own Wine prefix; CMake uses it to run
# the cross-built tests (CMAKE_CROSSCOMPILING_EMULATOR).
#
# Wine hands a program no host variable starting with QT_; it passes WINEQT_X as QT_X.
# So the caller's QT_ settings (QT_QPA_PLATFORM=offscreen from the tests) are renamed
# here, and Qt's messages go to stderr rather than to the Windows debugger channel.
#
# Environment:
#   WINEPREFIX   the Wine prefix (default: $QUARVEX_CACHE/wine or ~/.cache/quarvex/wine);
#                made on first use
set -eu
cache=${QUARVEX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quarvex}
export WINEPREFIX="${WINEPREFIX:-$cache/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=${QUARVEX_WINE:-/usr/lib/wine/wine64}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi

export QT_FORCE_STDERR_LOGGING=1
# The offscreen platform on Windows reads fonts from one folder: the host's CJK font,
# which has Latin letters too (Z: is the host's root).
if [ -z "${QT_QPA_FONTDIR:-}" ] && [ -d /usr/share/fonts/truetype/wqy ]; then
    export QT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/wqy
fi
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$name=\"\$$name\""
done
exec "$wine" "$@"
