#!/usr/bin/env bash
# Installs Tessit.dll in the simulated PC's system folder, where LoadLibraryW("Tessit.dll") finds
# it (layout in sim/tessit/tessit_api.h).
set -euo pipefail
source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"
dll=$SIM_BIN/Tessit.dll
[ -f "$dll" ] || { echo "tessit: $dll is missing; build the simulated PC first" >&2; exit 1; }
cp "$dll" "$(sim_system32)/Tessit.dll"
sim_reg_import <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\SimulatedPC\Tessit]
"Initialized"=dword:00000000
REG
