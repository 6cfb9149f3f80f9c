# Sourced by the build and test scripts: picks the Windows architecture this
# machine can run and sets the Wine variables for it.
# Vantorel is built as 32-bit Windows programs wherever the machine can run
# 32-bit Wine; on a kernel without 32-bit support it is built for 64-bit
# Windows instead (stored records keep their fixed 32-bit layouts either way).
here=$(cd "$(dirname "$0")/.." && pwd)

# Without Wine's preloader (Debian ships none), Wine maps its fixed areas,
# the shared user data page at 0x7ffe0000 among them, only after the C heap
# has been placed above the loader; randomised, that heap now and then sits
# on the page and Wine ends at start ("failed to map the shared user data").
# So the scripts run themselves, and every Wine process under them, without
# address randomisation, unless the kernel refuses it.
case "$0" in
  tools/*|*/tools/*)
    if [ -z "$VANTOREL_NO_RANDOMISE" ] &&
       setarch "$(uname -m)" -R true 2>/dev/null; then
      export VANTOREL_NO_RANDOMISE=1
      exec setarch "$(uname -m)" -R "$0" "$@"
    fi ;;
esac
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
# Windows need an X display: start_wineserver first starts a private Xvfb
# (it picks a free display number and reports it through -displayfd) and
# exports DISPLAY, so that every Wine process, wineboot's included, shares
# it; then one Wine desktop "Vantorel" that all windows of the prefix live
# on. stop_wineserver ends what start_wineserver started, by process id.
# start_wineserver FILE appends what the wineserver prints to FILE: it says
# there why it ended a process (a protocol error, for one).
VANTOREL_DESKTOP=Vantorel,1280x1024
start_display() {
  command -v Xvfb >/dev/null 2>&1 || return 0
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$displayfile" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  tries=0
  while [ ! -s "$displayfile" ] && [ $tries -lt 100 ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
    tries=$((tries + 1))
  done
  display=$(cat "$displayfile")
  rm -f "$displayfile"
  if [ -z "$display" ]; then
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    return 1
  fi
  export DISPLAY=":$display"
}
start_wineserver() {
  start_display
  wineserver -p </dev/null >/dev/null 2>>"${1:-/dev/null}"
  "$WINE" wineboot </dev/null >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    "$WINE" explorer /desktop="$VANTOREL_DESKTOP" </dev/null >/dev/null 2>&1 &
    desktop_pid=$!
  fi
}
stop_wineserver() {
  [ -n "$desktop_pid" ] && kill "$desktop_pid" 2>/dev/null
  wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  desktop_pid=""
  xvfb_pid=""
}
