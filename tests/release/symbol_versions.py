#!/usr/bin/env python3
"""symbol_versions.py DIST: every Linux program in the Linux packages of DIST starts on glibc 2.17
(RHEL 7 and 8, Debian 11, Ubuntu 20.04, Amazon Linux 2): it needs no library but the C library's
own and zlib, and no symbol version above theirs there, as `objdump` reads them."""
import io
import re
import subprocess
import sys
import tarfile
import tempfile
from pathlib import Path

FLOORS = {"GLIBC": (2, 17), "ZLIB": (1, 2, 7)}
LIBRARIES = {"libc.so.6", "libdl.so.2", "libpthread.so.0", "libz.so.1", "ld-linux-x86-64.so.2"}
PROGRAMS = {"varnlet-pack", "varnlet"}


def programs(package):
    """{path: bytes} of the ELF files of a .tar.gz or .deb."""
    data = package.read_bytes() if package.suffix == ".gz" else subprocess.run(
        ["dpkg-deb", "--fsys-tarfile", str(package)], capture_output=True, check=True).stdout
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        files = {m.name: tar.extractfile(m).read() for m in tar.getmembers() if m.isfile()}
    return {name: content for name, content in files.items() if content[:4] == b"\x7fELF"}


def too_new(content):
    """What the program needs beyond the floors: libraries and symbol@VERSION."""
    with tempfile.NamedTemporaryFile() as file:
        file.write(content)
        file.flush()
        headers = subprocess.run(["objdump", "-p", file.name], capture_output=True, text=True, check=True).stdout
        symbols = subprocess.run(["objdump", "-T", file.name], capture_output=True, text=True, check=True).stdout
    found = sorted(set(re.findall(r"^\s*NEEDED\s+(\S+)", headers, re.M)) - LIBRARIES)
    for kind, version, symbol in re.findall(r"\s\(?([A-Z]+)_([\d.]+)\)?\s+(\S+)$", symbols, re.M):
        if kind not in FLOORS or tuple(map(int, version.split("."))) > FLOORS[kind]:
            found.append(f"{symbol}@{kind}_{version}")
    return found


failures, dist = [], Path(sys.argv[1])
packages = sorted(dist.glob("varnlet-*-linux-x86_64.tar.gz")) + sorted(dist.glob("varnlet_*_amd64.deb"))
if len(packages) != 2:
    failures.append(f"{dist}: the Linux archive and the .deb, found {packages} (run scripts/release.sh first)")
for package in packages:
    found = programs(package)
    if {Path(name).name for name in found} != PROGRAMS:
        failures.append(f"{package.name}: programs {sorted(found)}, expected {sorted(PROGRAMS)}")
    failures += [f"{package.name}: {name} needs {', '.join(new)}" for name, c in found.items() if (new := too_new(c))]
print("\n".join("FAIL: " + f for f in failures) or "passed")
sys.exit(1 if failures else 0)
