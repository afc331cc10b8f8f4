#!/bin/sh
# Builds the Debian package of a built tree, installs it with apt-get, runs
# the installed norvoisp-cli against the installed norvoisp-unitsim on a
# pseudo-terminal (program with a serial number and a traceability log,
# checksum, blank check after erase) and removes the package again.
# Needs root (apt-get); CI runs it from scripts/test.sh.
# Usage: sh scripts/package-check.sh [BUILD_DIR]   (default build/default)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/default}
if [ "$(id -u)" -ne 0 ]; then
  echo "package-check: needs root to install the package; skipped"
  exit 0
fi
if dpkg-query -W -f='${Status}' norvoisp 2>/dev/null | grep -q "install ok installed"; then
  echo "package-check: a norvoisp package is installed already; not touching it" >&2
  exit 1
fi

(cd "$build" && rm -f norvoisp_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/norvoisp_*.deb)
echo "package-check: built $deb"
dpkg-deb -f "$deb" Depends

work=$(mktemp -d "${TMPDIR:-/tmp}/norvoisp-package.XXXXXX")
unit=""
cleanup() {
  [ -n "$unit" ] && kill "$unit" 2>/dev/null && wait "$unit" 2>/dev/null
  if dpkg-query -W -f='${Status}' norvoisp 2>/dev/null | grep -q "install ok installed"; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y norvoisp >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
export NORVOISP_REGISTRY="$work/registry.reg"
export NORVOISP_PORT_DEVICE=/nonexistent/norvoisp-package-check/port

# A path starting with ./ makes apt install the file and its dependencies.
cp "$deb" "$work/"
(cd "$work" && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ./"$(basename "$deb")" >/dev/null)

failed=0
fail() {
  echo "package-check: $*" >&2
  failed=1
}
for f in /usr/bin/norvoisp /usr/bin/norvoisp-cli /usr/bin/norvoisp-unitsim \
  /usr/lib/udev/rules.d/60-norvoisp.rules /usr/share/applications/norvoisp.desktop \
  /usr/share/man/man1/norvoisp-cli.1 /usr/share/norvoisp/readme.txt \
  /usr/share/norvoisp/samples/config_block_24c02.hex /usr/share/norvoisp/patterns/all_00.hex; do
  [ -e "$f" ] || fail "the package did not install $f"
done

sample=/usr/share/norvoisp/samples/config_block_24c02.hex
/usr/bin/norvoisp-unitsim --chip 24C02 --delay 0 --link "$work/unit" >"$work/unit.out" 2>&1 &
unit=$!
i=0
while [ ! -e "$work/unit" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
if out=$(/usr/bin/norvoisp-cli program --device 24C02 --port "$work/unit" --delay 0 --file "$sample" \
  --serial-at 0x40 --serial-bytes 2 --serial 7 --serial-file "$work/serial.state" --log "$work/log.jsonl" 2>&1); then
  case $out in *"Verify Complete"*) ;; *) fail "installed program did not verify: $out" ;; esac
else
  fail "installed norvoisp-cli program failed: $out"
fi
grep -q '"result":"passed"' "$work/log.jsonl" || fail "no passed record in the log"
grep -q '^next=8$' "$work/serial.state" || fail "the serial number state did not advance"
crc=$(/usr/bin/norvoisp-cli checksum "$sample" --device 24C02 --serial-at 0x40 --serial-bytes 2 --serial 7 |
  sed -n 's/^CRC-32: *//p')
grep -q "\"crc32\":\"$crc\"" "$work/log.jsonl" || fail "the logged CRC-32 is not the image's ($crc)"
/usr/bin/norvoisp-cli erase --device 24C02 --port "$work/unit" --quiet >/dev/null 2>&1 || fail "erase failed"
/usr/bin/norvoisp-cli blank-check --device 24C02 --port "$work/unit" --quiet >/dev/null 2>&1 ||
  fail "blank-check after erase failed"

DEBIAN_FRONTEND=noninteractive apt-get remove -y norvoisp >/dev/null
for f in /usr/bin/norvoisp-cli /usr/lib/udev/rules.d/60-norvoisp.rules /usr/share/norvoisp; do
  [ ! -e "$f" ] || fail "$f is still there after the package was removed"
done

if [ "$failed" -ne 0 ]; then
  echo "package-check: FAILED" >&2
  exit 1
fi
echo "package-check: package built, installed, programs a unit on a pty with a serial number and a log, removed"
