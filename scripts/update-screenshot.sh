#!/usr/bin/env bash
# Remakes the README's pictures of the main window from the test bed: the
# DPI stories show a drive and save the window at 100 % and at 150 %.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/test.sh -R "editor_test|dpi_144" >/dev/null
dir=$(bash scripts/build.sh "$(bash scripts/wine-build.sh)" 2>/dev/null)
/usr/bin/convert "$dir/test-artifacts/dpi-96.png" -strip docs/kelvarin-window.png
/usr/bin/convert "$dir/test-artifacts/dpi-144.png" -strip docs/kelvarin-window-150.png
echo "docs/kelvarin-window.png docs/kelvarin-window-150.png"
