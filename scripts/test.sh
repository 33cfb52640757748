#!/usr/bin/env bash
# Sets up what is missing, builds Kelvarin and its tests, and runs every test
# on the Wine test bed. Screenshots and other artifacts land in
# test-artifacts/ of the tested build tree.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/check-format.sh
preset=$(bash scripts/wine-build.sh)
dir=$(bash scripts/build.sh "$preset")
rm -rf "$dir/test-artifacts" "$dir/test-temp"
status=0
scripts/testbed.sh "$dir" run ctest --preset "$preset" "$@" || status=$?
# The tests save their screenshots as bitmaps; ImageMagick makes them PNGs.
for shot in "$dir"/test-artifacts/*.bmp; do
  [ -e "$shot" ] && convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
exit $status
