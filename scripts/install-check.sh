#!/bin/sh
# Installs a built tree into a temporary prefix and checks the result: the
# installed norvoisp-cli programs and verifies the installed sample on the
# simulated unit, and the desktop entry, icon, manual page, udev rule and the
# program's own files are where the desktop, man, udev and the GUI look for
# them.
# Usage: sh scripts/install-check.sh [BUILD_DIR]   (default build/default)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/default}
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "install-check: $build is not a configured build directory" >&2
  exit 2
fi

prefix=$(mktemp -d "${TMPDIR:-/tmp}/norvoisp-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
trap 'exit 130' INT TERM
# The registry of the installed program stays inside the prefix.
export NORVOISP_REGISTRY="$prefix/registry.reg"
export NORVOISP_PORT_DEVICE=/nonexistent/norvoisp-install-check/port
export NORVOISP_PARPORT_DEVICE=/nonexistent/norvoisp-install-check/parport

cmake --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() {
  echo "install-check: $*" >&2
  failed=1
}
need() {
  [ -e "$prefix/$1" ] || fail "missing $1"
}

need bin/norvoisp-cli
need bin/norvoisp-unitsim
grep -q '^NORVOISP_BUILD_GUI:BOOL=OFF' "$build/CMakeCache.txt" || {
  need bin/norvoisp
  need share/applications/norvoisp.desktop
  need share/icons/hicolor/scalable/apps/norvoisp.svg
}
need share/man/man1/norvoisp-cli.1
need share/norvoisp/readme.txt
need share/norvoisp/isp.html
need share/norvoisp/samples/demo_24c256.hex
need share/norvoisp/patterns
# The firmware, its updater and the simulated MCU, where the build made them.
if [ -f "$build/firmware/norvoisp.hex" ]; then
  need share/norvoisp/Firmwareupdater
  need share/norvoisp/firmware/norvoisp.hex
  need share/norvoisp/firmware/norvoisp.elf
  need bin/norvoisp-avrsim
  "$prefix/share/norvoisp/Firmwareupdater" --help >/dev/null || fail "the installed Firmwareupdater does not run"
fi
if [ -f dist/udev/60-norvoisp.rules ]; then
  need lib/udev/rules.d/60-norvoisp.rules
fi

if [ -x "$prefix/bin/norvoisp-cli" ]; then
  if output=$("$prefix/bin/norvoisp-cli" program --hardware "Norvo ISP (SIM)" --device 24C256 \
    --file "$prefix/share/norvoisp/samples/demo_24c256.hex" 2>&1); then
    case $output in
      *"Verify Complete"*) ;;
      *) fail "installed norvoisp-cli program did not report \"Verify Complete\":
$output" ;;
    esac
  else
    fail "installed norvoisp-cli program exited $?:
$output"
  fi
fi

if [ "$failed" -ne 0 ]; then
  echo "install-check: FAILED" >&2
  exit 1
fi
echo "install-check: installed tree complete, installed norvoisp-cli programs and verifies the sample"
