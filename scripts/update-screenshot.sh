#!/usr/bin/env bash
# Remakes docs/kelvarin-window.png, the README's picture of the main window,
# from the test bed: the editor tests show a drive and save the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/test.sh -R editor_test >/dev/null
dir=$(bash scripts/build.sh "$(bash scripts/wine-build.sh)" 2>/dev/null)
/usr/bin/convert "$dir/test-artifacts/main-window.png" -strip docs/kelvarin-window.png
echo "docs/kelvarin-window.png"
