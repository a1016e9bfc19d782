# Sourced by the Windows tests: a private X display (Xvfb) and a Wine prefix
# in the build folder, with a Japanese font for the dialogs' fonts and
# Wine's virtual desktop (title bars and menus drawn without a window
# manager).
#
#   wine_start BUILD_DIR    exports WINE, WINEPREFIX, DISPLAY, ...
#   wine_stop               ends this prefix's Wine processes and the display

wine_start() {
  local build=$1
  WINE=/usr/lib/wine/wine64
  WINESERVER=/usr/lib/wine/wineserver
  [ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine)
  [ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver)
  export WINE WINESERVER
  export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8

  # A free display number; another Xvfb may hold one at any moment.
  local n=91
  XVFB_PID=
  while [ $n -lt 140 ]; do
    if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then
      Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >"$build/xvfb-$n.log" 2>&1 &
      XVFB_PID=$!
      local tries=0
      while [ $tries -lt 50 ] && [ ! -e /tmp/.X11-unix/X$n ] && kill -0 $XVFB_PID 2>/dev/null; do sleep 0.1; tries=$((tries + 1)); done
      if [ -e /tmp/.X11-unix/X$n ] && kill -0 $XVFB_PID 2>/dev/null; then break; fi
      kill $XVFB_PID 2>/dev/null || true
      XVFB_PID=
    fi
    n=$((n + 1))
  done
  if [ -z "$XVFB_PID" ]; then
    echo "no X display could be started" >&2
    return 1
  fi
  export DISPLAY=:$n

  # The prefix is made once per build folder.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.lumeno-ready" ]; then
      rm -rf "$WINEPREFIX"
      "$WINE" wineboot -i >/dev/null 2>&1 || true
      "$WINESERVER" -w
      # Wine's own fonts (Marlett draws the title bar's buttons).
      cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      local reg="$build/wine-settings.reg"
      {
        printf '\xff\xfe'
        printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
          '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
          '"Tahoma"="IPAPGothic"' '"MS Shell Dlg"="IPAPGothic"' '"MS Shell Dlg 2"="IPAPGothic"' \
          '"MS UI Gothic"="IPAPGothic"' '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' \
          '"ＭＳ ゴシック"="IPAGothic"' '"MS Gothic"="IPAGothic"' '' \
          '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
          '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '' | iconv -f UTF-8 -t UTF-16LE
      } >"$reg"
      "$WINE" regedit /S "$(printf 'Z:%s' "$reg" | tr / '\\')" >/dev/null 2>&1
      "$WINESERVER" -w
      touch "$WINEPREFIX/.lumeno-ready"
    fi
  ) 9>"$build/wine-prefix.lock"
}

wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
}

# A Windows path for a path of this machine (Wine's drive Z: is the root).
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
