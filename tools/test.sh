#!/usr/bin/env bash
# Installs what is missing, builds everything for Windows and runs every test under Wine
# inside one Xvfb and one persistent wineserver, ending with ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
source "$root/tools/wine-env.sh"

werror=OFF; [ -n "${CI:-}" ] && werror=ON
cleanup() {
  set +e
  [ -n "${template_job:-}" ] && kill "$template_job" >/dev/null 2>&1
  [ -n "${WINEPREFIX:-}" ] && $WINESERVER -k >/dev/null 2>&1
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1
  [ -n "${unit_prefix:-}" ] && rm -rf "$unit_prefix"
}
trap cleanup EXIT

start_xvfb
# The prefix template boots while the code compiles.
template=$build/wine/template
mkdir -p "$build/wine"
( make_template_prefix "$template" ) >"$build/wine/template.log" 2>&1 &
template_job=$!

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DSOLVANE_WERROR=$werror >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --parallel "$(nproc)"
wait "$template_job" || { cat "$build/wine/template.log"; exit 1; }

unit_prefix=$build/wine/unit
copy_prefix "$template" "$unit_prefix"
export WINEPREFIX=$unit_prefix
export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$template
$WINESERVER -p
/usr/lib/wine/wine64 cmd.exe /c exit >/dev/null 2>&1 || true

cd "$build"
# One test at a time by default: several of the end-to-end scenarios time two-second ECO windows
# and process starts, which a loaded machine stretches. SOLVANE_TEST_JOBS=2 runs simulated-PC
# tests side by side (each has its own prefix; tests of the shared unit prefix take a resource
# lock and never overlap).
ctest --output-on-failure --timeout 120 --parallel "${SOLVANE_TEST_JOBS:-1}" "$@"
