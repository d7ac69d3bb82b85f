#!/usr/bin/env bash
# Machine hook: installs the simulated data service where the link library looks for it
# (C:\Program Files\Morrow\MorrowIF.DLL and Morrow.exe), registers the regions the service
# supports under Software\Orvel\Morrow\site (as the service's own setup does) and seeds the
# demand curves of the simulated PC under HKLM\Software\SimulatedPC\Morrow (see
# sim/morrow/morrow_data.h for the values).
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the simulated PC}"
: "${SIM_BIN:?SIM_BIN must name the folder of the simulated PC binaries}"
root=${SOLVANE_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
source "$root/sim/machine/hook-lib.sh"

target="$WINEPREFIX/drive_c/Program Files/Morrow"
mkdir -p "$target"
for f in MorrowIF.DLL Morrow.exe; do
  [ -f "$SIM_BIN/$f" ] || { echo "morrow/install.sh: $SIM_BIN/$f is missing (build first)" >&2; exit 1; }
  cp "$SIM_BIN/$f" "$target/$f"
done

# region id, SupportDataType, peak supply, 24 hourly percents of peak supply
regions=(
  "2 31 14000000 58,56,55,54,54,56,61,68,76,82,86,88,87,88,90,91,89,86,83,80,76,70,64,60"
  "3 31 55000000 60,58,56,55,55,57,62,70,78,84,88,90,89,90,92,93,91,88,85,82,78,72,66,62"
  "5 26 26000000 57,55,54,53,53,55,60,68,77,83,87,89,88,89,91,92,90,87,84,81,77,71,65,60"
  "6 31 28000000 59,57,55,54,54,56,61,69,77,83,87,89,88,89,91,92,90,87,84,81,77,71,65,61"
  "9 25 16000000 56,54,53,52,52,54,59,66,74,80,84,86,85,86,88,89,87,84,81,78,74,68,62,58"
)
{
  printf 'Windows Registry Editor Version 5.00\n\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\SimulatedPC\\Morrow]\n"OpenDataSets"=dword:00000000\n\n'
  for r in "${regions[@]}"; do
    read -r id mask supply curve <<<"$r"
    printf '[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Morrow\\site\\%d]\n"Enable"=dword:00000001\n"SupportDataType"=dword:%08x\n\n' "$id" "$mask"
    printf '[HKEY_LOCAL_MACHINE\\Software\\SimulatedPC\\Morrow\\Regions\\%d]\n"PeakSupply"=dword:%08x\n"Curve"="%s"\n\n' "$id" "$supply" "$curve"
  done
} | sim_reg_import || { echo "morrow/install.sh: seeding the registry failed" >&2; exit 1; }
echo "morrow: data service installed in C:\\Program Files\\Morrow, ${#regions[@]} regions seeded"
