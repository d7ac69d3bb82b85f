# Sourced by the tools: the Wine environment every run uses, and helpers for prefixes and Xvfb.
export WINEARCH=win64
export WINEDEBUG=-all
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export LANG=ja_JP.UTF-8
# No Mono/Gecko download attempts; a crashing program exits at once (no crash dialog).
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# start_xvfb: starts one Xvfb for this run and exports DISPLAY (XVFB_PID is set).
start_xvfb() {
  if [ -n "${SOLVANE_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return 0; fi
  local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local num; read -r num <"$fifo"; rm -f "$fifo"
  export DISPLAY=":$num"
}

# make_template_prefix DIR: a booted prefix with the settings every test needs; reused when present.
make_template_prefix() {
  local dir=$1
  if [ -f "$dir/.solvane-template" ]; then return 0; fi
  # Booted under a temporary name and renamed when complete, so a cut-short boot is never reused.
  local tmp="$dir.boot.$$"
  rm -rf "$tmp"; mkdir -p "$(dirname "$dir")"
  WINEPREFIX=$tmp /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  # Without a window manager every hidden window would stall 2 s unless Wine manages none.
  WINEPREFIX=$tmp /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX=$tmp $WINESERVER -w
  touch "$tmp/.solvane-template"
  rm -rf "$dir"; mv "$tmp" "$dir"
}

# copy_prefix TEMPLATE DIR: a fresh prefix in under a second.
copy_prefix() {
  rm -rf "$2"; cp -a "$1" "$2"; rm -f "$2/.solvane-template"
}
