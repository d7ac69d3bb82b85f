#!/usr/bin/env bash
# The release archive of tools/package.sh, after a build:
#   1. its parts: exactly the package's files, each identical to the built or shipped file, the
#      checksums right, the archive named after the version every binary's version resource has;
#   2. its failures: a missing part gives an error and no archive (an older one is removed), and
#      a factory plan file that exists joins the archive;
#   3. installed into a fresh simulated PC as the setup package does (the files, then
#      "Vendrel.exe /Commit"): the program comes up resident and both scheduled tasks exist;
#      "Vendrel.exe /Uninstall" then ends it, deletes the tasks and the plans' "LedNo" values.
set -uo pipefail
root=${SOLVANE_SOURCE_DIR:?}
build=${SOLVANE_BUILD_DIR:?}
source "$root/tools/wine-env.sh"

failures=0
check() {  # check DESCRIPTION COMMAND...: one case; a failing command is reported, not fatal
  local what=$1; shift
  if "$@"; then
    printf 'ok   %s\n' "$what"
  else
    printf 'FAIL %s\n' "$what"
    failures=$((failures + 1))
  fi
}

work=$(mktemp -d "$build/release-test-XXXXXX")
prefix=""
cleanup() {
  if [ -n "$prefix" ]; then
    WINEPREFIX=$prefix $WINESERVER -k >/dev/null 2>&1
    WINEPREFIX=$prefix $WINESERVER -w >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT

major=$(sed -n 's/^#define SOLVANE_VERSION_MAJOR \([0-9]*\)$/\1/p' "$root/resources/version.h")
minor=$(sed -n 's/^#define SOLVANE_VERSION_MINOR \([0-9]*\)$/\1/p' "$root/resources/version.h")
patch=$(sed -n 's/^#define SOLVANE_VERSION_PATCH \([0-9]*\)$/\1/p' "$root/resources/version.h")
buildno=$(sed -n 's/^#define SOLVANE_VERSION_BUILD \([0-9]*\)$/\1/p' "$root/resources/version.h")
version=$major.$minor.$patch.$buildno

# --- 1. the archive of this build ----------------------------------------------------------------
out=$work/dist
archive=$("$root/tools/package.sh" --build "$build" --out "$out") || { echo "FAIL tools/package.sh"; exit 1; }
check "the archive is named after the version ($version)" test "$archive" = "$out/Solvane-$version.zip"
unpacked=$work/unpacked
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$archive") || { echo "FAIL the archive does not unpack"; exit 1; }

# Every file the package ships, and where it comes from.
declare -A source_of=(
  [Solvane.exe]=$build/bin/Solvane.exe
  [Tarvik.dll]=$build/bin/Tarvik.dll
  [Vendrel.exe]=$build/bin/Vendrel.exe
  [Solvane.exe.ini]=$root/sim/vendrel/Solvane.exe.ini
  [Solvane.exe.xml]=$root/sim/vendrel/Solvane.exe.xml
  [Solvane.exe.run.xml]=$root/sim/vendrel/Solvane.exe.run.xml
)
for plan in ECOMode.pow StdMode.pow; do
  if [ -f "$build/bin/$plan" ]; then
    source_of[$plan]=$build/bin/$plan
  else
    found=$(find "$root/resources" "$root/sim" -type f -name "$plan" | sort | head -n 1)
    [ -z "$found" ] || source_of[$plan]=$found
  fi
done
expected=$( (printf '%s\n' "${!source_of[@]}"; echo SHA256SUMS) | sort)
listed=$(cd "$unpacked" && find . -type f | sed 's|^\./||' | sort)
check "the archive holds exactly: $(echo $expected)" test "$expected" = "$listed"
for name in "${!source_of[@]}"; do
  check "$name is the built or shipped file" cmp -s "${source_of[$name]}" "$unpacked/$name"
done
check "SHA256SUMS matches every file" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' _ "$unpacked"
summed=$(sed 's/^[0-9a-f]\{64\}  //' "$unpacked/SHA256SUMS" | sort)
check "SHA256SUMS names every other file" test "$summed" = "$(printf '%s\n' "${!source_of[@]}" | sort)"

# The version resource of every binary (UTF-16 strings) carries the archive's version.
resource_version() {  # resource_version FILE KEY
  x86_64-w64-mingw32-strings -el "$1" | grep -A1 -x "$2" | sed -n 2p
}
for name in Solvane.exe Tarvik.dll Vendrel.exe; do
  for key in FileVersion ProductVersion; do
    check "$name: $key is $version" test "$(resource_version "$unpacked/$name" "$key")" = "$version"
  done
done

# --- 2. failures and optional parts, on a copy of the build's binaries ----------------------------
fake=$work/fakebuild
fake_out=$work/fakedist
reset_fake() {
  rm -rf "$fake"; mkdir -p "$fake/bin"
  cp "$build/bin/Solvane.exe" "$build/bin/Tarvik.dll" "$build/bin/Vendrel.exe" "$fake/bin/"
}
for missing in Solvane.exe Tarvik.dll Vendrel.exe; do
  reset_fake
  rm "$fake/bin/$missing"
  # An archive of an earlier run must not pass for this one.
  mkdir -p "$fake_out"; echo stale >"$fake_out/Solvane-$version.zip"
  "$root/tools/package.sh" --build "$fake" --out "$fake_out" >"$work/fail.out" 2>"$work/fail.err"
  rc=$?
  check "without $missing: package.sh fails" test $rc -ne 0
  check "without $missing: the error names it" grep -q "$missing is missing" "$work/fail.err"
  check "without $missing: no archive is left" test ! -e "$fake_out/Solvane-$version.zip"
  check "without $missing: no staging folder is left" test -z "$(ls -A "$fake_out")"
done
if [ -z "${source_of[ECOMode.pow]:-}" ]; then
  reset_fake
  printf 'factory plan\n' >"$fake/bin/ECOMode.pow"
  rm -rf "$fake_out"
  made=$("$root/tools/package.sh" --build "$fake" --out "$fake_out")
  check "a factory plan file beside the binaries joins the archive" \
    bash -c 'cmake -E tar tf "$1" | grep -qx ECOMode.pow' _ "$made"
  check "and its checksum is listed" bash -c \
    'cd "$2" && cmake -E tar xf "$1" SHA256SUMS && grep -q "^$(sha256sum <"$3" | cut -c1-64)  ECOMode.pow$" SHA256SUMS' \
    _ "$made" "$work" "$fake/bin/ECOMode.pow"
fi

# --- 3. installed into a fresh simulated PC, then removed ----------------------------------------
mkdir -p "$build/wine"
prefix=$(mktemp -d "$build/wine/release-XXXXXX")
if ! SIM_PRODUCT_PACKAGE=$unpacked "$root/sim/machine/make-machine.sh" --profile notebook-3mode \
       --prefix "$prefix" >"$work/machine.log" 2>&1; then
  cat "$work/machine.log"
  echo "FAIL the package could not be installed into a simulated PC"
  exit 1
fi
export WINEPREFIX=$prefix
program_dir="$prefix/drive_c/Program Files/Solvane"
tasks_dir=$prefix/drive_c/windows/system32/tasks
simctl() { /usr/lib/wine/wine64 "$build/simbin/simctl.exe" "$@" >"$work/simctl.out" 2>&1 </dev/null; }
led_values() {  # the number of "LedNo" values under the plan keys
  /usr/lib/wine/wine64 reg query 'HKLM\Software\Orvel\Solvane\PowerSettings' /s >"$work/reg.out" 2>&1 </dev/null
  tr -d '\0\r' <"$work/reg.out" | grep -c 'LedNo'
}
plan_keys() {  # the number of plan keys the last query listed
  tr -d '\0\r' <"$work/reg.out" | grep -ci 'PowerSettings\\[0-9a-f-]\{36\}$'
}

for name in "${!source_of[@]}"; do
  check "installed: $name" cmp -s "$unpacked/$name" "$program_dir/$name"
done
check "the program comes up resident (window of class \"Solvane\")" simctl wait-window Solvane 60
check "the task SolvaneRegFix is registered" test -f "$tasks_dir/SolvaneRegFix"
check "the task SolvaneRun is registered" test -f "$tasks_dir/SolvaneRun"
check "the ECO plans have their \"LedNo\" values" test "$(led_values)" -ge 3

/usr/lib/wine/wine64 "$program_dir/Vendrel.exe" /Uninstall >"$work/uninstall.out" 2>&1 </dev/null
check "Vendrel /Uninstall exits 0" test $? -eq 0
check "the program is closed" simctl wait-window --gone Solvane 15
check "the task SolvaneRegFix is deleted" test ! -e "$tasks_dir/SolvaneRegFix"
check "the task SolvaneRun is deleted" test ! -e "$tasks_dir/SolvaneRun"
check "no plan keeps a \"LedNo\" value" test "$(led_values)" -eq 0
check "the plan keys themselves stay" test "$(plan_keys)" -ge 3

if [ $failures -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
