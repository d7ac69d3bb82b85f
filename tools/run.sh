#!/usr/bin/env bash
# Installs what is missing, builds, builds a simulated PC (a Wine prefix that behaves like one of
# the maker's notebooks, with the product installed as the setup package does) and starts
# Solvane.exe resident on it. Uses the desktop's display when there is one, otherwise an Xvfb.
#   SOLVANE_PROFILE=desktop-2mode tools/run.sh      another machine profile
#   SOLVANE_PREFIX=DIR tools/run.sh                 another (kept) simulated PC
#   tools/run.sh /EcoMode                           arguments go to Solvane.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
profile=${SOLVANE_PROFILE:-notebook-3mode}
"$root/tools/install-deps.sh"
source "$root/tools/wine-env.sh"
[ -n "${DISPLAY:-}" ] && SOLVANE_USE_DISPLAY=1
start_xvfb
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel "$(nproc)"
export SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
export WINEPREFIX=${SOLVANE_PREFIX:-$build/wine/pc-$profile}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  "$root/sim/machine/make-machine.sh" --profile "$profile" --prefix "$WINEPREFIX"
else
  $WINESERVER -p
fi
# The installed program, as the machine's scheduled task starts it at logon.
program=$WINEPREFIX/drive_c/Program\ Files/Solvane/Solvane.exe
echo "run: Solvane.exe resident on the simulated PC $WINEPREFIX ($profile), DISPLAY=$DISPLAY"
echo "run: drive it from another shell: WINEPREFIX=$WINEPREFIX cmake/wine-run.sh build/simbin/simctl.exe status"
cd "$(dirname "$program")"
/usr/lib/wine/wine64 "$program" "$@"
