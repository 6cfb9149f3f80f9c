#!/bin/sh
# Runs every benchmark program (*_bench.exe) of the build under Wine and prints its figures.
#
# Anchors: a benchmark compares its figure with one measured in the same run
# by something else (SQLite, Python's mail modules, ...). Each script
# bench/<area>/*_anchor.py runs first, under Debian's /usr/bin/python3, in the
# build folder of its area (so that files it writes land on the same disk as
# the benchmark's), and prints lines "NAME VALUE". Every such line becomes
# the environment variable ANCHOR_NAME=VALUE for the benchmark programs of
# the same area (Wine passes the environment through); they read it with
# AnchorValue("NAME") from bench/bench_anchor.h and print their figure, the
# anchor's and the ratio. An anchor that fails leaves its names unset, and
# the programs print their own figures alone.
. "$(dirname "$0")/wine-env.sh"
build="${BUILD_DIR:-$here/build/$VANTOREL_ARCH}"
wineserver -p </dev/null >/dev/null 2>&1
status=0
for folder in "$build"/bench/*/; do
  area=$(basename "$folder")
  anchors=""
  for anchor in "$here"/bench/"$area"/*_anchor.py; do
    [ -e "$anchor" ] || continue
    echo "== $(basename "$anchor")"
    output=$(cd "$folder" && /usr/bin/python3 "$anchor") || { status=1; continue; }
    echo "$output"
    anchors="$anchors$(echo "$output" | awk 'NF == 2 && $1 ~ /^[A-Za-z0-9_]+$/ { printf "ANCHOR_%s=%s ", $1, $2 }')"
  done
  for bench in "$folder"*_bench.exe; do
    [ -e "$bench" ] || continue
    echo "== $(basename "$bench")"
    (cd "$folder" && env $anchors "$WINE" "$bench") || status=1
  done
done
wineserver -k </dev/null >/dev/null 2>&1
exit $status
