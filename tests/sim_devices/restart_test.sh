#!/usr/bin/env bash
# restart_test.sh TEST_EXE: simdev.sys keeps its state across a restart of the wineserver.
# Builds a simulated notebook, changes every device (suite RestartSet), restarts the wineserver
# (the driver memory is lost, services.exe loads the driver again), checks everything came back
# (suite RestartCheck), then stops the PC's server and removes it.
set -uo pipefail
exe=${1:?usage: restart_test.sh TEST_EXE}
root=${SOLVANE_SOURCE_DIR:?SOLVANE_SOURCE_DIR must be set}
build=${SOLVANE_BUILD_DIR:-$root/build}
source "$root/tools/wine-env.sh"

mkdir -p "$build/wine"
prefix=$(mktemp -d "$build/wine/sim-restart-XXXXXX") || exit 2
export WINEPREFIX=$prefix
cleanup() {
  $WINESERVER -k >/dev/null 2>&1
  $WINESERVER -w >/dev/null 2>&1
  rm -rf "$prefix"
}
trap cleanup EXIT

"$root/sim/machine/make-machine.sh" --profile notebook-3mode --prefix "$prefix" >"$prefix.log" 2>&1 \
  || { cat "$prefix.log"; rm -f "$prefix.log"; echo "restart_test: building the PC failed" >&2; exit 3; }
rm -f "$prefix.log"

timeout 60 "$root/cmake/wine-run.sh" "$exe" --gtest_filter='RestartSet.*' || exit 1

$WINESERVER -k >/dev/null 2>&1
$WINESERVER -w >/dev/null 2>&1
$WINESERVER -p </dev/null >/dev/null 2>&1 || { echo "restart_test: the server did not start" >&2; exit 1; }

# The first program starts services.exe, which loads the driver again; wait until it answers.
deadline=$((SECONDS + 60))
until "$root/cmake/wine-run.sh" "$build/simbin/simctl.exe" counters >/dev/null 2>&1; do
  ((SECONDS < deadline)) || { echo "restart_test: simdev.sys did not come back" >&2; exit 1; }
  sleep 0.5
done
timeout 60 "$root/cmake/wine-run.sh" "$exe" --gtest_filter='RestartCheck.*'
