#!/usr/bin/env bash
# Sets up what is missing, builds Kelvarin and starts it under Wine in a
# prefix of its own (build/testbed/app). With a display (DISPLAY set) the
# window opens there; without one, it runs on a virtual display, a
# screenshot of the window is saved and printed, and the program is ended.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686
scripts/testbed.sh build app
