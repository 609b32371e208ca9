#!/usr/bin/env python3
"""check_rooms.py SRC NM ROOM=ARCHIVE...: the rooms, bottom first, each with its static library.
Fails when a room includes a header of a room above it or its library uses a symbol that a
library above it defines: every include and every call points down."""
import re
import subprocess
import sys
from pathlib import Path

src, nm, rooms = Path(sys.argv[1]), sys.argv[2], [a.split("=", 1) for a in sys.argv[3:]]
order = [name for name, _ in rooms]
folders = {"backend": None}  # the backend's folder is platform/win32 or platform/posix
faults = []


def room_of(path):
    """The room a file under src/ or an included path belongs to."""
    parts = Path(path).parts
    if parts[:2] in (("platform", "win32"), ("platform", "posix")):
        return "backend"
    return parts[0] if parts and parts[0] in order else None


for file in sorted(src.rglob("*")):
    if file.suffix not in (".cpp", ".h"):
        continue
    here = room_of(file.relative_to(src))
    if here is None:
        continue
    for line in file.read_text(encoding="utf-8").splitlines():
        include = re.match(r'#include "([^"]+)"', line)
        there = include and room_of(include.group(1))
        if there and order.index(there) > order.index(here):
            faults.append(f"{file.relative_to(src)} includes {include.group(1)}: room {here} is below {there}")


def symbols(archive, flag):
    out = subprocess.run([nm, flag, "--format=posix", archive], capture_output=True, text=True, check=True).stdout
    return {line.split()[0] for line in out.splitlines() if line and not line.endswith(":") and len(line.split()) > 1}


defined = {name: symbols(archive, "--defined-only") for name, archive in rooms}
for index, (name, archive) in enumerate(rooms):
    below = set().union(*(defined[room] for room in order[: index + 1]))
    for symbol in sorted(symbols(archive, "--undefined-only") - below):
        for above in order[index + 1:]:
            if symbol in defined[above]:
                faults.append(f"room {name} uses {symbol}, defined in room {above} above it")
print("\n".join("check_rooms: " + f for f in faults))
sys.exit(1 if faults else 0)
