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

# Prepared simulated PCs (tools/test.sh prepares one of each profile, with and without the
# product, once per run): $SIM_MACHINES_DIR/<profile> and <profile>.bare, each marked by the file
# .solvane-machine holding the source folder it was built from. The programs and libraries under
# drive_c/windows (Wine's own and the stand-ins: over 90% of a prefix) are listed in
# .solvane-links: nothing writes them once the PC is built, so copies hard-link them; every other
# file (registry, product, data) is copied.

# prepared_machine_dir PROFILE: the prepared PC for the profile and $SIM_INSTALL_PRODUCT, when
# there is a complete one built from $SOLVANE_SOURCE_DIR; nothing otherwise.
prepared_machine_dir() {
  [ -n "${SIM_MACHINES_DIR:-}" ] || return 0
  local dir=$SIM_MACHINES_DIR/$1
  [ "${SIM_INSTALL_PRODUCT:-1}" = 0 ] && dir=$dir.bare
  [ -f "$dir/.solvane-machine" ] && [ "$(cat "$dir/.solvane-machine")" = "${SOLVANE_SOURCE_DIR:-}" ] \
    && printf '%s\n' "$dir"
  return 0
}

# mark_prepared_machine DIR: lists its shared libraries and marks it complete (its server stopped).
mark_prepared_machine() {
  (cd "$1" && find drive_c/windows -type f \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.sys' \
     -o -iname '*.drv' -o -iname '*.acm' -o -iname '*.ocx' -o -iname '*.tlb' -o -iname '*.nls' \
     -o -iname '*.ds' -o -iname '*.cpl' -o -iname '*.msstyles' \)) >"$1/.solvane-links" || return 1
  printf '%s\n' "${SOLVANE_SOURCE_DIR:-}" >"$1/.solvane-machine"
}

# copy_machine PREPARED DIR: a copy of a prepared PC in DIR (empty or new), without the marks.
copy_machine() {
  local src=$1 dst=$2
  mkdir -p "$dst" && dst=$(cd "$dst" && pwd) || return 1
  tar -C "$src" -cf - --no-wildcards --exclude-from="$src/.solvane-links" \
      --exclude=.solvane-links --exclude=.solvane-machine . | tar -C "$dst" -xpf - || return 1
  (cd "$src" && xargs -d '\n' -r cp -l --parents -t "$dst" <.solvane-links)
}
