#!/usr/bin/env bash
# Builds the release archive from a finished build:
#   build/dist/Solvane-<version>.zip  with Solvane.exe, Tarvik.dll, Vendrel.exe, the plan
#   definition file Solvane.exe.ini, the task definitions Solvane.exe.xml and Solvane.exe.run.xml,
#   the factory plan files ECOMode.pow and StdMode.pow when they exist, and SHA256SUMS.
# The version is the one of the version resources (resources/version.h).
#   tools/package.sh [--build DIR] [--out DIR]
# DIR defaults: $SOLVANE_BUILD_DIR or build/, and <build>/dist. Prints the archive's path.
# A missing part fails the run and leaves no archive (an older one of that name is removed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOLVANE_BUILD_DIR:-$root/build}
out=""

die() { printf 'package: error: %s\n' "$*" >&2; exit 1; }
usage() { echo "usage: tools/package.sh [--build DIR] [--out DIR]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --build) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    --out)   [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$out" ] || out=$build/dist

# --- the version: the four numbers of resources/version.h ---------------------------------------
version_part() {
  local value
  value=$(sed -n "s/^#define SOLVANE_VERSION_$1 \\([0-9]\\{1,5\\}\\)\$/\\1/p" "$root/resources/version.h")
  [ "$(printf '%s\n' "$value" | grep -c .)" = 1 ] || die "resources/version.h: no single number for SOLVANE_VERSION_$1"
  printf '%s' "$value"
}
version="$(version_part MAJOR).$(version_part MINOR).$(version_part PATCH).$(version_part BUILD)"
archive=$out/Solvane-$version.zip

# --- the parts ------------------------------------------------------------------------------------
shipped=$root/sim/vendrel
parts=(
  "$build/bin/Solvane.exe"
  "$build/bin/Tarvik.dll"
  "$build/bin/Vendrel.exe"
  "$shipped/Solvane.exe.ini"
  "$shipped/Solvane.exe.xml"
  "$shipped/Solvane.exe.run.xml"
)
# The factory plan files come with the package once they are made: built beside the binaries,
# or kept anywhere under resources/ or sim/ (the first found wins, in this order).
for plan in ECOMode.pow StdMode.pow; do
  found=""
  if [ -f "$build/bin/$plan" ]; then
    found=$build/bin/$plan
  else
    found=$(find "$root/resources" "$root/sim" -type f -name "$plan" 2>/dev/null | sort | head -n 1) || found=""
  fi
  [ -z "$found" ] || parts+=("$found")
done

mkdir -p "$out"
rm -f "$archive"
missing=0
for part in "${parts[@]}"; do
  if [ ! -f "$part" ]; then
    printf 'package: error: %s is missing\n' "$part" >&2
    missing=1
  fi
done
[ $missing = 0 ] || die "the archive was not made (build first: cmake --build $build)"

stage=$(mktemp -d "$out/.stage-XXXXXX")
trap 'rm -rf "$stage"' EXIT
names=()
for part in "${parts[@]}"; do
  cp "$part" "$stage/"
  names+=("$(basename "$part")")
done
(cd "$stage" && sha256sum -- "${names[@]}" >SHA256SUMS)
# Fixed time stamps: the same files give the same archive.
(cd "$stage" && cmake -E tar cf "$stage/archive.zip" --format=zip "--mtime=2000-01-01 00:00:00 UTC" \
   -- "${names[@]}" SHA256SUMS) || die "writing the archive failed"
mv "$stage/archive.zip" "$archive"
echo "$archive"
