#!/usr/bin/env bash
# Prints the build preset whose programs Wine can run on this machine.
# Kelvarin ships and is tested as a 32-bit program; some virtual machines'
# kernels refuse every 32-bit executable (Wine's 32-bit loader then fails with
# "Exec format error"), and there the tests run a 64-bit build of the same
# sources in a 64-bit prefix instead.
# KELVARIN_ROUTE=mingw-x86_64 tests the 64-bit build even where both run.
if [ -n "${KELVARIN_ROUTE:-}" ]; then
  echo "$KELVARIN_ROUTE"
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo mingw-i686
else
  echo mingw-x86_64
fi
