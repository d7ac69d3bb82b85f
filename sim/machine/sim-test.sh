#!/usr/bin/env bash
# sim-test.sh --profile NAME [--keep] [--timeout SECONDS] -- PROGRAM [ARGS...]
# Builds a fresh simulated PC in $SOLVANE_BUILD_DIR/wine/sim-<unique> (a copy of the PC that
# tools/test.sh prepared for the run when SIM_MACHINES_DIR holds one, see make-machine.sh), runs
# the Windows PROGRAM in it, then stops that PC's wineserver and removes the PC (--keep keeps the
# folder to inspect; the server is stopped either way). The exit code is PROGRAM's.
# PROGRAM sees WINEPREFIX, SIM_PROFILE, the profile's variables, and SIM_BIN / PRODUCT_BIN as
# Windows paths (Z:\...\build\simbin, Z:\...\build\bin).
# PROGRAM is ended after --timeout seconds (default $SIM_TEST_TIMEOUT or 120); a watchdog stops
# the PC's server even when this script itself is killed.
set -uo pipefail

die() { printf 'sim-test: error: %s\n' "$*" >&2; exit 2; }
usage() { echo "usage: sim-test.sh --profile NAME [--keep] [--timeout SECONDS] -- PROGRAM [ARGS...]" >&2; exit 2; }

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=${SOLVANE_SOURCE_DIR:-$(cd "$here/../.." && pwd)}
build=${SOLVANE_BUILD_DIR:-$root/build}

profile="" keep=0 limit=${SIM_TEST_TIMEOUT:-120}
while [ $# -gt 0 ]; do
  case $1 in
    --profile) [ $# -ge 2 ] || usage; profile=$2; shift 2 ;;
    --keep)    keep=1; shift ;;
    --timeout) [ $# -ge 2 ] || usage; limit=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
[ -n "$profile" ] && [ $# -ge 1 ] || usage
case $limit in ''|*[!0-9]*) die "--timeout needs a whole number of seconds" ;; esac

source "$root/tools/wine-env.sh"
source "$here/hook-lib.sh"
mkdir -p "$build/wine"
prefix=$(mktemp -d "$build/wine/sim-XXXXXX") || die "cannot create a folder under $build/wine"
export WINEPREFIX=$prefix

# Every PC gets a screen of its own (unless the caller's desktop is to be used): two tests that
# run side by side must not cover each other's windows in their screen pictures.
XVFB_PID=
start_xvfb

# The watchdog outlives a killed script (own session, no inherited pipe): once this script is
# gone it stops the PC's server, its screen, and removes the PC.
setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done
                WINEPREFIX=$2 "$3" -k; WINEPREFIX=$2 "$3" -w
                [ -n "$5" ] && kill "$5"
                [ "$4" = 1 ] || rm -rf "$2"' watchdog $$ "$prefix" "$WINESERVER" "$keep" "$XVFB_PID" \
  </dev/null >/dev/null 2>&1 &
watchdog_pid=$!

cleanup() {
  trap - EXIT INT TERM HUP
  WINEPREFIX=$prefix $WINESERVER -k >/dev/null 2>&1
  # The server ends its processes, then itself; wait for it before removing its files.
  WINEPREFIX=$prefix $WINESERVER -w >/dev/null 2>&1
  # A server that ignored the request is ended by its process id.
  local pid
  for pid in $(WINEPREFIX=$prefix sim_server_pids); do
    kill -9 "$pid" >/dev/null 2>&1
  done
  if [ $keep -eq 0 ]; then
    rm -rf "$prefix"
  else
    echo "sim-test: the simulated PC is kept in $prefix"
  fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" >/dev/null 2>&1
  [ -n "$watchdog_pid" ] && kill "$watchdog_pid" >/dev/null 2>&1
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

echo "sim-test: simulated PC in $prefix"
if ! "$here/make-machine.sh" --profile "$profile" --prefix "$prefix"; then
  echo "sim-test: building the simulated PC ($profile) failed" >&2
  exit 3
fi

winpath() { local p; p=$(cd "$1" 2>/dev/null && pwd) || p=$1; printf 'Z:%s' "${p//\//\\}"; }
set -a
source "$here/profiles/$profile.env"
set +a
export SIM_PROFILE=$profile
export SIM_BIN; SIM_BIN=$(winpath "$build/simbin")
export PRODUCT_BIN; PRODUCT_BIN=$(winpath "$build/bin")

timeout --kill-after=5 "$limit" "$root/cmake/wine-run.sh" "$@"
rc=$?
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "sim-test: $1 did not end within $limit s and was stopped" >&2
fi
exit $rc
