#!/bin/sh
# Runs ctest in a build folder with one persistent wineserver, so that each
# test process starts fast; extra arguments go to ctest.
. "$(dirname "$0")/wine-env.sh"
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
wineserver -p </dev/null >/dev/null 2>&1
"$WINE" wineboot </dev/null >/dev/null 2>&1
cd "$build" || exit 1
ctest --output-on-failure -j"$(nproc)" "$@"
rc=$?
wineserver -k </dev/null >/dev/null 2>&1
exit $rc
