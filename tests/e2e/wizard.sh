#!/usr/bin/env bash
# End-to-end: the real VelmoraConv.exe under Wine in Xvfb, walked by keyboard
# for each of the four formats and for Cancel, on the demo store; then with the
# store given as the argument (also by its Data and Data\MailBox folders, at a
# path past 260 characters, and at a folder whose name Shift_JIS cannot
# write), and with a folder that holds no store, or a file. VELMORA_WINE_LOCALE chooses the locale (default ja_JP.UTF-8): every
# text is read as Unicode and must be the same in every locale.
#   tests/e2e/wizard.sh [BUILD_DIR [VMTOOL]]
# BUILD_DIR holds VelmoraConv.exe and wintext.exe (default build/windows);
# VMTOOL is the host store tool (default build/host/vmtool; one is built when
# that is missing or lacks make-store).
# Screenshots of every page go to $VELMORA_E2E_ARTIFACTS/wizard/<format>/
# (default BUILD_DIR/e2e-artifacts; printed).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$(cd "${1:-$root/build/windows}" && pwd)
vmtool=$(realpath -m "${2:-$root/build/host/vmtool}")
# A tool from an older build may lack the command: build one of our own then.
if ! "$vmtool" make-store --help >/dev/null 2>&1; then
  cmake -S "$root" -B "$root/build/e2e-tools" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BENCH=OFF >/dev/null
  cmake --build "$root/build/e2e-tools" --target vmtool -j2 >/dev/null
  vmtool=$root/build/e2e-tools/vmtool
fi

. "$here/wine-env.sh"
. "$here/lib/wizard-walk.sh"

prefix=$bin/e2e-wizard-prefix${VELMORA_WINE_LOCALE:+-$VELMORA_WINE_LOCALE}
shots=${VELMORA_E2E_ARTIFACTS:-$bin/e2e-artifacts}/wizard${VELMORA_WINE_LOCALE:+-$VELMORA_WINE_LOCALE}
rm -rf "$shots"
unset DISPLAY   # always our own Xvfb
e2e_tools "$bin"
e2e_prefix "$prefix" "$vmtool"
trap 'velmora_wine_down "$prefix"' EXIT

failures=0
fail() { echo "e2e: FAIL: $*" >&2; failures=$((failures + 1)); }
# ok NAME: reports NAME as passed when no failure was counted since mark.
mark() { failures_before=$failures; }
ok() { [ "$failures" = "$failures_before" ] && echo "e2e: ok: $*"; return 0; }

SUCCESS="メール変換が正常に終了しました。"
OUTPUT_INSIDE_STORE="設定したフォルダはVelmoraのデータ（Dataフォルダ）の中にあります。別のフォルダを設定してください。"
HEADER="表示名,電子メール アドレス"
FIRST_ROW="佐藤 花子,hanako.sato@example.co.jp"
ROWS=5

# count FILE PATTERN: lines of FILE (Shift_JIS) that start with PATTERN.
count() { grep -a -c "^$2" "$1" 2>/dev/null || true; }
utf8() { iconv -c -f CP932 -t UTF-8 "$1" | tr -d '\r'; }

check_csv() {   # check_csv WINPATH WITH_HEADER
  local file
  file=$(e2e_unix "$1")
  [ -f "$file" ] || { fail "no CSV $1"; return; }
  local text
  text=$(utf8 "$file")
  if [ "$2" = 1 ]; then
    [ "$(echo "$text" | head -1)" = "$HEADER" ] || fail "CSV $1 lacks the header row"
    text=$(echo "$text" | tail -n +2)
  else
    [ "$(echo "$text" | head -1)" != "$HEADER" ] || fail "CSV $1 has a header row"
  fi
  [ "$(echo "$text" | head -1)" = "$FIRST_ROW" ] || fail "CSV $1 first row: $(echo "$text" | head -1)"
  [ "$(echo "$text" | wc -l)" = "$ROWS" ] || fail "CSV $1 has $(echo "$text" | wc -l) rows, expected $ROWS"
  grep -q $'\r$' "$file" || fail "CSV $1 lines do not end in CR LF"
}

walk() {   # walk FORMAT OUTDIR CSV [SHOTS-NAME]
  if ! e2e_walk "$1" "$2" "$3" "$shots/${4:-$1}"; then
    fail "$1: the walk stopped"
    return 1
  fi
  if [ "$1" != cancel ] && [ "$E2E_RESULT" != "$SUCCESS" ]; then
    fail "$1: result message \"$E2E_RESULT\""
    return 1
  fi
}

