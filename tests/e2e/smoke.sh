#!/usr/bin/env bash
# Smoke test of the real program under Wine: it starts, shows the wizard, and
# Cancel ends the process with nothing converted and no result message.
#   tests/e2e/smoke.sh [BUILD_DIR]      (default build/windows)
# Screenshots go to $VELMORA_E2E_ARTIFACTS/smoke (default BUILD_DIR/e2e-artifacts/smoke).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
. "$here/wine-env.sh"

exe=$build/VelmoraConv.exe
wintext=$build/wintext.exe
for f in "$exe" "$wintext"; do
  [ -f "$f" ] || { echo "smoke: $f is missing (build the windows preset first)" >&2; exit 1; }
done
art=${VELMORA_E2E_ARTIFACTS:-$build/e2e-artifacts}/smoke
rm -rf "$art"
mkdir -p "$art"
echo "smoke: screenshots and logs in $art"

prefix=$build/e2e-wineprefix
unset DISPLAY
velmora_wine_env "$prefix"
velmora_wine_display "$prefix"
velmora_wine_up "$prefix"
velmora_e2e_clients
store=$(velmora_e2e_store)

pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid" 2>/dev/null || true; fi
  velmora_wine_down "$prefix"
}
trap cleanup EXIT
fail() {
  echo "smoke: FAILED: $*" >&2
  velmora_screenshot "$art/failure.png"
  echo "--- program output:" >&2
  cat "$art/program.log" >&2 || true
  exit 1
}

(cd "$art" && exec wine "$exe" </dev/null >"$art/program.log" 2>&1) &
pid=$!

# The wizard comes up; Cancel (Esc) ends the run without a result message.
win=""
for _ in $(seq 600); do
  win=$(xdotool search --name "^Velmoraメールコンバータ$" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || fail "the wizard did not appear"
sleep 1   # let it paint
velmora_screenshot "$art/wizard.png"
xdotool windowfocus --sync "$win" key Escape
if text=$(wine "$wintext" dialog "Velmoraメールコンバータ" 1011 1500 </dev/null 2>>"$art/program.log"); then
  fail "a result dialog appeared after Cancel: ${text%$'\r'}"
fi

for _ in $(seq 200); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then fail "the program is still running after Cancel"; fi
status=0
wait "$pid" || status=$?
pid=""
velmora_screenshot "$art/after.png"
[ "$status" = 0 ] || fail "exit code $status"
# Nothing was converted: the store holds only what the fixture made.
[ ! -e "$store/Data/MailBox/受信トレイ/vmmail.idx" ] || fail "an index was written"
echo "smoke: passed"
