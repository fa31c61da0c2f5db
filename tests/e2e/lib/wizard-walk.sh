# Drives the real VelmoraConv.exe under Wine by keyboard, as a user would;
# source it after wine-env.sh.
#
#   e2e_tools BUILD_DIR                 check that the program and wintext.exe are built there
#   e2e_prefix PREFIX VMTOOL            prefix with the target clients registered
#                                       (velmora_e2e_clients) and the demo store under
#                                       the application-data folder
#   e2e_walk FORMAT OUTDIR CSV SHOTS    runs the program and walks the wizard:
#       FORMAT  mbox | eml | eudora | netscape | cancel
#       OUTDIR  Windows path typed into the folder page ("" keeps the proposed one)
#       CSV     Windows path typed into the address book page ("" keeps the proposal)
#       SHOTS   host folder for a screenshot of every page (and the result)
#     Sets E2E_RESULT (the result message, UTF-8), E2E_FOLDER (the folder page's
#     text before typing), E2E_SUMMARY (the summary page's four texts) and
#     E2E_FINISH_NS / E2E_RESULT_NS (host clock, ns: Finish pressed, the result
#     message seen). E2E_RESULT_TIMEOUT_MS (default 60000) bounds the wait for it.
#     E2E_STORE_ARG, when set, is passed to the program as its one argument;
#     E2E_PROGRAM_LOG, when set, is the file that gets the program's stderr
#     (Wine's traces).
#     E2E_REFUSED_OUTDIR, when set, is typed on the folder page first: the page
#     must refuse it with a message box (its text in E2E_REFUSAL) and stay.
#   e2e_message ARG SHOT                runs the program with the argument ARG, waits
#     for its message box, saves SHOT, presses OK and waits for the program to end.
#     Sets E2E_MESSAGE (the box's text, UTF-8) and E2E_BOX_WIDTH (the box's width in
#     pixels). Fails when no box came, a wizard
#     opened, or the program did not end after OK.
#   e2e_unix PATH                       host path of a Windows path in the prefix
#
# The walk selects 受信トレイ (row 0) and 旅行 (row 4, from the store's tray list);
# E2E_TRAY_KEYS overrides the keys pressed in the tray list ("Home shift+End"
# selects every tray).
# Every step polls the wizard (wintext.exe wizard) instead of sleeping.

E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
E2E_ROOT=$(cd "$E2E_HERE/../.." && pwd)
E2E_CAPTION="Velmoraメールコンバータ"

e2e_fail() {
  echo "e2e: FAIL: $*" >&2
  return 1
}

e2e_tools() {
  local bin=$1
  E2E_BIN=$bin
  [ -f "$bin/VelmoraConv.exe" ] || e2e_fail "no $bin/VelmoraConv.exe"
  [ -f "$bin/wintext.exe" ] || e2e_fail "no $bin/wintext.exe"
}

