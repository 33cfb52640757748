#!/usr/bin/env bash
# testbed-slow-drive.sh DELAY PROGRAMS COMMAND...
# Inside a test-bed run (scripts/testbed.sh ... run): runs COMMAND in a prefix
# of its own with the test bed's drives and one more, S:, a network drive
# that answers the programs named in PROGRAMS (comma-separated executable
# names) after DELAY seconds, or "never", and everyone else at once
# (tests/support/slow_drive.c, a FUSE file system mounted under the build
# tree). COMMAND gets KELVARIN_SLOW_DRIVE=S, KELVARIN_SLOW_DRIVE_CONTROL (the
# Windows path of the file holding the delay, which it may rewrite) and
# KELVARIN_SLOW_DRIVE_LOG (a line per listing the programs asked for).
# Without /dev/fuse, COMMAND runs in the test bed's prefix without it (the
# slow-drive tests then say so and are skipped).
set -euo pipefail
delay=${1:?seconds or never}
programs=${2:?program names}
shift 2
run=${KELVARIN_TESTBED:?run this inside scripts/testbed.sh BUILD_DIR run}
bed=$(dirname "$run")
source=$(cd "$(dirname "$0")/.." && pwd)/tests/support/slow_drive.c
if [ ! -e /dev/fuse ] || ! command -v fusermount3 >/dev/null; then
  echo "testbed: no /dev/fuse or fusermount3 here: no slow drive" >&2
  exec "$@"
fi
if [ ! -x "$bed/slow_drive" ] || [ "$source" -nt "$bed/slow_drive" ]; then
  gcc -O2 -Wall -o "$bed/slow_drive" "$source" $(pkg-config --cflags --libs fuse3)
fi

prefix="$bed/slow"
# Kept apart from everything the suite walks (Z: is the host's root).
mount="$bed/slow-drive/mount"
finish() {
  # Waiting requests end at once when the delay is gone.
  echo 0 >"$bed/slow-drive/control" 2>/dev/null || true
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  # The mount stays busy for a while after the server ends.
  for _ in $(seq 20); do
    mountpoint -q "$mount" || return 0
    fusermount3 -u "$mount" 2>/dev/null && return 0
    sleep 0.5
  done
  fusermount3 -uz "$mount" 2>/dev/null || true
}
trap finish EXIT
trap 'exit 130' INT TERM

rm -rf "$prefix"
cp -a "$bed/template" "$prefix"
for link in "$run"/dosdevices/?:; do
  ln -sfn "$(readlink "$link")" "$prefix/dosdevices/$(basename "$link")"
done
export WINEPREFIX="$prefix" KELVARIN_TESTBED="$prefix" KELVARIN_SLOW_DRIVE=S
# Drive types are read when the server starts: set S:'s first.
wine reg add 'HKLM\Software\Wine\Drives' /v s: /d network /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w
mkdir -p "$mount"
control="$bed/slow-drive/control"
log="$bed/slow-drive/log"
echo "$delay" >"$control"
: >"$log"
IFS=, read -r -a names <<<"$programs"
"$bed/slow_drive" "$control" "$log" "$mount" "${names[@]}"
ln -sfn "$mount" "$prefix/dosdevices/s:"
wineserver -p
KELVARIN_SLOW_DRIVE_CONTROL=$(winepath -w "$control")
KELVARIN_SLOW_DRIVE_LOG=$(winepath -w "$log")
export KELVARIN_SLOW_DRIVE_CONTROL KELVARIN_SLOW_DRIVE_LOG
set +e
"$@"
status=$?
set -e
exit $status
