#!/bin/sh
# Installs the packages the build and the tests need (Debian 12, as root).
# Does nothing when everything is already there.
set -eu
PACKAGES="cmake ninja-build g++ gcc clang libclang-rt-14-dev clang-format \
  libgtest-dev libgmock-dev googletest libbenchmark-dev \
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev \
  libserialport-dev libusb-1.0-0-dev srecord python3 git \
  zlib1g-dev libssl-dev nlohmann-json3-dev dpkg-dev libpq-dev postgresql \
  gcc-avr avr-libc libsimavr-dev simavr avrdude"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
