#!/usr/bin/env bash
# How much slower the Windows program is under Wine than velmora-convert
# natively, on one store of many small messages: a timing to read, no test.
#   bench/wine-speed.sh [BUILD_DIR [HOST_BUILD_DIR]]
# BUILD_DIR holds VelmoraConv.exe and wintext.exe (default build/windows);
# HOST_BUILD_DIR holds velmora-convert and vmtool (default build/host).
#
# Makes (once; kept in the bench's Wine prefix BUILD_DIR/bench-speed-prefix
# for the next run) a store of about VELMORA_SPEED_MB megabytes (default 220)
# of small ISO-2022-JP messages (2.5 to 7 KB, some body lines "From "), in
# two trays. Then per format of VELMORA_SPEED_FORMATS (default "mbox"; any
# of mbox eml eudora netscape): velmora-convert on the store natively with
# the address book (the best of VELMORA_SPEED_CLI_ROUNDS runs, default 3),
# and the real program under Wine in Xvfb, walked by keyboard with every tray
# (VELMORA_SPEED_ROUNDS walks, default 1), timed from pressing Finish to its
# result message (which follows the address book export; a walk waits for it
# VELMORA_SPEED_TIMEOUT seconds, default 3600). Prints both times, their
# ratio, and whether both wrote as many files and bytes.
#
# eml under Wine: Wine looks a name that is not there up by reading the whole
# folder (its names are matched without regard to case), and each message
# file is such a name, so the time grows with the square of the messages per
# tray: try VELMORA_SPEED_MB=20 first.
# VELMORA_SPEED_WINEDEBUG, when set, is the WINEDEBUG of the program's runs
# (e.g. +timestamp,+file); their traces go to BUILD_DIR/bench-speed-prefix/
# <format>.trace.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
bin=$(cd "${1:-$root/build/windows}" && pwd)
host=$(realpath -m "${2:-$root/build/host}")
mb=${VELMORA_SPEED_MB:-220}
formats=${VELMORA_SPEED_FORMATS:-mbox}
cli_rounds=${VELMORA_SPEED_CLI_ROUNDS:-3}
rounds=${VELMORA_SPEED_ROUNDS:-1}
for tool in "$host/velmora-convert" "$host/vmtool"; do
  [ -x "$tool" ] || { echo "wine-speed: no $tool (build the host preset)" >&2; exit 1; }
done

. "$root/tests/e2e/wine-env.sh"
. "$root/tests/e2e/lib/wizard-walk.sh"

prefix=$bin/bench-speed-prefix
unset DISPLAY   # always our own Xvfb
e2e_tools "$bin"
e2e_prefix "$prefix" "$host/vmtool"
trap 'velmora_wine_down "$prefix"' EXIT

# ---- The store ---------------------------------------------------------------
store_win="C:\\speed-store-$mb"
store=$(e2e_unix "$store_win")
stamp="$mb MB, generator 1"
if [ "$(cat "$store/.made" 2>/dev/null)" != "$stamp" ]; then
  echo "wine-speed: making a store of about $mb MB in $store"
  rm -rf "$store"
  work=$(mktemp -d)
  python3 - "$work" "$mb" <<'PY'
import base64, random, sys
work, mb = sys.argv[1], int(sys.argv[2])
rnd = random.Random(7)
kana = ("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
        "会議資料報告予定確認連絡")
lines = ["".join(rnd.choice(kana) for _ in range(rnd.randint(10, 36))).encode("iso-2022-jp") + b"\r\n"
         for _ in range(4000)]
quoted = b">From here on, a line that a mailbox quotes.\r\n"   # mboxrd: "From " in the store
trays = [open(f"{work}/{name}.mbox", "wb") for name in ("inbox", "sent")]
total, i = 0, 0
while total < mb * 1000 * 1000:
    subject = "".join(rnd.choice(kana) for _ in range(rnd.randint(6, 20)))
    word = "=?ISO-2022-JP?B?" + base64.b64encode(subject.encode("iso-2022-jp")).decode() + "?="
    day, minute, second = 1 + i % 28, i % 60, (i * 7) % 60
    head = (f"Return-Path: <u{i % 500}@example.jp>\r\n"
            f"Received: from mx{i % 7}.example.jp (mx.example.jp [192.0.2.{i % 250}])\r\n"
            f"\tby mail.example.jp with ESMTP id {i:08d};\r\n"
            f"\tMon, {day} Apr 2003 10:{minute:02d}:00 +0900\r\n"
            f"Date: Mon, {day} Apr 2003 10:{minute:02d}:{second:02d} +0900\r\n"
            f"From: u{i % 500}@example.jp\r\nTo: user@example.jp\r\nSubject: {word}\r\n"
            f"Message-ID: <{i}.bench@example.jp>\r\nMIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n").encode()
    body, size, want = [], 0, rnd.randint(2500, 7000)
    while size < want:
        line = quoted if rnd.random() < 0.02 else rnd.choice(lines)
        body.append(line)
        size += len(line)
    message = b"From bench@example.jp Mon Apr  1 10:00:00 2003\r\n" + head + b"".join(body) + b"\r\n"
    trays[0 if i % 10 else 1].write(message)
    total += len(message)
    i += 1
