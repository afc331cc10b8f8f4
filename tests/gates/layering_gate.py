#!/usr/bin/env python3
"""Includes point down the floors of the house only.

Every quoted include of a file under src/ is resolved as the compiler
resolves it (the file's own folder, then the include roots the libraries
give: src/, sim/, the project folder) and the folder it lands in is checked
against the rules below. An include that resolves to no file of the project
(a system or generated header) is left alone.

    gui/ and cli/      the front ends: nothing else includes them
    session/           the device session under both front ends
    kinds/             the kind table, above every kind
    sim_kinds/         the simulated kinds: rows of the table, over sim/
    programmer/        the drivers and the real kinds: nothing of the
                       simulator, the simulated kinds, the table or the
                       session
    ports/             the OS facades: nothing of the drivers
    the floors below   nothing of the floors above them

Usage: layering_gate.py <project folder>; exit status 1 with one line per
offending include."""

import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

FRONT_ENDS = {"src/gui", "src/cli", "src/updater"}
ABOVE_DRIVERS = {"src/session", "src/kinds", "src/sim_kinds", "sim"}
# The floors under the drivers, lowest first: each may include its own and
# the ones before it.
BASE_FLOORS = ["src/errors", "src/fileio", "src/catalogue", "src/buffer", "src/settings", "src/formats",
               "src/ports", "src/production", "src/linedb"]


def area(root, path):
    """The folder of the house a project file belongs to ("src/programmer",
    "sim"), or None outside src/ and sim/."""
    rel = path.relative_to(root).parts
    if rel[0] == "sim":
        return "sim"
    if rel[0] == "src" and len(rel) > 2:
        # Simulated hardware kept in a driver folder counts as what it is.
        return "src/sim_kinds" if "simulated" in rel[2:-1] else "src/" + rel[1]
    return None


def forbidden(source, target):
    """Why source's folder may not include target's folder; None when it may."""
    if source == target or target is None:
        return None
    if target in FRONT_ENDS:
        return "a front end is included by nothing below it"
    if source in FRONT_ENDS:
        return None
    if source == "src/session":
        return None if target not in {"sim"} else "the session runs kinds through the table, not the simulator"
    if source == "src/kinds":
        return "the kind table is below the session" if target == "src/session" else None
    if source == "src/sim_kinds":
        return "the simulated kinds are below the table" if target in {"src/kinds", "src/session"} else None
    if source == "src/programmer":
        if target in ABOVE_DRIVERS:
            return "the drivers and the real kinds include nothing of the simulator, the table or the session"
        return None
    if source in BASE_FLOORS:
        if target == "src/programmer" or target in ABOVE_DRIVERS:
            return "a floor below the drivers includes nothing of them"
        if target in BASE_FLOORS and BASE_FLOORS.index(target) > BASE_FLOORS.index(source):
            return "includes point down the floors"
    return None


def resolve(root, including, name):
    for base in (including.parent, root / "src", root / "sim", root):
        candidate = (base / name).resolve()
        if candidate.is_file() and root in candidate.parents:
            return candidate
    return None


def main():
    root = Path(sys.argv[1]).resolve()
    findings = []
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in {".h", ".hpp", ".c", ".cpp"} or not path.is_file():
            continue
        source = area(root, path)
        text = path.read_text(encoding="utf-8", errors="replace")
        for m in INCLUDE.finditer(text):
            target_path = resolve(root, path, m.group(1))
            if target_path is None:
                continue
            why = forbidden(source, area(root, target_path))
            if why:
                line = text.count("\n", 0, m.start()) + 1
                findings.append(f"{path.relative_to(root)}:{line}: includes \"{m.group(1)}\": {why}")
    for f in findings:
        print(f)
    if findings:
        print(f"{len(findings)} include(s) against the floors")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
