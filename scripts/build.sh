#!/usr/bin/env bash
# build.sh PRESET: builds the program as shipped (32-bit) and, when PRESET is
# another build (see wine-build.sh), that build with its tests too. Prints
# the build tree of PRESET.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-mingw-i686}
if [ "$preset" = mingw-i686 ]; then
  cmake --preset mingw-i686 -DKELVARIN_BUILD_TESTS=ON >/dev/null
  cmake --build --preset mingw-i686 >&2
  echo build
else
  echo "build: this kernel runs no 32-bit programs; the tests use the 64-bit build of the same sources" >&2
  cmake --preset mingw-i686 -DKELVARIN_BUILD_TESTS=OFF >/dev/null
  cmake --build --preset mingw-i686 >&2
  cmake --preset "$preset" -DKELVARIN_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$preset" >&2
  echo build/x86_64
fi
