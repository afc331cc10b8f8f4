#!/bin/sh
# Sets everything up, builds the program and runs its main job: program the
# sample image samples/demo_24c256.hex into a 24C256 on the simulated
# programmer unit and verify it, with norvoisp-cli. Extra arguments go to the
# program command, e.g. --quiet or --polarity low.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
./build/default/src/cli/norvoisp-cli program --hardware "Norvo ISP (SIM)" --device 24C256 \
  --file samples/demo_24c256.hex "$@"
