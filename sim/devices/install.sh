#!/usr/bin/env bash
# Machine hook: installs simdev.sys as an auto-start kernel driver service of the simulated PC,
# seeds its Parameters key from the profile, restarts the wineserver so that services.exe loads
# the driver, and waits until its devices answer.
#
# Environment: WINEPREFIX (the machine; its wineserver runs), SIM_BIN (build/simbin),
# SOLVANE_SOURCE_DIR (repo root), and the profile's SIM_LED, SIM_CPU_DRIVER, SIM_PANEL,
# SIM_BATTERY (1/0; a device set to 0 is not created).
set -euo pipefail

fail() { echo "sim/devices/install.sh: $*" >&2; exit 1; }

: "${WINEPREFIX:?WINEPREFIX must name the machine's prefix}"
: "${SIM_BIN:?SIM_BIN must name the folder of the simulated PC's binaries}"
here=$(cd "$(dirname "$0")" && pwd)
source_dir=${SOLVANE_SOURCE_DIR:-$(cd "$here/../.." && pwd)}
wine=/usr/lib/wine/wine64
wineserver=${WINESERVER:-/usr/lib/wine/wineserver64}
export WINEARCH=${WINEARCH:-win64} WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winedbg.exe=d"}

driver=$SIM_BIN/simdev.sys
simctl=$SIM_BIN/simctl.exe
[ -f "$driver" ] || fail "missing $driver (build the simdev target first)"
[ -f "$simctl" ] || fail "missing $simctl (build the simctl target first)"

flag() {  # flag NAME VALUE: the profile's 1/0 switch, defaulting to present
  local value=${2:-1}
  case "$value" in
    0|1) echo "$value" ;;
    *) fail "$1 must be 0 or 1, not \"$value\"" ;;
  esac
}
led=$(flag SIM_LED "${SIM_LED:-}")
cpu=$(flag SIM_CPU_DRIVER "${SIM_CPU_DRIVER:-}")
lcd=$(flag SIM_PANEL "${SIM_PANEL:-}")
battery=$(flag SIM_BATTERY "${SIM_BATTERY:-}")

drivers_dir=$WINEPREFIX/drive_c/windows/system32/drivers
mkdir -p "$drivers_dir"
cp "$driver" "$drivers_dir/simdev.sys"

# REG_EXPAND_SZ as the REGEDIT4 file's hex(2): the text's bytes and the terminating zero.
expand_sz() {
  local text=$1 out="" i c
  for ((i = 0; i < ${#text}; i++)); do
    printf -v c '%02x' "'${text:i:1}"
    out+="$c,"
  done
  echo "hex(2):${out}00"
}
dword() { printf 'dword:%08x' "$1"; }

design=50000 full=48000 voltage=11100
reg_file=$(mktemp "${TMPDIR:-/tmp}/simdev.XXXXXX.reg")
trap 'rm -f "$reg_file"' EXIT
{
  echo 'REGEDIT4'
  echo
  echo '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\simdev]'
  echo "\"Type\"=$(dword 1)"
  echo "\"Start\"=$(dword 2)"
  echo "\"ErrorControl\"=$(dword 1)"
  echo "\"ImagePath\"=$(expand_sz '\SystemRoot\System32\drivers\simdev.sys')"
  echo
  echo '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\simdev\Parameters]'
  echo "\"LedPresent\"=$(dword "$led")"
  echo "\"CpuPresent\"=$(dword "$cpu")"
  echo "\"LcdPresent\"=$(dword "$lcd")"
  echo "\"BatteryPresent\"=$(dword "$battery")"
  echo "\"AcOnLine\"=$(dword 1)"
  echo "\"Charging\"=$(dword 0)"
  echo "\"DesignCapacity\"=$(dword $design)"
  echo "\"FullChargedCapacity\"=$(dword $full)"
  echo "\"RemainingCapacity\"=$(dword $full)"
  echo "\"Rate\"=$(dword 0)"
  echo "\"Voltage\"=$(dword $voltage)"
} >"$reg_file"

# Unix paths are reached through drive Z:.
"$wine" regedit /S "Z:${reg_file//\//\\}" >/dev/null 2>&1 || fail "could not write the simdev service key"
# A device instance left marked as a phantom makes the battery's next registration fail.
"$wine" reg delete 'HKLM\System\CurrentControlSet\Enum\ROOT\SIMBATT\0000' /v Phantom /f \
  >/dev/null 2>&1 || true

# services.exe reads the service list when it starts: restart the server (the machine expects
# it running afterwards).
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
"$wineserver" -p || fail "could not restart the wineserver"

# The first program starts services.exe, which loads the driver; wait until it answers.
export SOLVANE_SOURCE_DIR=$source_dir
source "$source_dir/sim/machine/hook-lib.sh"
sim_wait_for_devices "$simctl" || fail "simdev.sys did not answer (the server was started three times)"
"$wine" reg delete 'HKLM\System\CurrentControlSet\Enum\ROOT\SIMBATT\0000' /v Phantom /f \
  >/dev/null 2>&1 || true
echo "sim/devices: simdev.sys loaded (LED $led, processor $cpu, panel $lcd, battery $battery)"
