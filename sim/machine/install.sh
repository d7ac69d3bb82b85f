#!/usr/bin/env bash
# Marks the simulated PC with its profile, so that programs and tests see what machine they run on:
#   HKLM\Software\SimulatedPC\Machine
#     "Profile"          REG_SZ     profile name ("notebook-3mode")
#     "Chassis"          REG_SZ     "notebook" or "desktop"
#     "EcoModes"         REG_DWORD  2 or 3
#     "Monitors"         REG_DWORD  external DDC/CI monitors, 0-2
#     "Battery", "Led", "CpuDriver", "Panel", "WirelessGraphics"   REG_DWORD 0/1
set -euo pipefail
source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"
dword() { printf 'dword:%08x' "$1"; }
sim_reg_import <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\SimulatedPC\\Machine]
"Profile"="$SIM_PROFILE"
"Chassis"="$SIM_CHASSIS"
"EcoModes"=$(dword "$SIM_ECO_MODES")
"Monitors"=$(dword "$SIM_MONITORS")
"Battery"=$(dword "$SIM_BATTERY")
"Led"=$(dword "$SIM_LED")
"CpuDriver"=$(dword "$SIM_CPU_DRIVER")
"Panel"=$(dword "$SIM_PANEL")
"WirelessGraphics"=$(dword "$SIM_WIRELESS_GRAPHICS")
REG
