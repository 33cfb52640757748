#!/usr/bin/env bash
# testbed-wow64.sh COMMAND...
# Inside a test-bed run (scripts/testbed.sh ... run) of the 32-bit tests:
# runs COMMAND in a 64-bit prefix with Wine's 32-bit parts, where the 32-bit
# test program sees the views 64-bit Windows gives a 32-bit program (WOW64),
# with the test bed's drives and KELVARIN_WOW64=1. Its template is made once
# per build tree. Where the tests are 64-bit (the kernel runs no 32-bit
# programs) COMMAND runs as it is, and the story says why it is skipped.
set -euo pipefail
run=${KELVARIN_TESTBED:?run this inside scripts/testbed.sh BUILD_DIR run}
bed=$(dirname "$run")
if [ "${WINEARCH:-}" != win32 ] || [ ! -x /usr/lib/wine/wine64 ]; then
  exec "$@"
fi
template="$bed/template-wow64"
prefix="$bed/wow64"
if [ "$(cat "$template/.kelvarin-ready" 2>/dev/null)" != 1 ]; then
  echo "testbed: creating the 64-bit template prefix (once per build tree)" >&2
  rm -rf "$template"
  (
    export WINEPREFIX="$template" WINEARCH=win64
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    wineserver -w
    # The test bed's fonts, desktop and drive types.
    /usr/lib/wine/wine64 regedit /S "$(winepath -w "$bed/template.reg")" >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
  )
  echo 1 >"$template/.kelvarin-ready"
fi
finish() { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; }
trap finish EXIT
rm -rf "$prefix"
cp -a "$template" "$prefix"
for link in "$run"/dosdevices/?:; do
  ln -sfn "$(readlink "$link")" "$prefix/dosdevices/$(basename "$link")"
done
export WINEPREFIX="$prefix" KELVARIN_TESTBED="$prefix" KELVARIN_WOW64=1 WINEARCH=win64
wineserver -p
set +e
"$@"
status=$?
set -e
exit $status
