#!/bin/sh
# Runs every benchmark program (*_bench.exe) of the build under Wine and prints its figures.
. "$(dirname "$0")/wine-env.sh"
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
wineserver -p </dev/null >/dev/null 2>&1
status=0
for bench in "$build"/bench/*/*_bench.exe; do
  [ -e "$bench" ] || continue
  echo "== $(basename "$bench")"
  (cd "$(dirname "$bench")" && "$WINE" "$bench") || status=1
done
wineserver -k </dev/null >/dev/null 2>&1
exit $status
