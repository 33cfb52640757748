#!/usr/bin/env bash
# Sets up what is missing, builds Kelvarin and starts it under Wine in a
# prefix of its own (testbed/app of the build tree). With a display (DISPLAY
# set) the window opens there; without one, it runs on a virtual display, a
# screenshot of the window is saved and printed, and the program is ended.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
dir=$(bash scripts/build.sh "$(bash scripts/wine-build.sh)")
scripts/testbed.sh "$dir" app
