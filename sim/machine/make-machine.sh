#!/usr/bin/env bash
# make-machine.sh --profile NAME --prefix DIR
# When SIM_MACHINES_DIR holds a PC of the profile prepared from this source folder (tools/test.sh
# prepares them once per run, tools/prepare-machines.sh), the machine is a copy of it, booted.
# Otherwise it builds a simulated PC: a copy of the booted template Wine prefix, set up for Japanese text,
# with every stand-in installed by its hook (sim/*/install.sh, in folder order) and then the
# product (sim/machine/install-product.sh when present). The prefix's wineserver is left running
# for the caller; stop it with:  WINEPREFIX=DIR /usr/lib/wine/wineserver64 -k
#
# Hook environment: WINEPREFIX (its wineserver runs), SIM_PROFILE, SIM_BIN (build/simbin),
# PRODUCT_BIN (build/bin), SOLVANE_SOURCE_DIR, SOLVANE_BUILD_DIR and every variable of the profile.
# Helpers for hooks: sim/machine/hook-lib.sh.
set -euo pipefail

say() { printf 'make-machine: %s\n' "$*"; }
die() { printf 'make-machine: error: %s\n' "$*" >&2; exit 1; }

usage() {
  cat >&2 <<USAGE
usage: make-machine.sh --profile NAME --prefix DIR
  NAME  a profile of sim/machine/profiles/ (${profiles_known:-})
  DIR   the new prefix; must not exist or be empty
USAGE
  exit 2
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=${SOLVANE_SOURCE_DIR:-$(cd "$here/../.." && pwd)}
build=${SOLVANE_BUILD_DIR:-$root/build}
profiles_known=$(cd "$here/profiles" && ls *.env 2>/dev/null | sed 's/\.env$//' | tr '\n' ' ')

profile="" prefix=""
while [ $# -gt 0 ]; do
  case $1 in
    --profile) [ $# -ge 2 ] || usage; profile=$2; shift 2 ;;
    --prefix)  [ $# -ge 2 ] || usage; prefix=$2; shift 2 ;;
    -h|--help) usage ;;
    *) printf 'make-machine: unknown argument "%s"\n' "$1" >&2; usage ;;
  esac
done
[ -n "$profile" ] && [ -n "$prefix" ] || usage

# --- what the machine needs on this host --------------------------------------------------------
need_package() {  # need_package WHAT PACKAGE...: one of the packages must be installed
  local what=$1; shift
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && return 0
  done
  die "$what is missing: install the package $* (tools/install-deps.sh installs it)"
}
need_binary() {  # need_binary PATH PACKAGE
  [ -x "$1" ] || die "$1 is missing: install the package $2 (tools/install-deps.sh installs it)"
}
need_binary /usr/lib/wine/wine64 wine64
need_binary /usr/lib/wine/wineserver64 wine64
command -v iconv >/dev/null || die "iconv is missing: install the package libc-bin"
if command -v dpkg-query >/dev/null; then
  need_package "a Japanese (CJK) font" fonts-ipafont-gothic fonts-noto-cjk
fi
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' \
  || die "the ja_JP.UTF-8 locale is missing: enable it in /etc/locale.gen and run locale-gen (tools/install-deps.sh does)"

profile_file=$here/profiles/$profile.env
[ -f "$profile_file" ] || die "no profile \"$profile\" (known: $profiles_known)"
[ -d "$build/simbin" ] || die "the simulated PC's binaries are missing ($build/simbin): build first (cmake --build $build)"

source "$root/tools/wine-env.sh"
set -a
# shellcheck disable=SC1090
source "$profile_file"
set +a
for v in SIM_BATTERY SIM_LED SIM_CPU_DRIVER SIM_PANEL SIM_WIRELESS_GRAPHICS; do
  case ${!v:-} in 0|1) ;; *) die "profile $profile: $v must be 0 or 1 (is \"${!v:-}\")" ;; esac
done
case ${SIM_ECO_MODES:-} in 2|3) ;; *) die "profile $profile: SIM_ECO_MODES must be 2 or 3" ;; esac
case ${SIM_MONITORS:-} in 0|1|2) ;; *) die "profile $profile: SIM_MONITORS must be 0, 1 or 2" ;; esac
case ${SIM_CHASSIS:-} in notebook|desktop) ;; *) die "profile $profile: SIM_CHASSIS must be notebook or desktop" ;; esac

