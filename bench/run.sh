#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine in a fresh prefix and an Xvfb, printing their ratios.
#   bench/run.sh [runs] [plan-list repetitions] [idle seconds] [footprint settle seconds]
# The start-up benchmark runs in a plain prefix; the plan-list benchmark in a throw-away
# simulated PC ("notebook-3mode", built by sim/machine/sim-test.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
source "$root/tools/wine-env.sh"
cleanup() {
  set +e
  [ -n "${WINEPREFIX:-}" ] && $WINESERVER -k >/dev/null 2>&1
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1
  [ -n "${bench_prefix:-}" ] && rm -rf "$bench_prefix"
}
trap cleanup EXIT
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel 2 --target startup_bench
# The programs' logs go to a folder of the build, never into the checkout.
mkdir -p "$build/benchwork"
cd "$build/benchwork"
start_xvfb
make_template_prefix "$build/wine/template"
bench_prefix=$build/wine/bench
copy_prefix "$build/wine/template" "$bench_prefix"
export WINEPREFIX=$bench_prefix
$WINESERVER -p
/usr/lib/wine/wine64 cmd.exe /c exit >/dev/null 2>&1 || true
"$root/cmake/wine-run.sh" "$build/bin/startup_bench.exe" "${1:-5}"
$WINESERVER -k >/dev/null 2>&1 || true
$WINESERVER -w >/dev/null 2>&1 || true

# The simulated PC needs every stand-in, simctl and the product.
cmake --build "$build" --parallel 2
echo
(
  unset WINEPREFIX
  export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
  "$root/sim/machine/sim-test.sh" --profile notebook-3mode --timeout 900 -- \
      "$build/bin/planlist_bench.exe" "${2:-7}"
)

# Idle cost of the resident program on the simulated notebook.
echo
(
  unset WINEPREFIX
  export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
  "$root/sim/machine/sim-test.sh" --profile notebook-3mode --timeout 900 -- \
      "$build/bin/idle_bench.exe" "${3:-60}"
)

# Where the resident program's private bytes go, against the empty program.
echo
(
  unset WINEPREFIX
  export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
  "$root/sim/machine/sim-test.sh" --profile notebook-3mode --timeout 900 -- \
      "$build/bin/footprint_bench.exe" "${4:-10}"
)
