#!/usr/bin/env bash
# make-machine and sim-test when things go wrong: clear messages, the program's exit code, and no
# wineserver or simulated PC left behind after a failure, a hang or a failing hook.
set -uo pipefail
root=${SOLVANE_SOURCE_DIR:?}
build=${SOLVANE_BUILD_DIR:?}
source "$root/tools/wine-env.sh"
source "$root/sim/machine/hook-lib.sh"
work=$(mktemp -d "$build/wine/scripts-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...: the command must succeed
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
no_server() { [ -z "$(WINEPREFIX=$1 sim_server_pids)" ]; }
not_grep() { ! grep -q "$@"; }
pc_of() { sed -n 's/^sim-test: simulated PC in //p' "$1" | head -1; }

# An unknown profile and a used folder are refused before anything starts.
bash "$root/sim/machine/make-machine.sh" --profile no-such-pc --prefix "$work/a" >"$work/out" 2>&1
check "unknown profile exits 1" test $? -eq 1
check "unknown profile is named" grep -q 'no profile "no-such-pc"' "$work/out"
mkdir -p "$work/used" && touch "$work/used/file"
bash "$root/sim/machine/make-machine.sh" --profile notebook-3mode --prefix "$work/used" >"$work/out" 2>&1
check "a folder in use is refused" test $? -eq 1
check "the folder in use is untouched" test -f "$work/used/file"

# A failing hook fails the machine, is named, and leaves no server.
fake=$work/root
mkdir -p "$fake/sim/aa-broken" "$fake/tools"
cp "$root/tools/wine-env.sh" "$fake/tools/"
printf '#!/usr/bin/env bash\necho "broken hook ran"\nexit 7\n' >"$fake/sim/aa-broken/install.sh"
SOLVANE_SOURCE_DIR=$fake bash "$root/sim/machine/make-machine.sh" --profile desktop-2mode --prefix "$work/b" \
  >"$work/out" 2>&1
check "a failing hook fails make-machine" test $? -eq 1
check "the failing hook is named with its exit code" grep -q 'hook sim/aa-broken/install.sh failed (exit 7)' "$work/out"
check "no server after a failing hook" no_server "$work/b"

# The program's exit code comes through and the PC is gone afterwards.
bash "$root/sim/machine/sim-test.sh" --profile notebook-3mode -- cmd.exe /c exit 5 >"$work/out" 2>&1
check "the program's exit code is sim-test's" test $? -eq 5
pc=$(pc_of "$work/out")
check "the PC was named" test -n "$pc"
check "the PC is removed" test ! -e "$pc"
check "no server after the run" no_server "$pc"

# A program that hangs is stopped; nothing is left.
bash "$root/sim/machine/sim-test.sh" --profile notebook-3mode --timeout 3 -- notepad.exe >"$work/out" 2>&1
check "a hanging program ends with 124" test $? -eq 124
check "the hang is reported" grep -q 'did not end within 3 s' "$work/out"
pc=$(pc_of "$work/out")
check "the hung PC is removed" test ! -e "$pc"
check "no server after the hang" no_server "$pc"

# --keep keeps the folder to look into, but not the server.
bash "$root/sim/machine/sim-test.sh" --profile desktop-2mode --keep -- cmd.exe /c exit 0 >"$work/out" 2>&1
check "a kept run succeeds" test $? -eq 0
pc=$(pc_of "$work/out")
check "the kept PC is there" test -f "$pc/system.reg"
check "the kept PC carries its marks" grep -q '"Profile"="desktop-2mode"' "$pc/system.reg"
check "no server for the kept PC" no_server "$pc"
[ -n "$pc" ] && rm -rf "$pc"

# A prepared PC (tools/test.sh prepares them, SIM_MACHINES_DIR): each run gets its own copy, and
# what a program changes in its copy never reaches the prepared PC.
prepared=$(SOLVANE_SOURCE_DIR=$root prepared_machine_dir desktop-2mode)
if [ -n "$prepared" ]; then
  before=$(md5sum <"$prepared/system.reg")
  bash "$root/sim/machine/sim-test.sh" --profile desktop-2mode --keep -- \
    cmd.exe /c reg add 'HKLM\Software\SimulatedPC\ScriptsTest' /v Changed /d yes /f >"$work/out" 2>&1
  check "a run on a copy of the prepared PC succeeds" test $? -eq 0
  check "the run copied the prepared PC" grep -q "copying the prepared PC $prepared" "$work/out"
  pc=$(pc_of "$work/out")
  check "the copy holds the change" grep -q '"Changed"="yes"' "$pc/system.reg"
  check "the copy carries no mark of a prepared PC" test ! -e "$pc/.solvane-machine"
  check "the prepared PC's registry is unchanged" test "$(md5sum <"$prepared/system.reg")" = "$before"
  shared=$(head -1 "$prepared/.solvane-links")
  check "Wine's libraries are shared with the prepared PC" test "$pc/$shared" -ef "$prepared/$shared"
  check "the registry is the copy's own" test ! "$pc/system.reg" -ef "$prepared/system.reg"
  [ -n "$pc" ] && rm -rf "$pc"
  # A prepared PC of another source folder is never used.
  SOLVANE_SOURCE_DIR=$fake bash "$root/sim/machine/make-machine.sh" --profile desktop-2mode --prefix "$work/c" \
    >"$work/out" 2>&1
  check "a prepared PC of another source folder is not copied" not_grep "copying the prepared PC" "$work/out"
  WINEPREFIX=$work/c $WINESERVER -k >/dev/null 2>&1
else
  echo "skipped: the prepared-PC checks (no prepared PCs; tools/test.sh prepares them)"
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