e2e_unix() {
  local win=$1
  local rest=${win#[Cc]:}
  rest=${rest//\\//}
  echo "$WINEPREFIX/drive_c$rest"
}

# The user's application-data folder on the host side.
e2e_appdata() {
  echo "$(velmora_wine_user_dir)/AppData/Roaming"
}

e2e_prefix() {
  local prefix=$1 vmtool=$2
  velmora_wine_env "$prefix"
  velmora_wine_display "$prefix"
  velmora_wine_up "$prefix"
  velmora_e2e_clients
  # A fresh store from the demo messages.
  local store
  store="$(e2e_appdata)/Orvane/Velmora"
  rm -rf "$store"
  (cd "$E2E_ROOT/demo" &&
    "$vmtool" make-store --address-book=AddressBook.txt "$store" \
      受信トレイ=messages/受信トレイ 送信トレイ=messages/送信トレイ 未送信トレイ=messages/未送信トレイ \
      ドラフト=messages/ドラフト 旅行=messages/旅行 >/dev/null)
}

# e2e_page PAGE [ID...]: waits for the page; prints its state.
e2e_page() {
  local page=$1
  shift
  wine "$E2E_BIN/wintext.exe" wizard "$page" 20000 "$@" </dev/null 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

e2e_expect_buttons() {
  local state=$1 want=$2 where=$3
  [ "$(echo "$state" | sed -n 's/^buttons=//p')" = "$want" ] ||
    e2e_fail "$where: buttons $(echo "$state" | head -1), expected $want"
}

e2e_shot() {
  velmora_screenshot "$1"
}

e2e_key() {
  xdotool key --delay 30 "$@"
}

# Replaces the text of the focused edit.
e2e_type_over() {
  e2e_key Home shift+End Delete
  xdotool type --delay 15 "$1"
}

e2e_walk() {
  local format=$1 outdir=$2 csv=$3 shots=$4
  E2E_RESULT="" E2E_FOLDER="" E2E_SUMMARY=""
  mkdir -p "$shots"
  (cd "$E2E_BIN" && exec wine ./VelmoraConv.exe ${E2E_STORE_ARG+"$E2E_STORE_ARG"} </dev/null >/dev/null \
    2>"${E2E_PROGRAM_LOG:-/dev/null}") &
  E2E_PID=$!
  if ! _e2e_walk_steps "$format" "$outdir" "$csv" "$shots"; then
    e2e_shot "$shots/failed.png"
    kill "$E2E_PID" 2>/dev/null || true
    wait "$E2E_PID" 2>/dev/null || true
    return 1
  fi
}

_e2e_walk_steps() {
  local format=$1 outdir=$2 csv=$3 shots=$4 state pid=$E2E_PID

  state=$(e2e_page 0) || { e2e_fail "the wizard did not appear"; return 1; }
  e2e_expect_buttons "$state" 2 "introduction" || return 1
  local window
  window=$(xdotool search --name "^$E2E_CAPTION\$" | head -1)
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  e2e_shot "$shots/01-introduction.png"
  e2e_key Return

  state=$(e2e_page 1) || { e2e_fail "no tray page"; return 1; }
  e2e_expect_buttons "$state" 1 "trays, nothing selected" || return 1
  # shellcheck disable=SC2086
  e2e_key ${E2E_TRAY_KEYS:-Home ctrl+Down ctrl+Down ctrl+Down ctrl+Down ctrl+space}
  state=$(e2e_page 1)
  e2e_expect_buttons "$state" 3 "trays, two selected" || return 1
  e2e_shot "$shots/02-trays.png"
  e2e_key Return

  state=$(e2e_page 2) || { e2e_fail "no format page"; return 1; }
  e2e_expect_buttons "$state" 1 "format, nothing chosen" || return 1
  if [ "$format" = cancel ]; then
    e2e_key Escape
    e2e_page -1 >/dev/null || { e2e_fail "the wizard stayed after Cancel"; return 1; }
    E2E_RESULT=$(wine "$E2E_BIN/wintext.exe" dialog "$E2E_CAPTION" 1011 1500 </dev/null 2>/dev/null | tr -d '\r') || true
    wait "$pid" 2>/dev/null || true
    return 0
  fi
  case $format in
    mbox) e2e_key alt+u ;;
    eml) e2e_key alt+l ;;
    eudora) e2e_key alt+e ;;
    netscape) e2e_key alt+n ;;
  esac
  state=$(e2e_page 2)
  e2e_expect_buttons "$state" 3 "format $format chosen" || return 1
  e2e_shot "$shots/03-format.png"
  e2e_key Return

  state=$(e2e_page 3 1005) || { e2e_fail "no folder page"; return 1; }
  E2E_FOLDER=$(echo "$state" | sed -n 's/^1005=//p')
  E2E_REFUSAL=""
  if [ -n "${E2E_REFUSED_OUTDIR:-}" ]; then
    e2e_type_over "$E2E_REFUSED_OUTDIR"
    e2e_page 3 >/dev/null
    e2e_key Return
    E2E_REFUSAL=$(wine "$E2E_BIN/wintext.exe" dialog "$E2E_CAPTION" 65535 20000 </dev/null 2>/dev/null | tr -d '\r') ||
      { e2e_fail "no message for a refused folder"; return 1; }
    e2e_shot "$shots/04-refused.png"
    e2e_key Return
    state=$(e2e_page 3 1005) || { e2e_fail "the folder page did not stay after the refusal"; return 1; }
  fi
  if [ -n "$outdir" ]; then
    e2e_type_over "$outdir"
    state=$(e2e_page 3 1005)
  fi
  e2e_expect_buttons "$state" 3 "folder page" || return 1
  e2e_shot "$shots/04-folder.png"
  e2e_key Return

  state=$(e2e_page 4 1012) || { e2e_fail "no address book page"; return 1; }
  if [ -n "$csv" ]; then
    e2e_type_over "$csv"
    state=$(e2e_page 4 1012)
  fi
  e2e_expect_buttons "$state" 3 "address book page" || return 1
  e2e_shot "$shots/05-address-book.png"
  e2e_key Return

  state=$(e2e_page 5 1009 1010 1011 1012) || { e2e_fail "no summary page"; return 1; }
  e2e_expect_buttons "$state" 5 "summary" || return 1
  E2E_SUMMARY=$(echo "$state" | grep -v '^buttons=')
  e2e_shot "$shots/06-summary.png"
  E2E_FINISH_NS=$(date +%s%N)
  e2e_key Return

  local seen
  seen=$(wine "$E2E_BIN/wintext.exe" dialog "$E2E_CAPTION" 1011 "${E2E_RESULT_TIMEOUT_MS:-60000}" time </dev/null 2>/dev/null | tr -d '\r') ||
    { e2e_fail "no result message"; return 1; }
  # The last line: when wintext found the message (host clock, ns).
  E2E_RESULT=$(echo "$seen" | sed '$d')
  E2E_RESULT_NS=$(echo "$seen" | tail -n 1)
  e2e_shot "$shots/07-result.png"
  window=$(xdotool search --name "^$E2E_CAPTION\$" | head -1)
  [ -n "$window" ] && xdotool windowfocus --sync "$window" 2>/dev/null || true
  e2e_key Return
  local i
  for i in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    e2e_fail "the program did not end after the result message"
    return 1
  fi
  wait "$pid" 2>/dev/null || true
}

