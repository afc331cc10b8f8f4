#!/bin/sh
# Builds norvoisp-screenshot in the default build and takes the documentation
# pictures of the main window: samples/demo_24c256.hex programmed into a
# 24C256 on the simulated programmer unit and verified, the "EEPROM Memory"
# page in docs/main_window.png and the "Status" page in docs/status_log.png.
# Needs no display (offscreen rendering) and leaves the settings alone.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target norvoisp-screenshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen ./build/default/tools/norvoisp-screenshot \
  samples/demo_24c256.hex docs/main_window.png docs/status_log.png
