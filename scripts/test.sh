#!/usr/bin/env bash
# Sets up what is missing, builds Kelvarin and its tests, and runs every test
# on the Wine test bed. Screenshots and other artifacts land in
# build/test-artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686
rm -rf build/test-artifacts build/test-temp
scripts/testbed.sh build run ctest --preset mingw-i686 "$@"
