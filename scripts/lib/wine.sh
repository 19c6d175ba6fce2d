# The Wine environment: a prefix under build/, an X display (Xvfb when there
# is none) and pty-backed COM ports. Sourced by the scripts; expects
# AMPWRIGHT_ROOT.

ampwright_wine_env() {
  mkdir -p "$AMPWRIGHT_ROOT/build/tmp"
  export TMPDIR="$AMPWRIGHT_ROOT/build/tmp"  # Wine's server socket lives under it
  export WINEPREFIX="$AMPWRIGHT_ROOT/build/wineprefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Starts Xvfb on a free display unless one is usable already.
ampwright_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in 77 78 79 80 81 82 83 84; do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    AMPWRIGHT_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

ampwright_stop_display() {
  [ -n "${AMPWRIGHT_XVFB_PID:-}" ] && kill "$AMPWRIGHT_XVFB_PID" 2>/dev/null
  AMPWRIGHT_XVFB_PID=""
}

# Creates the prefix once (with a display, so GUI programs work in it later):
# the project's, or the one named.
ampwright_wine_prefix() {  # [prefix folder]
  ampwright_wine_env
  [ -n "${1:-}" ] && export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/.ampwright-ready" ]; then
    rm -rf "$WINEPREFIX"
    ampwright_ensure_display || return 1
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
    # Without a window manager Wine waits 2 s whenever a captioned window is
    # hidden; unmanaged windows do not.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ampwright-ready"
  fi
  # Wine draws the title-bar buttons with its Marlett font (fonts-wine); a
  # copy in the prefix's font folder is found on every start.
  local marlett=/usr/share/wine/fonts/marlett.ttf
  if [ -f "$marlett" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  wineserver -p 30 >/dev/null 2>&1 || true
}

# The dosdevices path of a COM port, for linking a pty to it.
ampwright_com_link() { echo "$WINEPREFIX/dosdevices/$(echo "$1" | tr 'A-Z' 'a-z')"; }
