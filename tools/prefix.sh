#!/bin/sh
# Creates the build's Wine prefix once, with the fonts Wine needs.
set -e
. "$(dirname "$0")/wine-env.sh"
[ -f "$WINEPREFIX/.ready" ] && exit 0
mkdir -p "$WINEPREFIX"
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
wineserver -w
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
touch "$WINEPREFIX/.ready"