for f in trays:
    f.close()
PY
  "$host/vmtool" make-store "$store" 受信トレイ="$work/inbox.mbox" 送信トレイ="$work/sent.mbox"
  rm -rf "$work"
  echo "$stamp" >"$store/.made"
fi
store_bytes=$(du -sb "$store/Data" | cut -f1)
messages=$("$host/velmora-convert" "$store" --list | awk 'NR > 1 { n += $2 } END { print n }')
echo "wine-speed: store $store_win: $messages messages, $((store_bytes / 1000000)) MB"

# ---- Timing ------------------------------------------------------------------
now_ns() { date +%s%N; }
# written DIR: "N files, M bytes" under DIR.
written() { echo "$(find "$1" -type f | wc -l) files, $(find "$1" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }') bytes"; }
seconds() { awk -v ns="$1" 'BEGIN { printf "%.2f", ns / 1e9 }'; }

out_win='C:\speed-out'
out=$(e2e_unix "$out_win")
cli_out=$prefix/speed-cli-out
E2E_TRAY_KEYS="Home shift+End"   # every tray, as velmora-convert's default
E2E_STORE_ARG=$store_win
E2E_RESULT_TIMEOUT_MS=$((${VELMORA_SPEED_TIMEOUT:-3600} * 1000))
SUCCESS="メール変換が正常に終了しました。"
report=()
for format in $formats; do
  best=""
  for _ in $(seq "$cli_rounds"); do
    rm -rf "$cli_out"
    mkdir -p "$cli_out"
    sync
    t0=$(now_ns)
    "$host/velmora-convert" "$store" "$cli_out/$format" --format "$format" --csv "$cli_out/$format.csv" --quiet
    t=$(($(now_ns) - t0))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  cli=$best
  echo "wine-speed: $format: velmora-convert $(seconds "$cli") s (best of $cli_rounds)"

  for round in $(seq "$rounds"); do
    rm -rf "$out"
    mkdir -p "$out"
    sync
    if [ -n "${VELMORA_SPEED_WINEDEBUG:-}" ]; then
      export WINEDEBUG=$VELMORA_SPEED_WINEDEBUG E2E_PROGRAM_LOG=$prefix/$format.trace
    fi
    walked=0
    e2e_walk "$format" "$out_win\\$format" "$out_win\\$format.csv" "$prefix/shots/$format" 2>"$prefix/walk.log" || walked=$?
    export WINEDEBUG=-all
    unset E2E_PROGRAM_LOG
    if [ "$walked" != 0 ] || [ "$E2E_RESULT" != "$SUCCESS" ]; then
      cat "$prefix/walk.log" >&2
      echo "wine-speed: $format: the walk failed (result \"$E2E_RESULT\"; screenshots in $prefix/shots)" >&2
      exit 1
    fi
    wine_ns=$((E2E_RESULT_NS - E2E_FINISH_NS))
    # The same files and bytes (cli-compare.sh compares them byte for byte).
    if [ "$(written "$out")" != "$(written "$cli_out")" ]; then
      echo "wine-speed: $format: the program wrote $(written "$out"), velmora-convert $(written "$cli_out")" >&2
      exit 1
    fi
    ratio=$(awk -v a="$wine_ns" -v b="$cli" 'BEGIN { printf "%.1f", a / b }')
    line="$format: Finish -> result $(seconds "$wine_ns") s under Wine, velmora-convert $(seconds "$cli") s: $ratio x"
    echo "wine-speed: $line (round $round)"
    report+=("$line")
  done
  rm -rf "$out" "$cli_out"
done
echo
echo "wine-speed: $messages messages, $((store_bytes / 1000000)) MB, $(nproc) cores"
for line in "${report[@]}"; do echo "  $line"; done
