#!/usr/bin/env bash
# Installs the dxva2.dll stand-in in the simulated PC and seeds its monitors
# (layout in sim/dxva2/dxva2_api.h). Both monitors are always described; "Monitors" says how many
# are plugged in (SIM_MONITORS), so that a test can plug or unplug one by changing it.
#   Monitor1 "SV-E2410": high-level brightness (MC_CAPS_BRIGHTNESS), range 0-100.
#   Monitor2 "SV-W2790": low-level VCP 0x10 only (GetMonitorCapabilities fails with the MCCS
#                         version mismatch 0xC02625DB), range 0-50.
set -euo pipefail
source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"
dll=$SIM_BIN/dxva2.dll
[ -f "$dll" ] || { echo "dxva2: $dll is missing; build the simulated PC first" >&2; exit 1; }
cp "$dll" "$(sim_system32)/dxva2.dll"
dword() { printf 'dword:%08x' "$1"; }
sim_reg_import <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]
"dxva2"="native,builtin"

[HKEY_LOCAL_MACHINE\\Software\\SimulatedPC\\Dxva2]
"Monitors"=$(dword "${SIM_MONITORS:-0}")

[HKEY_LOCAL_MACHINE\\Software\\SimulatedPC\\Dxva2\\Monitor1]
"Description"="SV-E2410 (DDC/CI)"
"Capabilities"="(prot(monitor)type(lcd)model(SV-E2410)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 10 12 14(05 08 0B) 16 18 1A 52 60(01 03 11) AC AE B2 B6 C6 C8 C9 D6(01 04 05) DF)mswhql(1)asset_eep(40)mccs_ver(2.1))"
"Caps"=dword:0000041f
"ColorTemperatures"=dword:00000024
"CapsError"=dword:00000000
"BrightnessMin"=dword:00000000
"BrightnessCurrent"=dword:00000050
"BrightnessMax"=dword:00000064

[HKEY_LOCAL_MACHINE\\Software\\SimulatedPC\\Dxva2\\Monitor2]
"Description"="SV-W2790 (DDC/CI)"
"Capabilities"="(prot(monitor)type(LCD)model(SV-W2790)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 0B 0C 10 12 14(01 05 06 08 0B) 16 18 1A 60(0F 11 12) 62 6C 6E 70 AC AE B6 C0 C6 C8 C9 CA(01 02) CC(02 03 04 05 07 08 09 0A 0C 0D 14 16 1A) D6(01 04 05) DF)mswhql(1)mccs_ver(2.2))"
"Caps"=dword:00000000
"ColorTemperatures"=dword:00000000
"CapsError"=dword:c02625db
"BrightnessMin"=dword:00000000
"BrightnessCurrent"=dword:00000028
"BrightnessMax"=dword:00000032
REG
