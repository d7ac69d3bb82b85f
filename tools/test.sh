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
  if [ -n "${machines_job:-}" ]; then
    kill -- "-$machines_job" >/dev/null 2>&1
    wait "$machines_job" 2>/dev/null
    for p in "$machines"/*.prep.*; do
      [ -d "$p" ] && { WINEPREFIX=$p $WINESERVER -k; rm -rf "$p"; } >/dev/null 2>&1
    done
  fi
  [ -n "${WINEPREFIX:-}" ] && $WINESERVER -k >/dev/null 2>&1
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1
  [ -n "${unit_prefix:-}" ] && rm -rf "$unit_prefix"
  # The prepared PCs belong to this run (about 700 MB each).
  [ -n "${machines:-}" ] && rm -rf "$machines"
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
# What a simulated PC is made of comes first; the PCs of every profile are then prepared while
# the tests compile, and every simulated-PC test gets a copy of one.
cmake --build "$build" --parallel "$(nproc)" --target machine_parts
wait "$template_job" || { cat "$build/wine/template.log"; exit 1; }
template_job=
machines=$build/wine/machines
rm -rf "$machines"
SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$template \
  setsid "$root/tools/prepare-machines.sh" "$machines" >"$build/wine/machines.log" 2>&1 &
machines_job=$!
cmake --build "$build" --parallel "$(nproc)"
if ! wait "$machines_job"; then
  echo "test.sh: some simulated PCs could not be prepared; their tests build their own" >&2
  grep -B20 'could not be built' "$build/wine/machines.log" >&2 || true
fi
machines_job=
export SIM_MACHINES_DIR=$machines

unit_prefix=$build/wine/unit
copy_prefix "$template" "$unit_prefix"
export WINEPREFIX=$unit_prefix
export SOLVANE_SOURCE_DIR=$root SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$template
$WINESERVER -p
/usr/lib/wine/wine64 cmd.exe /c exit >/dev/null 2>&1 || true

cd "$build"
# Two tests at a time by default (SOLVANE_TEST_JOBS sets another number): every simulated-PC test
# has a PC of its own; the entries of the shared unit prefix take a resource lock and never
# overlap each other.
ctest --output-on-failure --timeout 120 --parallel "${SOLVANE_TEST_JOBS:-2}" "$@"
