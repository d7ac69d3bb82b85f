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

# sim_server_pids: process ids of the wineserver(s) serving $WINEPREFIX (a server works in the
# folder server-<device>-<inode> of the prefix, in hexadecimal).
sim_server_pids() {
  local dev ino suffix p cwd
  read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null) || return 0
  suffix=$(printf 'server-%x-%x' "$dev" "$ino")
  for p in $(pgrep -x wineserver64 2>/dev/null; pgrep -x wineserver 2>/dev/null); do
    cwd=$(readlink "/proc/$p/cwd" 2>/dev/null) || continue
    [ "${cwd##*/}" = "$suffix" ] && echo "$p"
  done
  return 0
}

# sim_server_is_persistent: true when a server started with plain -p (no time limit) serves
# $WINEPREFIX; a server started on demand runs with -p0 and ends soon after its last program.
sim_server_is_persistent() {
  local p
  for p in $(sim_server_pids); do
    tr '\0' '\n' <"/proc/$p/cmdline" 2>/dev/null | grep -qx -- '-p' && return 0
  done
  return 1
}

# sim_restart_server: stops the prefix's server (every program of the prefix ends; services and
# drivers are read again at the next start) and starts a persistent one with the services up.
sim_restart_server() {
  /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver64 -w >/dev/null 2>&1 || true
  /usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1 || true
  /usr/lib/wine/wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

# sim_wait_for_devices SIMCTL: waits until the simulated devices answer (simctl counters). The
# first program of a new server starts services.exe, which loads simdev.sys; under load Wine now
# and then ends such a new process at once, and then no later program brings the driver back.
# So when the devices stay silent for 20 s, the server is started again, up to three times.
# Says why on stderr and returns 1 when they never answered.
sim_wait_for_devices() {
  local simctl=$1 run=${SOLVANE_SOURCE_DIR:?}/cmake/wine-run.sh out attempt deadline
  out=$(mktemp "${TMPDIR:-/tmp}/sim-devices.XXXXXX")
  for attempt in 1 2 3; do
    deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)); do
      if "$run" "$simctl" counters >"$out" 2>&1; then
        rm -f "$out"
        return 0
      fi
      sleep 0.2
    done
    printf 'sim: the devices of %s did not answer within 20 s (start %d of 3); simctl said: %s\n' \
      "$WINEPREFIX" "$attempt" "$(tail -n 3 "$out" | tr '\n' ' ')" >&2
    if ((attempt < 3)); then sim_restart_server; fi
  done
  rm -f "$out"
  return 1
}
