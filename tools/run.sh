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
desktop=0
if [ -n "${DISPLAY:-}" ]; then SOLVANE_USE_DISPLAY=1; desktop=1; fi
XVFB_PID=""
simctl_out=$build/run-simctl.log
simctl() {  # output to a file: never a pipe to a Wine program
  /usr/lib/wine/wine64 "$build/simbin/simctl.exe" "$@" >"$simctl_out" 2>&1 </dev/null
}
# Interrupted or ended, the run leaves nothing behind: the program is asked to close, the
# simulated PC's wineserver (only once this run chose the PC) and the Xvfb are stopped.
prefix_up=0
program_pid=""
stopping=0
stop() {
  [ $stopping = 0 ] || return 0
  stopping=1
  trap - INT TERM HUP EXIT
  set +e
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    echo "run: ending Solvane.exe (WM_CLOSE) and the simulated PC's wineserver"
    simctl close-window Solvane
    local i
    for i in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
  fi
  if [ $prefix_up = 1 ]; then
    $WINESERVER -k >/dev/null 2>&1
    $WINESERVER -w >/dev/null 2>&1
  fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" >/dev/null 2>&1
}
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM HUP
trap stop EXIT

start_xvfb
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel "$(nproc)"
export SOLVANE_BUILD_DIR=$build SOLVANE_WINE_TEMPLATE=$build/wine/template
export WINEPREFIX=${SOLVANE_PREFIX:-$build/wine/pc-$profile}
prefix_up=1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  "$root/sim/machine/make-machine.sh" --profile "$profile" --prefix "$WINEPREFIX"
else
  $WINESERVER -p
fi
# The installed program, as the machine's scheduled task starts it at logon.
program=$WINEPREFIX/drive_c/Program\ Files/Solvane/Solvane.exe
source "$root/tools/tour.sh"

echo "run: Solvane.exe resident on the simulated PC $WINEPREFIX ($profile), DISPLAY=$DISPLAY"
echo "run: drive it from another shell: WINEPREFIX=$WINEPREFIX cmake/wine-run.sh build/simbin/simctl.exe status"
cd "$(dirname "$program")"
/usr/lib/wine/wine64 "$program" "$@" &
program_pid=$!
if [ $desktop = 0 ]; then
  tour "${SOLVANE_TOUR_DIR:-$build/tour}" || echo "run: the tour stopped early (see above); Solvane.exe stays resident"
fi
echo "run: Solvane.exe is resident; Ctrl-C ends it"
set +e
wait "$program_pid"
rc=$?
program_pid=""
exit $rc
