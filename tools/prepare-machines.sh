#!/usr/bin/env bash
# prepare-machines.sh DIR: builds one simulated PC of every profile (sim/machine/profiles), with
# the product installed (DIR/<profile>) and without it (DIR/<profile>.bare), stops their servers
# and marks them complete, for sim/machine/make-machine.sh to copy (SIM_MACHINES_DIR=DIR).
# A PC that cannot be built is reported and left out (its tests then build their own and show the
# failure); the exit code is the number of PCs left out.
set -uo pipefail
root=${SOLVANE_SOURCE_DIR:-$(cd "$(dirname "$0")/.." && pwd)}
build=${SOLVANE_BUILD_DIR:-$root/build}
dir=${1:?usage: prepare-machines.sh DIR}
source "$root/tools/wine-env.sh"
export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build
unset SIM_MACHINES_DIR
mkdir -p "$dir"

prepare() {  # prepare PROFILE PRODUCT(0/1) NAME
  local tmp="$dir/$3.prep.$$" rc
  rm -rf "$dir/$3" "$tmp"
  SIM_INSTALL_PRODUCT=$2 "$root/sim/machine/make-machine.sh" --profile "$1" --prefix "$tmp"
  rc=$?
  # The registry is saved when the server ends.
  WINEPREFIX=$tmp $WINESERVER -k >/dev/null 2>&1
  WINEPREFIX=$tmp $WINESERVER -w >/dev/null 2>&1
  if [ $rc -eq 0 ] && mark_prepared_machine "$tmp" && mv "$tmp" "$dir/$3"; then
    echo "prepare-machines: $3 ready"
    return 0
  fi
  echo "prepare-machines: $3 could not be built" >&2
  rm -rf "$tmp"
  return 1
}

failed=0
for env in "$root"/sim/machine/profiles/*.env; do
  profile=$(basename "$env" .env)
  prepare "$profile" 1 "$profile" || failed=$((failed + 1))
  prepare "$profile" 0 "$profile.bare" || failed=$((failed + 1))
done
exit $failed
