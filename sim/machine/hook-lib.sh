# Helpers for the simulated PC's install hooks (sim/*/install.sh); source it from a hook:
#   source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"
# Every function works on $WINEPREFIX, whose wineserver make-machine keeps running.

# sim_wine PROGRAM [ARGS...]: runs a Windows program; its output goes to a file (never a pipe,
# which the prefix's services would inherit and keep open), printed afterwards. Returns its code.
sim_wine() {
  local out rc
  out=$(mktemp "${TMPDIR:-/tmp}/sim-wine.XXXXXX")
  /usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
  rc=$?
  tr -d '\r' <"$out"
  rm -f "$out"
  return $rc
}

# sim_reg_import: imports registry text (UTF-8, "Windows Registry Editor Version 5.00" format,
# Japanese allowed) read from stdin. Returns reg.exe's exit code.
sim_reg_import() {
  local dir rc
  dir=$(mktemp -d "${TMPDIR:-/tmp}/sim-reg.XXXXXX")
  # reg.exe reads Unicode files as UTF-16LE with a byte-order mark and CRLF line ends.
  { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$dir/import.reg" || { rm -rf "$dir"; return 1; }
  sim_wine reg import "$(sim_winpath "$dir/import.reg")" >"$dir/reg.log" 2>&1
  rc=$?
  [ $rc -eq 0 ] || cat "$dir/reg.log" >&2
  rm -rf "$dir"
  return $rc
}

# sim_winpath PATH: the Windows form of a Unix path (Wine maps the root to drive Z:).
sim_winpath() {
  local p
  p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  printf 'Z:%s\n' "${p//\//\\}"
}

# sim_system32: the prefix's 64-bit system folder, where stand-in DLLs replace Wine's fake ones.
sim_system32() {
  printf '%s\n' "$WINEPREFIX/drive_c/windows/system32"
}

# sim_dll_override NAME: Wine loads the stand-in NAME.dll (native) before its builtin.
sim_dll_override() {
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\n"%s"="native,builtin"\n' "$1" \
    | sim_reg_import
}
