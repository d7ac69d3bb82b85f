# Sourced by the benchmarks that run on a simulated PC (bench/<name>/run.sh).
# sim_bench PROFILE TIMEOUT TARGETS PROGRAM [ARGS...]: builds the CMake targets TARGETS (a space-
# separated list; empty: everything), then runs build/bin/PROGRAM with ARGS inside a fresh
# simulated PC of PROFILE for at most TIMEOUT seconds.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
source "$root/tools/wine-env.sh"

sim_bench() {
  local profile=$1 limit=$2 targets=$3 program=$4
  shift 4
  trap '[ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1' EXIT
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  # shellcheck disable=SC2086
  cmake --build "$build" --parallel 2 ${targets:+--target $targets}
  start_xvfb
  [ -d "$build/wine/template" ] || make_template_prefix "$build/wine/template"
  export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
  # The program's logs go to a folder of the build, never into the checkout.
  mkdir -p "$build/benchwork"
  (cd "$build/benchwork" &&
   bash "$root/sim/machine/sim-test.sh" --profile "$profile" --timeout "$limit" -- "$build/bin/$program" "$@")
}
