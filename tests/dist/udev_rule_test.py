#!/usr/bin/env python3
"""The udev rule of the package, evaluated for sample devices as udev would
evaluate it (the subset of the rule language it uses: ACTION, SUBSYSTEM,
ENV, ATTR and ATTRS matches, GOTO and LABEL, MODE, GROUP, TAG and ENV
assignments), and the package scripts that apply it at install and removal.

Every USB-serial adapter shares its vendor and product ids with countless
other devices: the rule may only keep ModemManager away from them and must
grant no access. Only the CH341A programmer board's USB node (1a86:5512) gets
access. The rules run on add and change only."""

import re
import sys
from pathlib import Path

PAIR = re.compile(r'\s*([A-Z_]+)(?:\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(?:,|$)')


def parse(text):
    rules = []
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        pairs, pos = [], 0
        while pos < len(line):
            m = PAIR.match(line, pos)
            if not m:
                raise SystemExit(f"line {number}: cannot read {line[pos:]!r}")
            pairs.append(m.groups())
            pos = m.end()
        rules.append((number, pairs))
    return rules


def matches(pattern, value):
    # udev patterns: "|" separates alternatives, "*" matches anything.
    return any(re.fullmatch(re.escape(p).replace(r"\*", ".*"), value or "") for p in pattern.split("|"))


def evaluate(rules, device):
    """What the rules assign to device: {"MODE", "GROUP", "TAG", "ENV{...}"}."""
    out = {}
    goto = None
    for number, pairs in rules:
        if goto is not None:
            if pairs == [("LABEL", None, "=", goto)]:
                goto = None
            continue
        ok = True
        for key, attr, op, value in pairs:
            if op not in ("==", "!="):
                continue
            if key == "ACTION":
                have = device["ACTION"]
            elif key == "SUBSYSTEM":
                have = device["SUBSYSTEM"]
            elif key == "ENV":
                have = device.get("ENV", {}).get(attr, "")
            elif key == "ATTR":
                have = device.get("ATTR", {}).get(attr)
            elif key == "ATTRS":  # the device or any parent
                have = next((a[attr] for a in [device.get("ATTR", {})] + device.get("PARENTS", [])
                             if attr in a), None)
            else:
                raise SystemExit(f"line {number}: the test does not know the match key {key}")
            hit = matches(value, have)
            if hit != (op == "=="):
                ok = False
                break
        if not ok:
            continue
        for key, attr, op, value in pairs:
            if op in ("==", "!="):
                continue
            if key == "GOTO":
                goto = value
            elif key == "LABEL":
                pass
            elif key == "TAG":
                out.setdefault("TAG", set()).add(value)
            elif key == "ENV":
                out["ENV{" + attr + "}"] = value
            elif key in ("MODE", "GROUP", "OWNER"):
                out[key] = value
            else:
                raise SystemExit(f"line {number}: the test does not know the assignment {key}")
    if goto is not None:
        raise SystemExit(f"GOTO {goto} without its LABEL")
    return out


def tty(action, vendor, product):
    return {"ACTION": action, "SUBSYSTEM": "tty", "ATTR": {},
            "PARENTS": [{}, {"idVendor": vendor, "idProduct": product}]}


def usb(action, vendor, product, devtype="usb_device"):
    return {"ACTION": action, "SUBSYSTEM": "usb", "ENV": {"DEVTYPE": devtype},
            "ATTR": {"idVendor": vendor, "idProduct": product}}


def main():
    dist = Path(sys.argv[1])
    rules = parse((dist / "udev" / "60-norvoisp.rules").read_text())
    failures = []

    def expect(what, device, wanted):
        got = evaluate(rules, device)
        if got != wanted:
            failures.append(f"{what}: {got} instead of {wanted}")

    ignore = {"ENV{ID_MM_DEVICE_IGNORE}": "1"}
    for vendor, product in [("0403", "6001"), ("0403", "6015"), ("067b", "2303"), ("10c4", "ea60"),
                            ("1a86", "7523")]:
        expect(f"serial adapter {vendor}:{product}", tty("add", vendor, product), ignore)
        expect(f"serial adapter {vendor}:{product} (change)", tty("change", vendor, product), ignore)
        expect(f"serial adapter {vendor}:{product} removed", tty("remove", vendor, product), {})
        expect(f"the USB node of adapter {vendor}:{product}", usb("add", vendor, product), {})
    expect("another adapter", tty("add", "2341", "0043"), {})
    board = {"MODE": "0660", "GROUP": "plugdev", "TAG": {"uaccess"}}
    expect("the CH341A board", usb("add", "1a86", "5512"), board)
    expect("the CH341A board (change)", usb("change", "1a86", "5512"), board)
    expect("the CH341A board removed", usb("remove", "1a86", "5512"), {})
    expect("an interface of the CH341A board", usb("add", "1a86", "5512", "usb_interface"), {})
    expect("another USB device", usb("add", "1a86", "5513"), {})

    # The package applies the rule to what is plugged in now, and takes it
    # back from those devices when it is removed: no replug either way.
    for script in ("postinst", "postrm"):
        text = (dist / "debian" / script).read_text()
        reload = text.find("udevadm control --reload-rules")
        board_trigger = text.find("udevadm trigger --action=change --subsystem-match=usb "
                                  "--attr-match=idVendor=1a86 --attr-match=idProduct=5512")
        tty_trigger = text.find("udevadm trigger --action=change --subsystem-match=tty")
        if reload < 0 or board_trigger < reload or tty_trigger < reload:
            failures.append(f"{script}: does not reload the rules and then trigger them for the "
                            "CH341A board and the serial devices")

    for f in failures:
        print("FAIL:", f)
    if failures:
        return 1
    print(f"udev rule: {len(rules)} rules, every sample device as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
