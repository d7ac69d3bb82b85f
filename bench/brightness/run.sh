#!/usr/bin/env bash
# Builds the brightness benchmark and runs it inside a fresh simulated desktop (two DDC/CI monitors).
#   bench/brightness/run.sh [runs]
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
# The simulated PC needs every stand-in, simctl and the product.
cmake --build "$build" --parallel 2
start_xvfb
[ -d "$build/wine/template" ] || make_template_prefix "$build/wine/template"
export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
bash "$root/sim/machine/sim-test.sh" --profile desktop-2mode --timeout 600 -- \
  "$build/bin/brightness_bench.exe" "${1:-30}"
