#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12.
# Safe to run again; run as root (or with sudo available).
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

packages=(
  # host build, tests, fuzzers, benchmarks
  cmake ninja-build g++ make git python3 googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  # differential test data (ISO-2022-JP and Shift_JIS texts)
  golang-golang-x-text-dev
  # round trip: an independent mbox reader beside Python's mailbox
  mb2md
  # the vCard address book read back by a standard reader (Debian's python3)
  python3-vobject
  # the Windows program, cross-built and run under Wine
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine64 fonts-wine
  libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3 libxxf86vm1
  # a virtual display, keyboard driving, screenshots, Japanese fonts and locale
  xvfb xauth xdotool imagemagick fonts-ipafont-gothic fonts-ipafont-mincho locales
)

# One dpkg-query for all (it names only packages it knows; the rest are missing).
installed=" $({ dpkg-query -W -f='${Package}:${Status}\n' "${packages[@]}" 2>/dev/null || true; } |
  sed -n 's/:install ok installed$//p' | tr '\n' ' ') "
missing=()
for p in "${packages[@]}"; do
  [[ $installed == *" $p "* ]] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ -n "$SUDO" ] && ! command -v sudo >/dev/null; then
    echo "setup: missing packages (${missing[*]}); run this script as root or install sudo" >&2
    exit 1
  fi
  echo "setup: installing ${#missing[@]} missing package(s): ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine opens Japanese file names only with a generated Japanese locale; the
# end-to-end tests also run the program under English and Chinese locales.
locales=$(locale -a 2>/dev/null || true)
for l in ja_JP en_US zh_CN; do
  if ! grep -qix "$l.utf-\?8" <<<"$locales"; then
    echo "setup: generating the locale $l.UTF-8"
    $SUDO localedef -i "$l" -f UTF-8 "$l.UTF-8"
  fi
done
echo "setup: all packages present"
