#!/usr/bin/env bash
# Runs every test: host unit tests (plain and under ASan+UBSan), the fuzz
# targets for a short while, the Windows-side tests under Wine and the
# end-to-end tests of the real program. Warnings are errors.
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
    [ -f "fuzz/$name.dict" ] && args+=(-dict="fuzz/$name.dict")
    seeds=()
    [ -d "fuzz/corpus/$name" ] && seeds+=("fuzz/corpus/$name")
    echo "--- $name"
    (cd "$work" && "$root/build/fuzz/$name" "${args[@]}" "$work" "${seeds[@]/#/$root/}" 2>&1 | tail -n 3)
    rm -rf "$work"
  done
fi

if [ -x scripts/windows-tests.sh ] || [ -f scripts/windows-tests.sh ]; then
  step "Windows program, Windows-side tests and end-to-end tests under Wine"
  bash scripts/windows-tests.sh
fi

echo
echo "all tests passed"
