#!/usr/bin/env bash
# Runs one test program under Wine, only inside the test bed.
# With KELVARIN_TEST_LIMIT=SECONDS, a program still running after that long
# has every thread's stack written to the log (Wine's debugger) and is ended,
# so a hang fails in minutes and says where it hung.
if [ -z "${KELVARIN_TESTBED:-}" ] || [ "${WINEPREFIX:-}" != "$KELVARIN_TESTBED" ]; then
  echo "This test runs only on the Wine test bed: use scripts/test.sh" >&2
  exit 1
fi
# With KELVARIN_DPI, the program starts at that DPI (Wine reads it when a
# program starts); it is put back to 96 afterwards.
display_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
if [ -n "${KELVARIN_DPI:-}" ]; then
  display_dpi "$KELVARIN_DPI"
  trap 'display_dpi 96' EXIT
fi
# Wine writes its messages to the program's Unix stderr, which the programs
# it starts share; a copy goes to test-temp/<program>.stderr, where a test
# reads what Wine's shell left of calls it does not carry out.
temp="$(dirname "$1")/../test-temp"
mkdir -p "$temp"
copy="$temp/$(basename "$1").stderr"
limit=${KELVARIN_TEST_LIMIT:-}
if [ -z "$limit" ]; then
  wine "$@" 2> >(tee "$copy" >&2)
  exit
fi

wine "$@" 2> >(tee "$copy" >&2) &
program=$!
name=$(basename "$1")
(
  # Its sleep must end with it: the log stays open while anything holds it.
  trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
  sleep "$limit" &
  sleeper=$!
  wait "$sleeper"
  kill -0 "$program" 2>/dev/null || exit 0
  echo "testbed: $name still runs after $limit s; the stacks of its threads:" >&2
  # Windows process ids, as the debugger lists them in hex.
  for id in $(winedbg --command "info proc" 2>/dev/null | tr -d '\r' |
              sed -n "s/^[ =]*\([0-9a-f]\{8\}\) .*'$name'\$/\1/p"); do
    timeout 60 winedbg --command "bt all" "$((16#$id))" >&2 2>&1
  done
  kill "$program" 2>/dev/null
) &
watchdog=$!
wait "$program"
status=$?
kill "$watchdog" 2>/dev/null
wait "$watchdog" 2>/dev/null
exit $status