docs_csv='C:\users\'"$(basename "$(velmora_wine_user_dir)")"'\Documents\VelmoAddr.csv'
rm -rf "$(e2e_unix 'C:\out')" "$(e2e_unix "$docs_csv")"
rm -f "$(e2e_unix 'C:\Eudora')"/*.mbx
find "$(e2e_unix 'C:\Program Files\Netscape\Users\u\mail')" -type f ! -name popstate.dat -delete
mkdir -p "$(e2e_unix 'C:\out\mbox')"

# UNIX mbox, into a folder typed with trailing separators; the proposed CSV.
mark
if walk mbox 'C:\out\mbox\\' ''; then
  d=$(e2e_unix 'C:\out\mbox')
  [ "$(count "$d/受信トレイ.mbx" 'From ???@??? ')" = 6 ] || fail "mbox: 受信トレイ.mbx should hold 6 messages"
  [ "$(count "$d/旅行.mbx" 'From ???@??? ')" = 1 ] || fail "mbox: 旅行.mbx should hold 1 message"
  [ ! -e "$d/送信トレイ.mbx" ] || fail "mbox: an unselected tray was written"
  echo "$E2E_SUMMARY" | grep -qx '1011=C:\\out\\mbox' || fail "mbox: summary folder: $E2E_SUMMARY"
  echo "$E2E_SUMMARY" | grep -qx '1009=受信トレイ\\n旅行\\n' || fail "mbox: summary trays: $E2E_SUMMARY"
  check_csv "$docs_csv" 0
  ok "mbox"
fi

# UNIX mbox again: a folder inside the store's data folder is refused on the
# folder page, which stays; then a folder that does not exist yet is made.
store_win='C:\users\'"$(basename "$(velmora_wine_user_dir)")"'\AppData\Roaming\Orvane\Velmora'
mark
E2E_REFUSED_OUTDIR="$store_win\Data\mbox"
if walk mbox 'C:\out\new\mbox' 'C:\out\new.csv' mbox-refused-and-made; then
  [ "$E2E_REFUSAL" = "$OUTPUT_INSIDE_STORE" ] || fail "refused folder: message \"$E2E_REFUSAL\""
  [ ! -e "$(e2e_unix "$E2E_REFUSED_OUTDIR")" ] || fail "refused folder: it was made"
  d=$(e2e_unix 'C:\out\new\mbox')
  [ "$(count "$d/受信トレイ.mbx" 'From ???@??? ')" = 6 ] || fail "made folder: 受信トレイ.mbx should hold 6 messages"
  check_csv 'C:\out\new.csv' 0
  ok "an output folder inside the store refused on its page; a missing one made (mbox)"
fi
unset E2E_REFUSED_OUTDIR

# eml, into a folder that does not exist yet; the CSV typed.
mark
if walk eml 'C:\out\eml' 'C:\out\eml.csv'; then
  d=$(e2e_unix 'C:\out\eml')
  [ "$(find "$d/受信トレイ" -name '*.eml' | wc -l)" = 6 ] || fail "eml: 受信トレイ should hold 6 .eml files"
  [ "$(find "$d/旅行" -name '*.eml' | wc -l)" = 1 ] || fail "eml: 旅行 should hold 1 .eml file"
  check_csv 'C:\out\eml.csv' 1
  ok "eml"
fi

# mbox with the address book as vCard: a ".vcf" name typed. The file is the
# one velmora-convert writes for the same store, and vobject reads it.
mark
if walk mbox 'C:\out\vcard' 'C:\out\contacts.vcf' vcard; then
  f=$(e2e_unix 'C:\out\contacts.vcf')
  if [ ! -f "$f" ]; then
    fail "vcard: no C:\out\contacts.vcf"
  else
    [ "$(grep -c '^BEGIN:VCARD'$'\r''$' "$f")" = "$ROWS" ] || fail "vcard: $(grep -c '^BEGIN:VCARD' "$f") cards, expected $ROWS"
    grep -q "^FN:${FIRST_ROW%%,*}"$'\r''$' "$f" || fail "vcard: no card for ${FIRST_ROW%%,*}"
    convert=$(dirname "$vmtool")/velmora-convert
    if [ -x "$convert" ]; then
      host_vcf=$(mktemp -d)
      "$convert" "$(e2e_appdata)/Orvane/Velmora" "$host_vcf/out" --format mbox --trays 旅行 --quiet \
        --vcard "$host_vcf/contacts.vcf" || fail "vcard: velmora-convert failed"
      cmp -s "$f" "$host_vcf/contacts.vcf" || fail "vcard: the program's file differs from velmora-convert's"
      rm -rf "$host_vcf"
    fi
    if /usr/bin/python3 -c 'import vobject' 2>/dev/null; then
      /usr/bin/python3 -c 'import sys, vobject
cards = list(vobject.readComponents(open(sys.argv[1], encoding="utf-8", newline="").read()))
assert len(cards) == int(sys.argv[2]), len(cards)' "$f" "$ROWS" || fail "vcard: vobject cannot read it"
    fi
    [ ! -e "$(e2e_unix 'C:\out\contacts.csv')" ] || fail "vcard: a CSV was written too"
  fi
  ok "mbox with a vCard address book"
fi

# Eudora, into the proposed mail folder.
mark
if walk eudora '' 'C:\out\eudora.csv'; then
  # Registered data folder C:\Eudora\Mail: the proposal ends at its "\Eudora".
  [ "$E2E_FOLDER" = 'C:\Eudora' ] || fail "eudora: proposed folder \"$E2E_FOLDER\""
  d=$(e2e_unix 'C:\Eudora')
  [ -s "$d/受信トレイ.mbx" ] && [ -s "$d/旅行.mbx" ] || fail "eudora: mailboxes missing"
  [ "$(utf8 "$d/受信トレイ.mbx" | grep -c '^Subject: 定例会議のお知らせ$')" = 1 ] || fail "eudora: decoded subject missing"
  check_csv 'C:\out\eudora.csv' 0
  ok "eudora"
fi

# Netscape 4.x, into the proposed mail folder.
mark
if walk netscape '' 'C:\out\netscape.csv'; then
  [ "$E2E_FOLDER" = 'C:\Program Files\Netscape\Users\u\mail' ] || fail "netscape: proposed folder \"$E2E_FOLDER\""
  d=$(e2e_unix 'C:\Program Files\Netscape\Users\u\mail')
  [ "$(count "$d/受信トレイ" 'From - ')" = 6 ] || fail "netscape: 受信トレイ should hold 6 messages"
  [ "$(count "$d/旅行" 'From - ')" = 1 ] || fail "netscape: 旅行 should hold 1 message"
  check_csv 'C:\out\netscape.csv' 0
  ok "netscape"
fi

# Cancel on the format page: nothing written, no message.
touch "$prefix/.velmora-cancel"
mark
if walk cancel '' ''; then
  [ -z "$E2E_RESULT" ] || fail "cancel: a message was shown: $E2E_RESULT"
  changed=$(find "$WINEPREFIX/drive_c/out" "$WINEPREFIX/drive_c/Eudora" "$(e2e_appdata)/Orvane" \
    -newer "$prefix/.velmora-cancel" 2>/dev/null)
  [ -z "$changed" ] || fail "cancel: files were written: $changed"
  ok "cancel"
fi

# The store given as the argument, away from the detected place (which is left
# empty, so that only the argument can lead to it): a path with a blank and a
# last name whose trail byte is 0x5C (表), typed with a trailing "\".
given='C:\移行 データ\表'
rm -rf "$(e2e_unix 'C:\移行 データ')"
mkdir -p "$(e2e_unix 'C:\移行 データ')"
mv "$(e2e_appdata)/Orvane/Velmora" "$(e2e_unix "$given")"
mkdir -p "$(e2e_unix 'C:\out\given')"
mark
E2E_STORE_ARG="$given\\"
if walk mbox 'C:\out\given' 'C:\out\given.csv' argument; then
  d=$(e2e_unix 'C:\out\given')
  [ "$(count "$d/受信トレイ.mbx" 'From ???@??? ')" = 6 ] || fail "argument: 受信トレイ.mbx should hold 6 messages"
  [ "$(count "$d/旅行.mbx" 'From ???@??? ')" = 1 ] || fail "argument: 旅行.mbx should hold 1 message"
  check_csv 'C:\out\given.csv' 0
  ok "store given as the argument"
fi
# Its Data folder, and its Data\MailBox folder in other letter cases (as a
# folder dropped onto the icon arrives), open the store too.
mark
E2E_STORE_ARG="$given\Data"
if walk cancel '' '' argument-data; then
  [ -z "$E2E_RESULT" ] || fail "argument Data: a message was shown: $E2E_RESULT"
  ok "store given by its Data folder"
fi
mkdir -p "$(e2e_unix 'C:\out\given-mailbox')"
mark
E2E_STORE_ARG="$given\data\MAILBOX\\"
if walk mbox 'C:\out\given-mailbox' 'C:\out\given-mailbox.csv' argument-mailbox; then
  d=$(e2e_unix 'C:\out\given-mailbox')
  [ "$(count "$d/受信トレイ.mbx" 'From ???@??? ')" = 6 ] || fail "argument Data\MailBox: 受信トレイ.mbx should hold 6 messages"
  check_csv 'C:\out\given-mailbox.csv' 0
  ok "store given by its Data\MailBox folder"
fi
unset E2E_STORE_ARG

# Paths past the classic 260-character limit: the store given at a folder of
# over 300 characters, converted into an output folder of over 300 typed ones.
long='C:\長いパス'
for i in $(seq 24); do long="$long\フォルダ表ソ能-$i"; done
long_out='C:\out\long'
for i in $(seq 36); do long_out="$long_out\folder$i"; done
rm -rf "$(e2e_unix 'C:\長いパス')"
mkdir -p "$(dirname "$(e2e_unix "$long")")" "$(e2e_unix "$long_out")"
mv "$(e2e_unix "$given")" "$(e2e_unix "$long")"
mark
E2E_STORE_ARG=$long
if walk mbox "$long_out" "$long_out\\book.csv" long-paths; then
  d=$(e2e_unix "$long_out")
  [ "$(count "$d/受信トレイ.mbx" 'From ???@??? ')" = 6 ] || fail "long paths: 受信トレイ.mbx should hold 6 messages"
  [ "$(count "$d/旅行.mbx" 'From ???@??? ')" = 1 ] || fail "long paths: 旅行.mbx should hold 1 message"
  check_csv "$long_out\\book.csv" 0
  ok "long paths (store ${#long}, output ${#long_out} characters)"
fi
unset E2E_STORE_ARG

# A store folder argument whose name Shift_JIS cannot write: said, nothing
# written.
odd='C:\out\Müller 한국'
mkdir -p "$(e2e_unix "$odd")"
touch "$prefix/.velmora-odd"
mark
if e2e_message "$odd" "$shots/no-shift-jis/message.png"; then
  want=$(printf '%s\n' "指定されたフォルダの名前には、このプログラムで扱えない文字（Shift_JISにない文字）が含まれています。" "" \
    "指定されたフォルダ：" 'C:\out\M?ller ??' "" \
    "フォルダの名前を変えるか、日本語と英数字だけの名前の場所にコピーしてから、このプログラムのアイコンにドロップするか、引数に指定して起動してください。")
  [ "$E2E_MESSAGE" = "$want" ] || fail "no Shift_JIS form: message \"$E2E_MESSAGE\""
  changed=$(find "$WINEPREFIX/drive_c" -newer "$prefix/.velmora-odd" -not -path "$WINEPREFIX/drive_c/windows/*" \
    2>/dev/null)
  [ -z "$changed" ] || fail "no Shift_JIS form: files were written: $changed"
  ok "a store folder Shift_JIS cannot write"
else
  fail "no Shift_JIS form: the run stopped"
fi

# A missing store at a long path: the message wraps the path, so the box fits
# a 1024-pixel screen.
mark
if e2e_message "$long_out" "$shots/missing-long/message.png"; then
  joined=$(echo "$E2E_MESSAGE" | sed -n '4,/^$/p' | tr -d '\n')
  [ "$joined" = "$long_out\\Data\\MailBox" ] || fail "missing store, long path: path \"$joined\""
  [ "${E2E_BOX_WIDTH:-9999}" -le 1024 ] || fail "missing store, long path: the box is $E2E_BOX_WIDTH pixels wide"
  ok "missing store at a long path (box ${E2E_BOX_WIDTH} pixels wide)"
else
  fail "missing store, long path: the run stopped"
fi

# A folder without a store: one message naming where it looked, then the end,
# with nothing written.
empty='C:\out\空のフォルダ'
mkdir -p "$(e2e_unix "$empty")"
touch "$prefix/.velmora-missing"
mark
if e2e_message "$empty" "$shots/missing/message.png"; then
  want=$(printf '%s\n' "Velmoraのメールデータが見つかりませんでした。" "" "探した場所：" "$empty\Data\MailBox" "" \
    "「Data」フォルダを含むVelmoraのフォルダを、このプログラムのアイコンにドロップするか、引数に指定して起動してください。")
  [ "$E2E_MESSAGE" = "$want" ] || fail "missing store: message \"$E2E_MESSAGE\""
  changed=$(find "$WINEPREFIX/drive_c" -newer "$prefix/.velmora-missing" -not -path "$WINEPREFIX/drive_c/windows/*" \
    2>/dev/null)
  [ -z "$changed" ] || fail "missing store: files were written: $changed"
  ok "missing store"
else
  fail "missing store: the run stopped"
fi

# A file given (or dropped): the message names the file itself.
note="$empty\メモ.txt"
echo memo >"$(e2e_unix "$note")"
mark
if e2e_message "$note" "$shots/missing-file/message.png"; then
  [ "$(echo "$E2E_MESSAGE" | sed -n 4p)" = "$note" ] || fail "a file: message \"$E2E_MESSAGE\""
  ok "a file given as the store"
else
  fail "a file: the run stopped"
fi

echo "e2e: screenshots in $shots"
if [ "$failures" -gt 0 ]; then
  echo "e2e: $failures failure(s)" >&2
  exit 1
fi
echo "e2e: all wizard walks passed"
