#!/bin/sh
# The main job, as far as the system goes today: zqserver starts under Wine in
# a scratch folder (build/demo), creates its database and registers this
# computer's agent; a client in another process asks it for a client number
# and for the agents it knows; then the server is ended. Once zqagent exists
# the demo also stores a sample batch and follows its run to the end.
. "$(dirname "$0")/wine-env.sh"
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
demo="$here/build/demo"
rm -rf "$demo" && mkdir -p "$demo" || exit 1
cp "$build/server/zqserver.exe" "$build/tests/server/rpc_test_client.exe" "$demo/" || exit 1
cd "$demo" || exit 1
wineserver -p </dev/null >/dev/null 2>&1
"$WINE" zqserver.exe -debug >server.log 2>&1 &
server=$!
client() { "$WINE" rpc_test_client.exe '\pipe\zqserver1' "$1"; }
answer=""
for attempt in $(seq 1 40); do
  answer=$(client ping 2>/dev/null) && break
  sleep 0.5
done
status=1
if [ -n "$answer" ]; then
  echo "zqserver answers on \\pipe\\zqserver1: $answer"
  client agents && status=0
else
  echo "zqserver did not answer within 20 seconds"
fi
kill "$server" 2>/dev/null
wineserver -k </dev/null >/dev/null 2>&1
echo "--- zqserver -debug said:"
cat server.log
echo "--- its database: $demo/Database/zqdata.db"
exit $status
