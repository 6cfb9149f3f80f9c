#!/bin/sh
# Runs ctest in a build folder with one persistent wineserver, so that each
# test process starts fast; extra arguments go to ctest. A test program that
# ends badly is named with its exit code or signal in the test's output.
. "$(dirname "$0")/wine-env.sh"
export VANTOREL_NOTE_STATUS=1
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
start_wineserver
cd "$build" || exit 1
ctest --output-on-failure -j"$(nproc)" "$@"
rc=$?
stop_wineserver
exit $rc
