#!/usr/bin/env bash
# Installs the product into the simulated PC the way the maker's setup package does:
#   1. copies Vendrel.exe, Tarvik.dll (when built) and the files the package ships beside the
#      main program (plan definition file, the two task definitions: sim/vendrel/) into
#      "C:\Program Files\Solvane";
#   2. writes the machine part of HKLM "Software\Orvel\Solvane" for the profile: the ECO mode
#      variant (SIM_ECO_MODES 3 → "EcoMode" 2, 2 → "EcoMode" 1), the pinned and factory plan
#      lists, the two-mode low/high plans, the tuning values, and each ECO plan's "LedNo";
#   3. gives "Software\Orvel" and its subkeys the rights Windows gives keys under HKLM\Software
#      (simctl stock-key-rights), then runs "Vendrel.exe /Commit" there (plans, scheduled tasks,
#      key rights);
#   4. places Solvane.exe last, so that the finished PC has no main program running (the
#      helper starts it only when it finds it); tests start it themselves.
# SIM_PRODUCT_PACKAGE=DIR (an unpacked release archive, tools/package.sh) installs that package
# instead, exactly as the setup package does: every file of DIR (SHA256SUMS checked first) is
# copied before the machine settings and "Vendrel.exe /Commit", so the helper starts the program.
set -euo pipefail
source "$SOLVANE_SOURCE_DIR/sim/machine/hook-lib.sh"

die() { printf 'install-product: error: %s\n' "$*" >&2; exit 1; }
dword() { printf 'dword:%08x' "$1"; }
# hex(7) data of a REG_MULTI_SZ: UTF-16LE strings, each ended by a zero, then a final zero.
multi_sz() {
  local s bytes=""
  for s in "$@"; do
    bytes+=$(printf '%s' "$s" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
    bytes+=",00,00,"
  done
  printf 'hex(7):%s00,00' "$bytes"
}

program_dir="$WINEPREFIX/drive_c/Program Files/Solvane"
shipped="$SOLVANE_SOURCE_DIR/sim/vendrel"
package=${SIM_PRODUCT_PACKAGE:-}
mkdir -p "$program_dir"
if [ -n "$package" ]; then
  [ -f "$package/SHA256SUMS" ] || die "$package is not an unpacked release archive (no SHA256SUMS)"
  (cd "$package" && sha256sum --quiet -c SHA256SUMS) || die "$package: the files do not match SHA256SUMS"
  for f in Solvane.exe Vendrel.exe Solvane.exe.ini Solvane.exe.xml Solvane.exe.run.xml; do
    [ -f "$package/$f" ] || die "the package $package lacks $f"
  done
  find "$package" -maxdepth 1 -type f ! -name SHA256SUMS -exec cp {} "$program_dir/" \;
else
  [ -f "$PRODUCT_BIN/Vendrel.exe" ] || die "$PRODUCT_BIN/Vendrel.exe is missing: build first"
  [ -f "$PRODUCT_BIN/Solvane.exe" ] || die "$PRODUCT_BIN/Solvane.exe is missing: build first"
  cp "$PRODUCT_BIN/Vendrel.exe" "$program_dir/"
  if [ -f "$PRODUCT_BIN/Tarvik.dll" ]; then
    cp "$PRODUCT_BIN/Tarvik.dll" "$program_dir/"
  fi
  for f in Solvane.exe.ini Solvane.exe.xml Solvane.exe.run.xml ECOMode.pow StdMode.pow; do
    cp "$shipped/$f" "$program_dir/"
  done
fi

# The maker's three ECO plans (created by Vendrel from the plan definition file).
eco_save="{9B7D845B-AF66-4D2A-B476-D4DAB840ABF8}"
eco_balance="{6658A2A5-119C-4E4E-931B-972BCFDD14A6}"
eco_performance="{B06FB371-2C24-43A7-B87B-5EEDE712B549}"
plans_key='HKEY_LOCAL_MACHINE\Software\Orvel\Solvane\PowerSettings'
key_name() { printf '%s' "$1" | tr -d '{}' | tr 'A-F' 'a-f'; }

if [ "$SIM_ECO_MODES" = 3 ]; then
  mode_values=$(cat <<REG
"EcoMode"=$(dword 2)
"SchemeList"=$(multi_sz "$eco_save" "$eco_balance" "$eco_performance")
"ModeDefaultSchemeList"=$(multi_sz "$eco_save" "$eco_balance" "$eco_performance")
REG
)
  # Slots 1, 2, 3 are the plans with "LedNo" 1, 2, 3.
  led_values=$(cat <<REG
[$plans_key\\$(key_name "$eco_save")]
"LedNo"=$(dword 1)

[$plans_key\\$(key_name "$eco_balance")]
"LedNo"=$(dword 2)

[$plans_key\\$(key_name "$eco_performance")]
"LedNo"=$(dword 3)
REG
)
else
  mode_values=$(cat <<REG
"EcoMode"=$(dword 1)
"SchemeList"=$(multi_sz "$eco_performance" "$eco_save")
"ModeDefaultSchemeList"=$(multi_sz "$eco_performance" "$eco_save")
"GUID_L"="$eco_save"
"GUID_H"="$eco_performance"
REG
)
  # Two modes: slot 1 is the plan with "LedNo" 3, slot 2 the plan with "LedNo" 1.
  led_values=$(cat <<REG
[$plans_key\\$(key_name "$eco_performance")]
"LedNo"=$(dword 3)

[$plans_key\\$(key_name "$eco_save")]
"LedNo"=$(dword 1)

[$plans_key\\$(key_name "$eco_balance")]
"LedNo"=$(dword 0)
REG
)
fi
meter=1; [ "$SIM_CHASSIS" = desktop ] && meter=0
# A machine with a built-in panel lets the program discover its brightness levels.
asl=0; [ "${SIM_PANEL:-0}" = 1 ] && asl=1

# "BKSettings": the extension values the installation records for the two plans of the maker's
# plan files (ECOMode.pow re-creates the ECO plan, StdMode.pow the standard plan).
bk_key='HKEY_LOCAL_MACHINE\Software\Orvel\Solvane\BKSettings'
bk_values=$(cat <<REG
[$bk_key\\$(key_name "$eco_performance")]
"IconNo"=$(dword 3)
"Flags"=$(dword 0)
"Indicator"=$(dword 0x00050001)
"LedNo"=$(dword 3)
"ALSBC"=hex:01,07,02,05,01
"NpdCPU"=$(dword 0)
"SaveDisplay"=$(dword 0)
"BrightnessMonitor"=$(dword 100)
"BrightnessMonitorEnable"=$(dword 0)

[$bk_key\\$(key_name "$eco_save")]
"IconNo"=$(dword 1)
"Flags"=$(dword 0)
"Indicator"=$(dword 0x00010005)
"LedNo"=$(dword 1)
"ALSBC"=hex:01,05,01,03,00
"NpdCPU"=$(dword 2)
"SaveDisplay"=$(dword 0)
"BrightnessMonitor"=$(dword 40)
"BrightnessMonitorEnable"=$(dword 0)
REG
)

sim_reg_import <<REG || die "could not write the machine settings"
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Solvane]
$mode_values
"NumDefScheme"=$(dword 3)
"PwrDlgActivate"=$(dword 1)
"LowerLimit"=$(dword 50)
"AllowConstant"=$(dword 0)
"TimerLED"=$(dword 1000)
"Meter"=$(dword $meter)
"Ferrow"=$(dword 0)
"LegacyBIOS"=$(dword 0)
"ModelNumber"=$(dword 0)
"ASLSupported"=$(dword $asl)
"Auto"="$eco_save"

