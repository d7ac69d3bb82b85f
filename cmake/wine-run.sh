#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest and the tools.
# Wine's output goes to a temporary file, never to the caller's pipe: with a persistent
# wineserver its services inherit the pipe and the pipe would never close.
: "${WINEARCH:=win64}"; : "${WINEDEBUG:=-all}"; : "${WINELOADER:=/usr/lib/wine/wine64}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=;winedbg.exe=d}"
export WINEARCH WINEDEBUG WINELOADER WINEDLLOVERRIDES
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
run() {
  local started=$(date +%s%N)
  /usr/lib/wine/wine64 "$@" >"$out" 2>&1 </dev/null
  rc=$?
  elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
}
run "$@"
# Under load Wine now and then ends a new process at once, silently, before it has run any of its
# own code. A test program (GoogleTest always writes its header) that ends so, within a second and
# without a byte of output, is started once more; one that really fails does so again, and says
# so. Other programs are never run twice: their work may not bear repeating.
case "$(basename "$1")" in *_tests.exe) retry_silent=1 ;; *) retry_silent=0 ;; esac
if [ $retry_silent = 1 ] && [ $rc -ne 0 ] && [ ! -s "$out" ] && [ "$elapsed_ms" -lt 1000 ]; then
  echo "wine-run: $1 ended with code $rc after $elapsed_ms ms without any output; started once more" >&2
  run "$@"
fi
tr -d '\r' <"$out"
# A program that ends badly before writing anything most likely never started under Wine: say so,
# with the code, so that such a failure is told apart from the program's own.
if [ $rc -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine-run: $1 ended with code $rc without any output (did Wine start it?)" >&2
fi
rm -f "$out"
exit $rc
