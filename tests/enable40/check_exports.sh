#!/bin/sh
# Usage: check_exports.sh OBJDUMP DLL. Passes when the export table names no
# function and holds exactly the engine's ordinals.
objdump="$1"
dll="$2"
expected="1 5 7 10 11 15 35 38 39 42 54 10002"
table=$("$objdump" -p "$dll") || exit 1
ordinals=$(echo "$table" | sed -n '/^Export Address Table/,/^$/p' |
  sed -n 's/.*+base\[ *\([0-9]*\)\].*/\1/p' | tr '\n' ' ' | sed 's/ $//')
names=$(echo "$table" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 |
  grep -c '^\s*\[')
if [ "$ordinals" != "$expected" ]; then
  echo "ordinals: '$ordinals', expected '$expected'"
  exit 1
fi
if [ "$names" != "0" ]; then
  echo "$names exported names, expected none"
  exit 1
fi
echo "ordinals: $ordinals; no names"
