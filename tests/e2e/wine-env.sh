# Wine environment of the Windows-side and end-to-end tests; source it.
#
#   velmora_wine_env PREFIX      export the environment for a prefix
#   velmora_wine_display PREFIX  use $DISPLAY, or start an Xvfb kept with the prefix
#   velmora_wine_up PREFIX       create the prefix once, start its wineserver
#                                and background services (serialised by a lock)
#   velmora_wine_down PREFIX     stop the prefix's wineserver and its own Xvfb
#
# The wineserver is persistent and its services are started with their output
# on /dev/null: otherwise they inherit the first program's stdout/stderr and
# keep pipes (ctest, "| iconv") open long after the program ended.

velmora_wine_env() {
  local prefix=$1
  mkdir -p "$prefix/home"
  export WINEPREFIX=$prefix
  export HOME=$prefix/home
  export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
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
# X (focus and closing are then immediate), and Japanese font faces mapped onto
# the IPA fonts.
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
      _velmora_wine_reg | velmora_wine_import 8>&-
      mkdir -p "$prefix/drive_c/windows/Fonts"
      cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf \
        "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
      touch "$prefix/.velmora-ready"
    fi
    # (The lock's descriptor must not live on in the server and services.)
    wineserver -p </dev/null >/dev/null 2>&1 8>&-
    wine cmd /c exit </dev/null >/dev/null 2>&1 8>&-
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
