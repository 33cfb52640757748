#!/usr/bin/env bash
# Runs one test program under Wine, only inside the test bed.
if [ -z "${KELVARIN_TESTBED:-}" ] || [ "${WINEPREFIX:-}" != "$KELVARIN_TESTBED" ]; then
  echo "This test runs only on the Wine test bed: use scripts/test.sh" >&2
  exit 1
fi
exec wine "$@"
