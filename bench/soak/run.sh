#!/usr/bin/env bash
# Builds the soak run and runs it inside a fresh simulated notebook (three ECO modes).
#   bench/soak/run.sh [seconds, default 600]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
source "$root/tools/wine-env.sh"
cleanup() {
  set +e
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1
}
trap cleanup EXIT
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel 2 --target soak_bench simctl powrprof_sim
start_xvfb
[ -d "$build/wine/template" ] || make_template_prefix "$build/wine/template"
export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
bash "$root/sim/machine/sim-test.sh" --profile notebook-3mode --timeout $(( ${1:-600} + 300 )) -- \
  "$build/bin/soak_bench.exe" "${1:-600}"
