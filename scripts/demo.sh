#!/usr/bin/env bash
# Builds VelmoraConv.exe and runs it under Wine with a small sample store and
# the Eudora and Netscape clients registered. With $DISPLAY set the program
# shows there and the script waits until it ends; without one it runs in a
# private Xvfb, and the script saves a screenshot of its first window, prints
# the screenshot's path and closes the program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/windows
. tests/e2e/wine-env.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target VelmoraConv
exe=$build/VelmoraConv.exe

prefix=$build/demo-wineprefix
had_display=${DISPLAY:-}
velmora_wine_env "$prefix"
velmora_wine_display "$prefix"
velmora_wine_up "$prefix"
velmora_e2e_clients
store=$(velmora_e2e_store)
echo "demo: sample store in $store"

if [ -n "$had_display" ]; then
  status=0
  wine "$exe" </dev/null || status=$?
  velmora_wine_down "$prefix"
  exit "$status"
fi

shots=$build/demo
mkdir -p "$shots"
wine "$exe" </dev/null >"$shots/program.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; velmora_wine_down "$prefix"' EXIT
if ! timeout 60 xdotool search --sync --onlyvisible --name "Velmoraメールコンバータ" >/dev/null 2>&1; then
  echo "demo: no window appeared within 60 s" >&2
fi
sleep 2   # let it paint
shot=$shots/screenshot.png
import -window root "$shot"
echo "demo: screenshot saved to $shot"
