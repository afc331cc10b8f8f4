#!/bin/sh
# Sets everything up, builds the normal and the sanitizer configuration and
# runs the whole test suite (unit, interoperability, user interface, fuzzing)
# in both, checks an installation of the normal build and its Debian package
# (built, installed with apt-get, run, removed). Exits non-zero on
# any failure.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup-deps.sh
export QT_QPA_PLATFORM=offscreen
for preset in default asan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" -DNORVOISP_WERROR=ON
  cmake --build --preset "$preset"
  echo "=== $preset: test"
  ctest --preset "$preset" --output-on-failure --timeout 900
  if [ "$preset" = default ]; then
    echo "=== default: install check"
    sh scripts/install-check.sh build/default
    echo "=== default: Debian package (build, install, run, remove)"
    sh scripts/package-check.sh build/default
  fi
done
echo "All tests passed."