e2e_message() {
  local arg=$1 shot=$2 pid i status=0
  E2E_MESSAGE=""
  mkdir -p "$(dirname "$shot")"
  (cd "$E2E_BIN" && exec wine ./VelmoraConv.exe "$arg" </dev/null >/dev/null 2>&1) &
  pid=$!
  # The text of a message box is its static control 0xFFFF.
  if ! E2E_MESSAGE=$(wine "$E2E_BIN/wintext.exe" dialog "$E2E_CAPTION" 65535 20000 </dev/null 2>/dev/null); then
    e2e_shot "$shot"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    e2e_fail "no message box"
    return 1
  fi
  E2E_MESSAGE=$(echo "$E2E_MESSAGE" | tr -d '\r')
  e2e_shot "$shot"
  E2E_BOX_WIDTH=$(xdotool search --name "^$E2E_CAPTION\$" getwindowgeometry --shell 2>/dev/null |
    sed -n 's/^WIDTH=//p' | head -1)
  e2e_page -1 >/dev/null || { e2e_fail "a wizard is open beside the message box"; status=1; }
  local window
  window=$(xdotool search --name "^$E2E_CAPTION\$" | head -1)
  [ -n "$window" ] && xdotool windowfocus --sync "$window" 2>/dev/null || true
  e2e_key Return
  for i in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    e2e_fail "the program did not end after the message"
    return 1
  fi
  wait "$pid" 2>/dev/null || true
  return "$status"
}
