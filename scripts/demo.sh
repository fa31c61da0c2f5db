#!/usr/bin/env bash
# The demo: builds VelmoraConv.exe and the store tool, makes the demo store
# (demo/messages, demo/AddressBook.txt) in a Wine prefix where the program looks
# for it, registers Eudora and Netscape 4.x, and runs the program.
#   With $DISPLAY set, the program shows there and you walk the wizard.
#   Without one, it runs in a private Xvfb, the script walks the wizard as a
#   user would (every tray, eml format, the CSV beside the mail), and leaves
#   the converted files and a screenshot of every page in build/windows/demo.
#   VELMORA_DEMO_DOCS=1 also refreshes the pictures in docs/ (the pages cropped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/windows
. tests/e2e/wine-env.sh
. tests/e2e/lib/wizard-walk.sh

echo "demo: building the program and the store tool (the first time takes a few minutes)"
mkdir -p "$root/build"
log=$root/build/demo-build.log
if ! {
  cmake --preset windows &&
    cmake --build --preset windows -j2 --target VelmoraConv wintext &&
    cmake -S "$root" -B "$root/build/demo-tools" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BENCH=OFF &&
    cmake --build "$root/build/demo-tools" -j2 --target vmtool
} >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "demo: the build failed (whole log: $log)" >&2
  exit 1
fi
vmtool=$root/build/demo-tools/vmtool
e2e_tools "$build"

prefix=$build/demo-wineprefix
had_display=${DISPLAY:-}
e2e_prefix "$prefix" "$vmtool"
echo "demo: store with five trays in $(e2e_appdata)/Orvane/Velmora"

if [ -n "$had_display" ]; then
  echo "demo: walk the wizard; Eudora and Netscape 4.x are registered too."
  status=0
  (cd "$build" && wine ./VelmoraConv.exe </dev/null) || status=$?
  echo "demo: files written under C:\\ are in $WINEPREFIX/drive_c"
  velmora_wine_down "$prefix"
  exit "$status"
fi

out=$build/demo
rm -rf "$out"
mkdir -p "$out/converted" "$out/screenshots"
# C:\VelmoraDemo is the host folder $out/converted.
rm -rf "$WINEPREFIX/drive_c/VelmoraDemo"
ln -s "$out/converted" "$WINEPREFIX/drive_c/VelmoraDemo"
trap 'velmora_wine_down "$prefix"' EXIT

E2E_TRAY_KEYS="Home shift+End"
if ! e2e_walk eml 'C:\VelmoraDemo\eml' 'C:\VelmoraDemo\AddressBook.csv' "$out/screenshots"; then
  echo "demo: the walk failed; screenshots in $out/screenshots" >&2
  exit 1
fi
rm -f "$WINEPREFIX/drive_c/VelmoraDemo"
echo "demo: result message: $E2E_RESULT"
echo "demo: screenshots of every page: $out/screenshots"
echo "demo: converted mail and address book: $out/converted"
(cd "$out/converted" && find . -type f | sort | sed 's/^\./    /')

if [ "${VELMORA_DEMO_DOCS:-0}" = 1 ]; then
  for shot in "$out"/screenshots/0*.png; do
    convert "$shot" -trim +repage "$root/docs/wizard-$(basename "$shot")"
  done
  echo "demo: pictures refreshed in $root/docs"
fi
