#!/usr/bin/env bash
# Machine hook of the powrprof stand-in: installs powrprof.dll into the simulated PC in place of
# Wine's, makes Wine load it (powrprof=native,builtin) and writes the power plans of this profile.
# Environment (from sim/machine/make-machine.sh): WINEPREFIX (its wineserver runs), SIM_BIN,
# SOLVANE_SOURCE_DIR and the profile's variables (SIM_WIRELESS_GRAPHICS 1/0).
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX is not set}"
: "${SIM_BIN:?SIM_BIN is not set}"
: "${SOLVANE_SOURCE_DIR:?SOLVANE_SOURCE_DIR is not set}"
run="$SOLVANE_SOURCE_DIR/cmake/wine-run.sh"
wireless_graphics=${SIM_WIRELESS_GRAPHICS:-1}
case "$wireless_graphics" in
  0|1) ;;
  *) echo "powrprof/install.sh: SIM_WIRELESS_GRAPHICS must be 1 or 0, not '$wireless_graphics'" >&2; exit 1 ;;
esac
for f in powrprof.dll powrprof-seed.exe; do
  [ -f "$SIM_BIN/$f" ] || { echo "powrprof/install.sh: $SIM_BIN/$f is missing (build first)" >&2; exit 1; }
done

system32="$WINEPREFIX/drive_c/windows/system32"
cp "$SIM_BIN/powrprof.dll" "$system32/powrprof.dll"
"$run" reg add 'HKCU\Software\Wine\DllOverrides' /v powrprof /t REG_SZ /d native,builtin /f >/dev/null \
  || { echo "powrprof/install.sh: the DLL override cannot be set" >&2; exit 1; }

# The plans: the three Windows plans, with or without the wireless and graphics settings.
"$run" "$SIM_BIN/powrprof-seed.exe" --wireless-graphics "$wireless_graphics" \
  || { echo "powrprof/install.sh: seeding the power plans failed" >&2; exit 1; }

# The simulated processor, unless another piece of the machine already set it up.
# reg.exe can fail while the prefix is still settling after another hook restarted the server:
# a write is tried a few times before the hook gives up.
reg_add_retry() {
  local attempt
  for attempt in 1 2 3 4 5; do
    "$run" reg add "$@" >/dev/null 2>&1 && return 0
    sleep 1
  done
  return 1
}
proc='HKLM\Software\SimulatedPC\Processor'
if ! "$run" reg query "$proc" /v MaxMhz >/dev/null 2>&1; then
  for v in MaxMhz CurrentMhz MhzLimit; do
    reg_add_retry "$proc" /v "$v" /t REG_DWORD /d 2400 /f \
      || { echo "powrprof/install.sh: $proc cannot be written" >&2; exit 1; }
  done
fi
