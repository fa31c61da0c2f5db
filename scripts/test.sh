#!/usr/bin/env bash
# Runs every test: host unit tests (plain and under ASan+UBSan, each with the
# layer include check and a replay of every fuzz corpus), velmora-convert built
# and installed alone as the README says (no GoogleTest), the round trip of a
# stored corpus through every format, the fuzz targets for a short while, the
# Windows-side tests under Wine and the end-to-end tests of the real program.
# Warnings are errors. Installs what is missing first (scripts/setup.sh).
#   FUZZ_SECONDS=N          seconds per fuzz target (default 30; 0 skips fuzzing)
#   VELMORA_SKIP_WINDOWS=1  skips the Windows stage
# A skipped stage, and every test a stage skipped, is named in a banner when
# it happens and again in the summary at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
VELMORA_SKIP_WINDOWS=${VELMORA_SKIP_WINDOWS:-0}

summary=()
stage=""
stage_t0=0
t_all=$(date +%s)

stage_end() {
  if [ -n "$stage" ]; then
    summary+=("passed   $stage ($(($(date +%s) - stage_t0)) s)")
    stage=""
  fi
}
step() {
  stage_end
  stage=$1
  stage_t0=$(date +%s)
  echo
  echo "=== $1"
}
banner() {
  echo
  echo "!!!!!!!! $* !!!!!!!!"
}
skip() {
  stage_end
  banner "SKIPPED: $1 ($2)"
  summary+=("SKIPPED  $1 ($2)")
}
# ctest with the given arguments; the tests it skipped are named loudly.
run_ctest() {
  local log
  log=$(mktemp)
  local status=0
  ctest "$@" 2>&1 | tee "$log" || status=$?
  local skipped
  skipped=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$log" | tr '\n' ' ')
  rm -f "$log"
  skipped=${skipped% }
  if [ -n "$skipped" ]; then
    banner "SKIPPED TESTS in $stage: $skipped"
    summary+=("SKIPPED  tests of $stage: $skipped")
  fi
  return "$status"
}
finish() {
  local status=$?
  if [ -n "$stage" ]; then
    if [ "$status" = 0 ]; then stage_end; else summary+=("FAILED   $stage ($(($(date +%s) - stage_t0)) s)"); fi
  fi
  echo
  echo "=== summary ($(($(date +%s) - t_all)) s)"
  local line skipped=0
  for line in "${summary[@]}"; do
    echo "  $line"
    case $line in SKIPPED*) skipped=1 ;; esac
  done
  if [ "$status" != 0 ]; then
    echo "tests FAILED"
  elif [ "$skipped" = 1 ]; then
    echo "all tests that ran passed; SOME WERE SKIPPED (above)"
  else
    echo "all tests passed"
  fi
}
trap finish EXIT

step "set-up: packages and locales"
bash scripts/setup.sh

step "host build and tests"
cmake --preset host -DVELMORA_WERROR=ON >/dev/null
cmake --build --preset host -j2
run_ctest --preset host

step "velmora-convert alone, installed by the README's line: no GoogleTest, benchmark or Ninja needed"
# A fresh build directory with the two packages out of reach; the README's
# three commands, built with -j2.
rm -rf build/cli
inst=$(mktemp -d)
env -u CMAKE_GENERATOR cmake --preset cli --no-warn-unused-cli -DVELMORA_WERROR=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
if grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja' build/cli/CMakeCache.txt; then
  echo "the cli preset uses Ninja" >&2
  exit 1
fi
cmake --build --preset cli -j2 >/dev/null
cmake --install build/cli --prefix "$inst" >/dev/null
[ "$(ls "$inst/bin")" = velmora-convert ] || { echo "installed: $(ls "$inst/bin")" >&2; exit 1; }
"$inst/bin/velmora-convert" --version
rm -rf "$inst"

step "round trip: a stored corpus converted in every format, read back by Python and mb2md; the address book as CSV and vCard"
python3 tests/roundtrip/run.py build/host/vmtool
# Debian's Python, where setup.sh installed vobject.
/usr/bin/python3 tests/roundtrip/contacts.py build/host/velmora-convert

if [ -d ../shared/real-mail ]; then
  step "real mail: public MIME test messages converted in every format, read back and decoded by Python"
  python3 tests/roundtrip/realmail.py build/host/vmtool
else
  skip "real-mail round trip" "../shared/real-mail is not there"
fi

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan -DVELMORA_WERROR=ON >/dev/null
cmake --build --preset host-asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest --preset host-asan

if [ "$FUZZ_SECONDS" -le 0 ]; then
  skip "fuzz targets" "FUZZ_SECONDS=$FUZZ_SECONDS"
elif ! ls fuzz/*_fuzz.cpp >/dev/null 2>&1; then
  skip "fuzz targets" "no fuzz/*_fuzz.cpp"
else
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

if [ "$VELMORA_SKIP_WINDOWS" = 1 ]; then
  skip "Windows program, Windows-side tests and end-to-end tests" "VELMORA_SKIP_WINDOWS=1"
else
  step "Windows program, Windows-side tests and end-to-end tests under Wine"
  bash scripts/windows-tests.sh
fi
