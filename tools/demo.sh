#!/bin/sh
# The main job: zqserver and zqagent start under Wine in a scratch folder
# (build/demo) on a fresh database; the demo program stores a batch of three
# command steps, runs it through the agent, prints the run log and stops both
# programs as a user does, showing what they printed while stopping.
. "$(dirname "$0")/wine-env.sh"
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
demo="$here/build/demo"
rm -rf "$demo" && mkdir -p "$demo" || exit 1
cp "$build/server/zqserver.exe" "$build/agent/zqagent.exe" \
   "$build/tests/system/vantorel_demo.exe" "$demo/" || exit 1
cd "$demo" || exit 1
start_wineserver
"$WINE" vantorel_demo.exe
status=$?
stop_wineserver
echo "--- the server's database: $demo/Database/zqdata.db"
exit $status
