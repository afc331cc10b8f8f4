#!/bin/sh
# Sets everything up, builds only what the main job runs and runs it: program
# the sample image samples/demo_24c256.hex into a 24C256 on the simulated
# programmer unit and verify it, with norvoisp-cli. Extra arguments go to the
# program command, e.g. --quiet or --polarity low.
#
# With --window first, it builds the window instead and opens it on the
# simulated unit with the sample loaded (Ctrl+Shift+F6 programs, F6 verifies).
# The test suite is built by scripts/test.sh, not here.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup-deps.sh
cmake --preset default >/dev/null
if [ "${1:-}" = "--window" ]; then
  shift
  cmake --build --preset default --target norvoisp
  exec ./build/default/src/gui/norvoisp -M="Norvo ISP (SIM)" /L:samples/demo_24c256.hex "$@"
fi
cmake --build --preset default --target norvoisp-cli
exec ./build/default/src/cli/norvoisp-cli program --hardware "Norvo ISP (SIM)" --device 24C256 \
  --file samples/demo_24c256.hex "$@"
