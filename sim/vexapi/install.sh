#!/usr/bin/env bash
# Installs Vexapi.dll where the program looks for it by default
# (C:\Program Files\OrvelVEX\Vexapi.dll) on machines with an internal panel (SIM_PANEL=1),
# and seeds its state (layout in sim/vexapi/vexapi_api.h).
set -euo pipefail
source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"
[ "${SIM_PANEL:-0}" = 1 ] || { echo "vexapi: no internal panel on this machine; not installed"; exit 0; }
dll=$SIM_BIN/Vexapi.dll
[ -f "$dll" ] || { echo "vexapi: $dll is missing; build the simulated PC first" >&2; exit 1; }
dest="$WINEPREFIX/drive_c/Program Files/OrvelVEX"
mkdir -p "$dest"
cp "$dll" "$dest/Vexapi.dll"
sim_reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\SimulatedPC\Vexapi]
"Supported"=dword:00000001
"BrightMode"=dword:00000000
"BrightValue"=dword:00000064
REG