[$plans_key]

$led_values

$bk_values

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Solvane\\EFEnv]

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Solvane\\SupportMonitor]

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Solvane\\AttachedMonitor]

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Morrow]
REG

# A desktop's setup package lists the monitor models it supports, with the name published for each.
if [ "${SIM_MONITORS:-0}" -gt 0 ]; then
  sim_reg_import <<REG || die "could not write the supported monitors"
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Solvane\\SupportMonitor\\SV-E2410]
"MonitorInfo"="Orvel SV-E2410"

[HKEY_LOCAL_MACHINE\\Software\\Orvel\\Solvane\\SupportMonitor\\SV-W2790]
"MonitorInfo"="Orvel SV-W2790"
REG
fi
# On Windows the keys under HKLM\Software are owned by Administrators and give Users read only;
# Wine gives them no security at all. The setup package's keys get the Windows rights before the
# helper widens them, so that what a standard user may do here is what he may do on the PC.
[ -f "$SIM_BIN/simctl.exe" ] || die "$SIM_BIN/simctl.exe is missing: build first"
sim_wine "$SIM_BIN/simctl.exe" stock-key-rights 'Software\Orvel' || die "could not give Software\\Orvel its rights"

# The helper always exits 0; its effects are checked by the tests of the built PC.
sim_wine 'C:\Program Files\Solvane\Vendrel.exe' /Commit || die "Vendrel.exe /Commit failed (exit $?)"
[ -n "$package" ] || cp "$PRODUCT_BIN/Solvane.exe" "$program_dir/"
