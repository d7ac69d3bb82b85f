#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest and the tools.
# Wine's output goes to a temporary file, never to the caller's pipe: with a persistent
# wineserver its services inherit the pipe and the pipe would never close.
: "${WINEARCH:=win64}"; : "${WINEDEBUG:=-all}"; : "${WINELOADER:=/usr/lib/wine/wine64}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=;winedbg.exe=d}"
export WINEARCH WINEDEBUG WINELOADER WINEDLLOVERRIDES
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
/usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
rc=$?
tr -d '\r' <"$out"
# A program that ends badly before writing anything most likely never started under Wine: say so,
# with the code, so that such a failure is told apart from the program's own.
if [ $rc -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine-run: $1 ended with code $rc without any output (did Wine start it?)" >&2
fi
rm -f "$out"
exit $rc