# --- a prepared PC (tools/test.sh prepares each profile once per run) -------------------------
# A PC that installs a release archive (SIM_PRODUCT_PACKAGE) is always built: the installation
# itself, which starts the program, is what such a PC is for.
prepared=""
[ -z "${SIM_PRODUCT_PACKAGE:-}" ] && prepared=$(SOLVANE_SOURCE_DIR=$root prepared_machine_dir "$profile")
if [ -n "$prepared" ]; then
  if [ -e "$prefix" ] && [ -n "$(ls -A "$prefix" 2>/dev/null)" ]; then
    die "$prefix exists and is not empty; choose a new folder"
  fi
  say "copying the prepared PC $prepared to $prefix"
  copy_machine "$prepared" "$prefix" || die "copying $prepared failed"
  export WINEPREFIX=$(cd "$prefix" && pwd)
  export SOLVANE_SOURCE_DIR=$root
  source "$here/hook-lib.sh"
  # The first program starts services.exe, which loads the simulated devices' driver.
  $WINESERVER -p </dev/null >/dev/null 2>&1 || die "the wineserver of $prefix did not start"
  if ! sim_wait_for_devices "$build/simbin/simctl.exe"; then
    $WINESERVER -k >/dev/null 2>&1
    die "the devices of $prefix did not answer (the server was started three times)"
  fi
  # Wine keeps no registry security in its files: the key rights the install set are lost with
  # the prepared PC's server and are set again here, as "Vendrel.exe" without a switch does.
  if [ "${SIM_INSTALL_PRODUCT:-1}" != 0 ] && [ -f "$prefix/drive_c/Program Files/Solvane/Vendrel.exe" ]; then
    # First the rights Windows gives the machine's software keys, then the installer's widening.
    "$root/cmake/wine-run.sh" "$build/simbin/simctl.exe" stock-key-rights 'Software\Orvel' >/dev/null 2>&1 \
      || { $WINESERVER -k >/dev/null 2>&1; die "could not give Software\\Orvel of $prefix its rights again"; }
    "$root/cmake/wine-run.sh" 'C:\Program Files\Solvane\Vendrel.exe' >/dev/null 2>&1 \
      || { $WINESERVER -k >/dev/null 2>&1; die "Vendrel.exe could not set the key rights of $prefix again"; }
  fi
  say "ready: profile $profile in $prefix (its wineserver is running; stop it with WINEPREFIX=$prefix $WINESERVER -k)"
  exit 0
fi

# --- the prefix --------------------------------------------------------------------------------
template=${SOLVANE_WINE_TEMPLATE:-$build/wine/template}
if [ ! -f "$template/.solvane-template" ]; then
  say "booting the template prefix $template (once, about 15 s)"
  make_template_prefix "$template"
  [ -f "$template/.solvane-template" ] || die "booting the template prefix $template failed"
fi
if [ -e "$prefix" ] && [ -n "$(ls -A "$prefix" 2>/dev/null)" ]; then
  die "$prefix exists and is not empty; choose a new folder"
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
say "copying $template to $prefix"
cp -a "$template/." "$prefix/"
rm -f "$prefix/.solvane-template"

export WINEPREFIX=$prefix SIM_PROFILE=$profile SIM_BIN=$build/simbin PRODUCT_BIN=$build/bin
export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build

ready=0
on_exit() {
  # A machine that could not be built keeps no server running.
  if [ $ready -ne 1 ]; then
    $WINESERVER -k >/dev/null 2>&1 || true
  fi
}
trap on_exit EXIT

source "$here/hook-lib.sh"

# The prefix keeps one persistent server. A hook that restarts it (a driver service is read when
# the server starts) should use sim_restart_server of hook-lib.sh; a temporary server that a hook
# leaves behind instead (wineserver -k, then a program) is stopped here and a persistent one
# started again. The server and the prefix's services start with no pipe of ours.
ensure_server() {
  sim_server_is_persistent && return 0
  if [ -n "$(sim_server_pids)" ]; then
    $WINESERVER -k >/dev/null 2>&1 || true
    $WINESERVER -w >/dev/null 2>&1 || true
  fi
  $WINESERVER -p </dev/null >/dev/null 2>&1 || true
  /usr/lib/wine/wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}
say "starting the wineserver of $prefix"
ensure_server

say "setting Japanese fonts (locale $LANG)"
cjk=IPAGothic; pcjk=IPAPGothic
if ! fc-list 2>/dev/null | grep -q IPAGothic; then cjk="Noto Sans CJK JP"; pcjk="Noto Sans CJK JP"; fi
sim_reg_import <<REG || die "could not set the font replacements"
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"MS UI Gothic"="$cjk"
"MS Gothic"="$cjk"
"MS PGothic"="$pcjk"
"ＭＳ ゴシック"="$cjk"
"ＭＳ Ｐゴシック"="$pcjk"
"Meiryo"="$pcjk"
"Meiryo UI"="$pcjk"
"メイリオ"="$pcjk"
"Yu Gothic UI"="$pcjk"
"游ゴシック"="$pcjk"
REG

run_hook() {  # run_hook FILE
  local rel=${1#$root/}
  say "running $rel"
  bash "$1" || die "the hook $rel failed (exit $?)"
  ensure_server
}
shopt -s nullglob
for hook in "$root"/sim/*/install.sh; do
  run_hook "$hook"
done
# SIM_INSTALL_PRODUCT=0 leaves the product off: a bare PC with only the maker's hardware and
# the Windows plans, for tests of the program's code against the stand-ins alone.
if [ "${SIM_INSTALL_PRODUCT:-1}" = 0 ]; then
  say "leaving the product uninstalled (SIM_INSTALL_PRODUCT=0)"
elif [ -f "$here/install-product.sh" ]; then
  run_hook "$here/install-product.sh"
fi

ready=1
say "ready: profile $profile in $prefix (its wineserver is running; stop it with WINEPREFIX=$prefix $WINESERVER -k)"
