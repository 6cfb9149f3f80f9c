#!/bin/sh
# Runs ctest in a build folder with one persistent wineserver, so that each
# test process starts fast; extra arguments go to ctest.
. "$(dirname "$0")/wine-env.sh"
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
start_wineserver
cd "$build" || exit 1
ctest --output-on-failure -j"$(nproc)" "$@"
rc=$?
stop_wineserver
exit $rc
