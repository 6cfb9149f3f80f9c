#!/bin/sh
# Creates the build's Wine prefix once, with the fonts Wine needs and the
# one virtual desktop, "Vantorel", that every window of the prefix opens on.
set -e
. "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/.ready" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$WINEPREFIX/.ready"
fi
if [ ! -f "$WINEPREFIX/.desktop" ]; then
  name=${VANTOREL_DESKTOP%%,*}
  "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d "$name" /f </dev/null >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v "$name" /d "${VANTOREL_DESKTOP#*,}" /f </dev/null >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.desktop"
fi
