#!/usr/bin/env bash
# Builds VelmoraConv.exe and the Windows-side tests (preset "windows", warnings
# as errors), runs those tests under Wine, then every end-to-end test
# tests/e2e/*.sh (except the sourced wine-env.sh and *-lib.sh) under ja_JP,
# then the Windows-side tests and the wizard under en_US and the comparison
# with velmora-convert under en_US and zh_CN. Each part gets its own Wine
# prefix and Xvfb display, which are stopped afterwards. Screenshots of the end-to-end tests are kept in
# build/windows/e2e-artifacts (or $VELMORA_E2E_ARTIFACTS).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/windows
. tests/e2e/wine-env.sh

# Text reaches Windows only through the W functions (converted by code page
# 932): no ANSI entry point and no system code page in the program's code.
if grep -nE '::[A-Z][A-Za-z0-9]*A\(|CP_ACP|MAKEINTRESOURCEA' -r framework/win32 app ui; then
  echo "windows: an ANSI Windows function in the program's code (above)" >&2
  exit 1
fi

t0=$(date +%s)
echo "--- windows build"
cmake --preset windows -DVELMORA_WERROR=ON >/dev/null
cmake --build --preset windows -j2
t1=$(date +%s)

echo "--- Windows-side tests under Wine"
prefix=$build/wineprefix
status=0
(unset DISPLAY; ctest --preset windows) || status=$?
velmora_wine_down "$prefix"
[ "$status" = 0 ] || exit "$status"
t2=$(date +%s)

export VELMORA_E2E_ARTIFACTS=${VELMORA_E2E_ARTIFACTS:-$build/e2e-artifacts}
echo "--- end-to-end tests (artefacts in $VELMORA_E2E_ARTIFACTS)"
for t in tests/e2e/*.sh; do
  case $(basename "$t") in wine-env.sh | *-lib.sh) continue ;; esac   # sourced, not run
  echo "--- $t"
  bash "$t" "$build"
done
t3=$(date +%s)

# The same program on a Windows whose locale is not Japanese: the Windows-side
# tests and the wizard walks under en_US, the files of every format compared
# with velmora-convert's under en_US and zh_CN.
for locale in en_US.UTF-8 zh_CN.UTF-8; do
  echo "--- under $locale"
  export VELMORA_WINE_LOCALE=$locale
  if [ "$locale" = en_US.UTF-8 ]; then
    status=0
    (unset DISPLAY; ctest --preset windows) || status=$?
    velmora_wine_down "$prefix-$locale"
    [ "$status" = 0 ] || exit "$status"
    bash tests/e2e/wizard.sh "$build"
  fi
  bash tests/e2e/cli-compare.sh "$build"
done
unset VELMORA_WINE_LOCALE
t4=$(date +%s)
echo "windows: build $((t1 - t0)) s, Wine tests $((t2 - t1)) s, end-to-end $((t3 - t2)) s," \
  "other locales $((t4 - t3)) s"
