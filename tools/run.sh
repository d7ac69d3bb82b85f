#!/usr/bin/env bash
# Installs what is missing, builds, and starts Solvane.exe resident under Wine.
# Uses the display of the desktop session when there is one, otherwise an Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
source "$root/tools/wine-env.sh"
[ -n "${DISPLAY:-}" ] && SOLVANE_USE_DISPLAY=1
start_xvfb
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --parallel "$(nproc)"
export WINEPREFIX=${SOLVANE_PREFIX:-$build/wine/pc}
make_template_prefix "$build/wine/template"
[ -d "$WINEPREFIX" ] || copy_prefix "$build/wine/template" "$WINEPREFIX"
echo "run: Solvane.exe starts in $WINEPREFIX on DISPLAY=$DISPLAY (Ctrl+C ends it)"
/usr/lib/wine/wine64 "$build/bin/Solvane.exe" "$@"
