#!/bin/sh
# tools/stress-tests.sh N [ctest arguments]: runs the suite N times in a row,
# 16 tests at once, under one persistent wineserver, to catch test processes
# that fail only now and then. At the end it lists every failure: run number,
# test, how it ended (ctest's verdict, exit code or signal) and what
# GoogleTest had printed: "[  PASSED  ]", a failed test, or no verdict.
# What the wineserver printed (why it ended a process, for one) is kept in
# the logs' wineserver.txt. Not part of CI.
. "$(dirname "$0")/wine-env.sh"
runs="${1:?usage: $0 N [ctest arguments]}"
shift
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
logs="$build/stress"
rm -rf "$logs" && mkdir -p "$logs" || exit 1
export VANTOREL_NOTE_STATUS=1
start_wineserver "$logs/wineserver.txt"
cd "$build" || exit 1
run=1
while [ "$run" -le "$runs" ]; do
  ctest -j16 --output-junit "$logs/run-$run.xml" "$@" >"$logs/run-$run.txt" 2>&1
  echo "run $run: $(grep -E '^[0-9]+% tests passed' "$logs/run-$run.txt")"
  run=$((run + 1))
done
stop_wineserver

# Verdicts come from ctest's list of failed tests, the rest from each
# failed test's output in the JUnit file.
echo "failures:"
run=1
failures=0
while [ "$run" -le "$runs" ]; do
  found=$(awk -v run="$run" '
    FNR == NR {
      if (match($0, /^[ \t]+[0-9]+ - .* \(.*\)$/)) {
        line = $0; sub(/^[ \t]+[0-9]+ - /, "", line)
        name = line; sub(/ \(.*$/, "", name)
        verdict = line; sub(/^[^(]* \(/, "", verdict); sub(/\)$/, "", verdict)
        verdicts[name] = verdict
      }
      next
    }
    /<testcase / {
      name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name)
      failed = ($0 ~ /status="fail"/); passed = 0; failing = 0; ending = ""
    }
    failed && /\[  PASSED  \]/ { passed = 1 }
    failed && /\[  FAILED  \]/ { failing = 1 }
    failed && /wine-run: .* ended / { ending = $0; sub(/.* ended /, "", ending) }
    failed && /<\/testcase>/ {
      printf "  run %s: %s: %s%s, %s\n", run, name, verdicts[name],
             ending == "" ? "" : ", " ending,
             failing ? "a test failed" : passed ? "after \"[  PASSED  ]\"" : "no verdict printed"
    }
  ' "$logs/run-$run.txt" "$logs/run-$run.xml")
  if [ -n "$found" ]; then
    echo "$found"
    failures=$((failures + $(echo "$found" | wc -l)))
  fi
  run=$((run + 1))
done
echo "$failures failed test processes in $runs runs; logs in $logs"
[ "$failures" -eq 0 ]
