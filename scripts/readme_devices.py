#!/usr/bin/env python3
"""Keeps the supported-devices table of README.md in step with the catalogue.

The table is generated from `norvoisp-cli devices` and sits between the
markers <!-- devices:begin --> and <!-- devices:end -->.

  readme_devices.py CLI README.md          rewrite the table in place
  readme_devices.py --check CLI README.md  exit 1 when the table is stale
"""
import subprocess
import sys

BEGIN = "<!-- devices:begin -->"
END = "<!-- devices:end -->"
BUSES = {"24C": "I2C", "25C": "SPI", "93C": "Microwire", "SPI Flash": "SPI"}


def catalogue(cli):
    out = subprocess.run([cli, "devices"], check=True, capture_output=True, text=True).stdout
    rows = []
    for line in out.splitlines()[1:]:
        fields = line.split()
        if len(fields) < 5:
            continue
        # The name may hold a space ("25010 (AT)"), and so may the family
        # ("SPI Flash"): the last three fields are numbers.
        size, page, write_ms = fields[-3:]
        rest = fields[:-3]
        if rest[-2:] == ["SPI", "Flash"]:
            family, name = "SPI Flash", " ".join(rest[:-2])
        else:
            family, name = rest[-1], " ".join(rest[:-1])
        rows.append((name, family, int(size), int(page), int(write_ms)))
    if not rows:
        sys.exit(f"{cli} devices printed no devices")
    return rows


def table(rows):
    lines = [
        f"{len(rows)} devices, in catalogue order (`norvoisp-cli devices` prints the same list).",
        "",
        "| Device | Family | Bus | Size (bytes) | Page (bytes) | Write time (ms) |",
        "|---|---|---|---:|---:|---:|",
    ]
    for name, family, size, page, write_ms in rows:
        lines.append(f"| {name} | {family} | {BUSES.get(family, '?')} | {size} | {page} | {write_ms} |")
    return "\n".join(lines)


def main(argv):
    check = "--check" in argv
    args = [a for a in argv if a != "--check"]
    if len(args) != 2:
        sys.exit(__doc__)
    cli, readme = args
    text = open(readme, encoding="utf-8").read()
    start, stop = text.find(BEGIN), text.find(END)
    if start < 0 or stop < start:
        sys.exit(f"{readme}: markers {BEGIN} ... {END} not found")
    updated = text[: start + len(BEGIN)] + "\n" + table(catalogue(cli)) + "\n" + text[stop:]
    if check:
        if updated != text:
            sys.exit(f"{readme}: the devices table differs from the catalogue; run scripts/readme_devices.py")
        return
    if updated != text:
        with open(readme, "w", encoding="utf-8") as f:
            f.write(updated)


if __name__ == "__main__":
    main(sys.argv[1:])
