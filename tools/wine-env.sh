# Sourced by the build and test scripts: picks the Windows architecture this
# machine can run and sets the Wine variables for it.
# Vantorel is built as 32-bit Windows programs wherever the machine can run
# 32-bit Wine; on a kernel without 32-bit support it is built for 64-bit
# Windows instead (stored records keep their fixed 32-bit layouts either way).
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "$VANTOREL_ARCH" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then VANTOREL_ARCH=i686; else VANTOREL_ARCH=x86_64; fi
fi
export VANTOREL_ARCH
export WINEDEBUG="${WINEDEBUG:--all}"
if [ "$VANTOREL_ARCH" = i686 ]; then
  export WINEARCH=win32 WINE=/usr/lib/wine/wine
else
  export WINEARCH=win64 WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
fi
export WINEPREFIX="${WINEPREFIX:-$here/build/prefix-$VANTOREL_ARCH}"

# One persistent wineserver for a run of many test processes, so that each
# starts fast; Wine's system processes are kept off the caller's output.
start_wineserver() {
  wineserver -p </dev/null >/dev/null 2>&1
  "$WINE" wineboot </dev/null >/dev/null 2>&1
}
stop_wineserver() {
  wineserver -k </dev/null >/dev/null 2>&1
}
