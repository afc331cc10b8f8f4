#!/bin/sh
# Sets everything up, builds the program and runs its main job: list the
# device catalogue.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
./build/default/src/cli/norvoisp-cli devices "$@"
