#!/usr/bin/env bash
# Installs Yarrow.dll in the simulated PC's system folder, where LoadLibraryW("Yarrow.dll") finds
# it, with the desktop in front (layout in sim/yarrow/yarrow_api.h).
set -euo pipefail
source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"
dll=$SIM_BIN/Yarrow.dll
[ -f "$dll" ] || { echo "yarrow: $dll is missing; build the simulated PC first" >&2; exit 1; }
cp "$dll" "$(sim_system32)/Yarrow.dll"
sim_reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\SimulatedPC\Yarrow]
"DisplayMode"=dword:00000001
"ToastCount"=dword:00000000
"Initialized"=dword:00000000
REG
