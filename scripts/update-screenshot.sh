#!/usr/bin/env bash
# Remakes docs/kelvarin-window.png, the README's picture of the main window,
# from the test bed: the main window test shows a drive and saves it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/test.sh -R main_window_test >/dev/null
# The tests write uncompressed PNGs; ImageMagick (from the set-up) packs it.
/usr/bin/convert build/test-artifacts/main-window-drive-shown.png -strip docs/kelvarin-window.png
echo "docs/kelvarin-window.png"
