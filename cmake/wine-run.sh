#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest and CMake:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is created on first use (see tests/e2e/wine-env.sh); without
# $DISPLAY an Xvfb is started and kept with the prefix. Exit codes pass through.
# With $VELMORA_WINE_LOCALE set the program runs in that locale, in a prefix
# of its own (PREFIX-LOCALE).
set -euo pipefail
prefix=$1${VELMORA_WINE_LOCALE:+-$VELMORA_WINE_LOCALE}
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../tests/e2e/wine-env.sh"
velmora_wine_env "$prefix"
velmora_wine_display "$prefix"
velmora_wine_up "$prefix"
exec wine "$@"
