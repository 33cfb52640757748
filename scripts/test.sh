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
# The tests save their screenshots as raw pixels (blue, green, red, unused),
# their size in the name; ImageMagick makes them PNGs.
for shot in "$dir"/test-artifacts/*.bgra; do
  [ -e "$shot" ] || continue
  base=${shot%.*}
  convert -size "${base##*.}" -depth 8 "bgra:$shot" -alpha off "${base%.*}.png" && rm "$shot"
done
exit $status
