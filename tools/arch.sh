#!/bin/sh
# Prints the Windows architecture that the build targets on this machine.
. "$(dirname "$0")/wine-env.sh"
echo "$VANTOREL_ARCH"
