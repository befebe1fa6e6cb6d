# Sourced by the scripts: a Wine prefix of our own under build/, an Xvfb display,
# and a wineserver kept alive for the run. Call wine_start, and wine_stop at the end.

MR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$MR_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
MR_XVFB_PID=""
. "$MR_ROOT/scripts/wine-fonts.sh"

# Starts Xvfb unless $DISPLAY is usable (or MR_OWN_DISPLAY=1 asks for our own).
display_start() {
  if [ -n "${DISPLAY:-}" ] && [ "${MR_OWN_DISPLAY:-0}" != 1 ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local fifo display
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  MR_XVFB_PID=$!
  read -r -t 20 display <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$display"
}

# What the prefix must have been made with: a prefix made before 32-bit Wine was
# installed fails for every program once it is (kernel32.dll cannot be loaded).
wine_kind() {
  if [ -x /usr/lib/wine/wine ]; then echo wow64; else echo win64; fi
}

wine_prefix() {
  local stamp=$WINEPREFIX/.moodrelayer-kind kind
  kind=$(wine_kind)
  if [ -d "$WINEPREFIX/drive_c" ] && [ "$(cat "$stamp" 2>/dev/null)" != "$kind" ]; then
    case $WINEPREFIX in
      "$MR_ROOT"/build/*) rm -rf "$WINEPREFIX" ;;  # ours: made anew
      *) wineboot -u </dev/null >/dev/null 2>&1 || true ;;  # someone else's: updated only
    esac
  fi
  if [ ! -d "$WINEPREFIX/drive_c" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
  fi
  [ -d "$WINEPREFIX/drive_c" ] && echo "$kind" >"$stamp"
}

wine_start() {
  display_start || return 1
  mkdir -p "$(dirname "$WINEPREFIX")"
  wine_prefix
  # A persistent server, and Wine's background services started with no pipes
  # of ours in their hands (they would keep a reader waiting forever).
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  wine_fonts || echo "wine: the font links could not be written" >&2
}

wine_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "$MR_XVFB_PID" ]; then kill "$MR_XVFB_PID" 2>/dev/null || true; wait "$MR_XVFB_PID" 2>/dev/null || true; fi
  MR_XVFB_PID=""
}
