#!/usr/bin/env bash
# End-to-end: velmora-convert on the host and the real VelmoraConv.exe under
# Wine convert the demo store with the same choices (every tray, each of the
# four formats, the address book as CSV); every file must hold the same bytes,
# the times in separator lines aside.
#   tests/e2e/cli-compare.sh [BUILD_DIR [HOST_BUILD_DIR]]
# BUILD_DIR holds VelmoraConv.exe and wintext.exe (default build/windows);
# HOST_BUILD_DIR holds velmora-convert and vmtool (default build/host; both are
# built of our own when missing). Screenshots of the walks go to
# $VELMORA_E2E_ARTIFACTS/cli-compare/<format>/ (default BUILD_DIR/e2e-artifacts).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$(cd "${1:-$root/build/windows}" && pwd)
host=$(realpath -m "${2:-$root/build/host}")
if ! "$host/velmora-convert" --help >/dev/null 2>&1 || ! "$host/vmtool" make-store --help >/dev/null 2>&1; then
  cmake -S "$root" -B "$root/build/e2e-tools" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BENCH=OFF >/dev/null
  cmake --build "$root/build/e2e-tools" --target vmtool velmora-convert -j2 >/dev/null
  host=$root/build/e2e-tools
fi

. "$here/wine-env.sh"
. "$here/lib/wizard-walk.sh"

prefix=$bin/e2e-cli-prefix${VELMORA_WINE_LOCALE:+-$VELMORA_WINE_LOCALE}
shots=${VELMORA_E2E_ARTIFACTS:-$bin/e2e-artifacts}/cli-compare${VELMORA_WINE_LOCALE:+-$VELMORA_WINE_LOCALE}
rm -rf "$shots"
unset DISPLAY   # always our own Xvfb
e2e_tools "$bin"
e2e_prefix "$prefix" "$host/vmtool"
trap 'velmora_wine_down "$prefix"' EXIT

failures=0
fail() { echo "e2e: FAIL: $*" >&2; failures=$((failures + 1)); }

SUCCESS="メール変換が正常に終了しました。"
store="$(e2e_appdata)/Orvane/Velmora"
theirs=$(e2e_unix 'C:\cmp')
mine=$prefix/velmora-convert-out
rm -rf "$theirs" "$mine"
mkdir -p "$mine"

# masked FILE: the file with the time of every separator line replaced by "*".
masked() {
  perl -pe 's/^(From \?\?\?\@\?\?\? |From - )[^\r\n]*/$1*/' "$1"
}

# same FORMAT: the files the program wrote equal velmora-convert's.
same() {
  local format=$1 a=$theirs b=$mine list_a list_b f
  list_a=$(cd "$a" && find "$format" "$format.csv" -type f | sort)
  list_b=$(cd "$b" && find "$format" "$format.csv" -type f | sort)
  if [ "$list_a" != "$list_b" ]; then
    fail "$format: different files: $(diff <(echo "$list_a") <(echo "$list_b") | grep '^[<>]' | head -5 | tr '\n' ' ')"
    return
  fi
  [ "$(echo "$list_a" | grep -c .)" -ge 2 ] || { fail "$format: nothing written"; return; }
  while IFS= read -r f; do
    if ! cmp -s <(masked "$a/$f") <(masked "$b/$f"); then
      fail "$format: $f differs: $(cmp <(masked "$a/$f") <(masked "$b/$f") 2>&1 | head -1)"
    fi
  done <<<"$list_a"
}

E2E_TRAY_KEYS="Home shift+End"   # every tray, as velmora-convert's default
for format in mbox eml eudora netscape; do
  mkdir -p "$theirs/$format"
  # The walk itself is wizard.sh's test; here it only makes the files, so a
  # walk that a busy machine held up gets one more go in a fresh folder.
  if ! e2e_walk "$format" "C:\\cmp\\$format" "C:\\cmp\\$format.csv" "$shots/$format" &&
     ! { echo "e2e: $format: walking once more"; rm -rf "$theirs/$format" "$theirs/$format.csv"; mkdir -p "$theirs/$format";
         e2e_walk "$format" "C:\\cmp\\$format" "C:\\cmp\\$format.csv" "$shots/$format"; }; then
    fail "$format: the walk stopped"
    continue
  fi
  [ "$E2E_RESULT" = "$SUCCESS" ] || { fail "$format: result message \"$E2E_RESULT\""; continue; }
  printed=$("$host/velmora-convert" "$store" "$mine/$format" --format "$format" --csv "$mine/$format.csv") ||
    { fail "$format: velmora-convert failed: $printed"; continue; }
  [ "${printed##*$'\n'}" = "$SUCCESS" ] || fail "$format: velmora-convert ended with \"${printed##*$'\n'}\""
  before=$failures
  same "$format"
  if [ "$failures" = "$before" ]; then
    echo "e2e: ok: $format: $(cd "$mine" && find "$format" -type f | wc -l) file(s) and the CSV the same"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "e2e: $failures failure(s); screenshots in $shots" >&2
  exit 1
fi
echo "e2e: velmora-convert writes what VelmoraConv.exe writes, in every format"
