# Wine environment of the Windows-side and end-to-end tests; source it.
#
#   velmora_wine_env PREFIX      export the environment for a prefix, in the
#                                locale $VELMORA_WINE_LOCALE (default
#                                ja_JP.UTF-8; a prefix serves one locale)
#   velmora_wine_display PREFIX  use $DISPLAY, or start an Xvfb kept with the prefix
#   velmora_wine_up PREFIX       create the prefix once, start its wineserver
#                                and background services (serialised by a lock)
#   velmora_wine_down PREFIX     stop the prefix's wineserver and its own Xvfb
#
# The wineserver is kept running and its services are started with their output
# on /dev/null: otherwise they inherit the first program's stdout/stderr and
# keep pipes (ctest, "| iconv") open long after the program ended.

velmora_wine_env() {
  local prefix=$1
  mkdir -p "$prefix/home"
  export WINEPREFIX=$prefix
  export HOME=$prefix/home
  local locale=${VELMORA_WINE_LOCALE:-ja_JP.UTF-8}
  export LANG=$locale LC_ALL=$locale
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  unset WINEARCH WINESERVER WINELOADER
}

velmora_wine_display() {
  local prefix=$1
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  mkdir -p "$prefix"
  (
    flock 8
    local pid
    pid=$(cat "$prefix/xvfb.pid" 2>/dev/null || true)
    if [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then
      rm -f "$prefix/xvfb.display"
      Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp \
        9>"$prefix/xvfb.display" </dev/null >/dev/null 2>&1 8>&- &
      echo $! >"$prefix/xvfb.pid"
      local i
      for i in $(seq 100); do
        [ -s "$prefix/xvfb.display" ] && break
        sleep 0.05
      done
    fi
  ) 8>"$prefix/xvfb.lock"
  DISPLAY=:$(tr -dc 0-9 <"$prefix/xvfb.display")
  export DISPLAY
}

# Registry settings every prefix gets: no window manager decorations handled by
# X (focus and closing are then immediate), Japanese font faces mapped onto
# the IPA fonts, and title bars in a Japanese face (Windows links its caption
# font to one; Wine does so only under a Japanese locale), so that every
# locale shows Japanese captions.
_velmora_wine_reg() {
  cat <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"ＭＳ 明朝"="IPAMincho"
"ＭＳ Ｐ明朝"="IPAPMincho"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"


[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]
"CaptionFont"=hex:f5,ff,ff,ff,00,00,00,00,00,00,00,00,00,00,00,00,bc,02,00,00,00,00,00,80,00,00,00,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
REG
}

# Imports a registry script given in UTF-8 on stdin (regedit wants UTF-16LE).
velmora_wine_import() {
  local file
  file=$(mktemp "$WINEPREFIX/import.XXXXXX")
  { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$file"
  wine regedit /S "Z:${file//\//\\}" </dev/null >/dev/null 2>&1
  rm -f "$file"
}

velmora_wine_up() {
  local prefix=$1
  mkdir -p "$prefix"
  (
    flock 8
    if [ -f "$prefix/display-in-use" ] && [ "$(cat "$prefix/display-in-use")" != "$DISPLAY" ]; then
      wineserver -k 2>/dev/null 8>&- || true
      wineserver -w 2>/dev/null 8>&- || true
    fi
    echo "$DISPLAY" >"$prefix/display-in-use"
    if [ ! -f "$prefix/.velmora-ready" ]; then
      wineboot -i </dev/null >/dev/null 2>&1 8>&-
      wineserver -w 8>&-
    fi
    # A server that outlives each program (it ends after 10 idle minutes, or
    # with velmora_wine_down), started before any program; it fails when one
    # runs already, whose services are then up. The lock's descriptor must not
    # live on in the server.
    local started=0
    if wineserver -p600 </dev/null >/dev/null 2>&1 8>&-; then started=1; fi
    if [ ! -f "$prefix/.velmora-ready" ]; then
      _velmora_wine_reg | velmora_wine_import 8>&-
      mkdir -p "$prefix/drive_c/windows/Fonts"
      cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf \
        "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
      touch "$prefix/.velmora-ready"
    fi
    if [ "$started" = 1 ]; then
      wine cmd /c exit </dev/null >/dev/null 2>&1 8>&-
    fi
  ) 8>"$prefix/wine.lock"
}

velmora_wine_down() {
  local prefix=$1
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  local pid
  pid=$(cat "$prefix/xvfb.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
  rm -f "$prefix/xvfb.pid" "$prefix/xvfb.display" "$prefix/display-in-use"
}

# ---- End-to-end fixtures ------------------------------------------------------

# The Windows user's folder on the Linux side.
velmora_wine_user_dir() {
  local user
  user=$(ls "$WINEPREFIX/drive_c/users" | grep -v '^Public$' | head -n 1)
  echo "$WINEPREFIX/drive_c/users/$user"
}

# Registers the target clients the program probes for at start-up: Velmora
# itself, Eudora (command line with a data folder) and Netscape 4.x (a user
# with a default server and its POP state file), and makes their folders.
velmora_e2e_clients() {
  mkdir -p "$WINEPREFIX/drive_c/Program Files/Velmora" \
    "$WINEPREFIX/drive_c/Program Files/Eudora" \
    "$WINEPREFIX/drive_c/Eudora/Mail" \
    "$WINEPREFIX/drive_c/Program Files/Netscape/Users/u/mail"
  : >"$WINEPREFIX/drive_c/Program Files/Netscape/Users/u/mail/popstate.dat"
  velmora_wine_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\velmora.exe]
@="C:\\Program Files\\Velmora\\velmora.exe"
"Path"="C:\\Program Files\\Velmora"

[HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail\Eudora\shell\open\command]
@="\"C:\\Program Files\\Eudora\\Eudora.exe\" /m"

[HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Software\Qualcomm\Eudora\CommandLine\current]
@="\"C:\\Program Files\\Eudora\\Eudora.exe\" \"C:\\Eudora\\Mail\""

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Netscape.exe]
@="C:\\Program Files\\Netscape\\Communicator\\Program\\netscape.exe"
"Path"="C:\\Program Files\\Netscape\\Communicator\\Program"

[HKEY_CURRENT_USER\Software\Netscape\Netscape Navigator\biff]
"CurrentUser"="u"

[HKEY_CURRENT_USER\Software\Netscape\Netscape Navigator\biff\users\u]
"defaultServer"="pop.example.jp"

[HKEY_CURRENT_USER\Software\Netscape\Netscape Navigator\biff\users\u\servers\pop.example.jp]
"popstatePath"="C:\\Program Files\\Netscape\\Users\\u\\mail\\popstate.dat"
REG
}

# Makes a small Velmora store where the program looks on the NT family:
# the application-data folder + \Orvane\Velmora. Trays 受信トレイ (two
# messages, no index: it is rebuilt on conversion) and 送信トレイ (empty),
# an address book. Prints the store's Linux path.
velmora_e2e_store() {
  local store
  store="$(velmora_wine_user_dir)/AppData/Roaming/Orvane/Velmora"
  rm -rf "$store"
  mkdir -p "$store/Data/MailBox/受信トレイ" "$store/Data/MailBox/送信トレイ"
  : >"$store/Data/MailTray.dat"
  printf '%s\r\n' \
    "From: Sato <sato@example.jp>" "To: user@example.jp" "Subject: hello" \
    "Date: Tue, 1 Apr 2003 10:00:00 +0900" "Message-ID: <1@example.jp>" "" "first body" "" \
    "From: Suzuki <suzuki@example.jp>" "To: user@example.jp" "Subject: second" \
    "Date: Wed, 2 Apr 2003 11:30:00 +0900" "Message-ID: <2@example.jp>" "" "second body" \
    >"$store/Data/MailBox/受信トレイ/Message Storage.mbx"
  : >"$store/Data/MailBox/送信トレイ/Message Storage.mbx"
  printf '%s\r\n' "sato@example.jp" >"$store/Data/AddressBook.txt"
  echo "$store"
}

# Saves a screenshot of the whole display as $1.
velmora_screenshot() {
  import -window root "$1" 2>/dev/null || true
}
