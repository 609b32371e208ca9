#!/usr/bin/env python3
"""symbol_versions.py DIST: the Linux programs of the Linux packages start on glibc 2.17 (RHEL 7 and 8, Debian 11,
Ubuntu 20.04, Amazon Linux 2): objdump finds no needed library but the C library's and zlib, and no symbol version
above their floors."""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

FLOORS = {"GLIBC": (2, 17), "ZLIB": (1, 2, 7)}
LIBRARIES = {"libc.so.6", "libdl.so.2", "libpthread.so.0", "libz.so.1", "ld-linux-x86-64.so.2"}
failures, dist = [], Path(sys.argv[1])
packages = sorted(dist.glob("varnlet-*-linux-x86_64.tar.gz")) + sorted(dist.glob("varnlet_*_amd64.deb"))
if len(packages) != 2:
    failures.append(f"{dist}: the Linux archive and the .deb, found {packages} (run scripts/release.sh first)")
for package in packages:
    with tempfile.TemporaryDirectory() as root:
        subprocess.run(["tar", "xzf", package, "-C", root] if package.suffix == ".gz" else ["dpkg-deb", "-x", package, root], check=True)
        programs = [f for f in Path(root).rglob("*") if f.is_file() and f.read_bytes()[:4] == b"\x7fELF"]
        if sorted(f.name for f in programs) != ["varnlet", "varnlet-pack"]:
            failures.append(f"{package.name}: programs {programs}")
        for program in programs:
            dump = subprocess.run(["objdump", "-p", "-T", program], capture_output=True, text=True, check=True).stdout
            new = sorted(set(re.findall(r"^\s*NEEDED\s+(\S+)", dump, re.M)) - LIBRARIES) + [
                f"{symbol}@{kind}_{version}" for kind, version, symbol in re.findall(r"\s\(?([A-Z]+)_(\d+(?:\.\d+)+)\)?\s+(\S+)$", dump, re.M)
                if kind not in FLOORS or tuple(map(int, version.split("."))) > FLOORS[kind]]
            if new:
                failures.append(f"{package.name}: {program.relative_to(root)} needs {', '.join(new)}")
print("\n".join("FAIL: " + f for f in failures) or "passed")
sys.exit(1 if failures else 0)
