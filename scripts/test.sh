#!/usr/bin/env bash
# Runs every test: host unit tests (plain and under ASan+UBSan), the round
# trip of a stored corpus through every format, the fuzz targets for a short
# while, the Windows-side tests under Wine and the end-to-end tests of the
# real program. Warnings are errors.
#   FUZZ_SECONDS=N   seconds per fuzz target (default 30; 0 skips fuzzing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

bash scripts/setup.sh

step() { echo; echo "=== $*"; }

step "host build and tests"
cmake --preset host -DVELMORA_WERROR=ON >/dev/null
cmake --build --preset host -j2
ctest --preset host

step "round trip: a stored corpus converted in every format, read back by Python and mb2md"
python3 tests/roundtrip/run.py build/host/vmtool

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan -DVELMORA_WERROR=ON >/dev/null
cmake --build --preset host-asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset host-asan

if [ "$FUZZ_SECONDS" -gt 0 ] && ls fuzz/*_fuzz.cpp >/dev/null 2>&1; then
  step "fuzz targets, ${FUZZ_SECONDS} s each"
  cmake --preset fuzz -DVELMORA_WERROR=ON >/dev/null
  cmake --build --preset fuzz -j2
  for src in fuzz/*_fuzz.cpp; do
    name=$(basename "$src" .cpp)
    work=$(mktemp -d)
    args=(-max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0)
    for dict in "fuzz/$name.dict" "fuzz/${name%_fuzz}.dict"; do
      if [ -f "$dict" ]; then args+=(-dict="$root/$dict"); break; fi
    done
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
    # Inputs kept from longer runs (read-only, beside the checkout).
    [ -d "$root/../shared/fuzz-seeds/$name" ] && seeds+=("$(cd "$root/../shared/fuzz-seeds/$name" && pwd)")
    echo "--- $name"
    mkdir -p "$work/corpus"
    if ! (cd "$work" && "$root/build/fuzz/$name" "${args[@]}" "$work/corpus" "${seeds[@]}" >"$work/log" 2>&1); then
      # On a shared machine a stall can look like a timeout: replay the input
      # alone; only a real hang (or any crash) fails.
      timeouts=("$work"/timeout-*)
      if grep -q 'ERROR: libFuzzer: timeout' "$work/log" && [ -f "${timeouts[0]}" ] &&
         (cd "$work" && "$root/build/fuzz/$name" -timeout=10 -runs=1 "${timeouts[0]}" >"$work/replay" 2>&1); then
        echo "fuzz target $name: a timeout that did not recur when replayed alone (stall), not counted"
      else
        tail -n 60 "$work/log"
        echo "fuzz target $name failed (crash input kept in $work)"
        exit 1
      fi
    fi
    tail -n 1 "$work/log"
    rm -rf "$work"
  done
fi

if [ -x scripts/windows-tests.sh ] || [ -f scripts/windows-tests.sh ]; then
  step "Windows program, Windows-side tests and end-to-end tests under Wine"
  bash scripts/windows-tests.sh
fi

echo
echo "all tests passed"
