#!/usr/bin/env python3
"""Measures what the suite catches: applies each one-line fault of faults.txt to a copy of
this tree, rebuilds incrementally and runs the tiers that can see the fault, stopping at
the first failing test.

  scripts/mutants/run.py [--copy DIR] [--fresh] [--rev COMMIT] [--out FILE] [NAME ...]

The copy (default /tmp/varnlet-mutants) holds the sources and the build trees of the
presets linux, win32 and win64, which must be built in this tree first. It runs in a
private mount namespace where the copy is mounted over this tree's own path, so the
absolute paths in the copied build trees stay valid and a fault costs a few incremental
compiles. Each run brings the copy's sources up to date with this tree's files (or with
COMMIT), so a later run measures the suite as it stands then; this tree stays untouched.

Which presets and tiers: the win32 backend needs only the Windows builds and the wine tier (the
Win32 backend's plain code that the unit tests build starts with the Linux unit tier);
the posix backend only the Linux build and the unit and jvm tiers; everything else starts
with the Linux build (unit, then jvm) and, while it survives, goes on to the Windows
builds and the wine tier. A fault no test fails is "survived"; one that no longer
applies is "stale". Results: one line per fault, "NAME killed TEST", "NAME survived".
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
FAULTS = Path(__file__).with_name("faults.txt")


def read_faults():
    faults = []
    for line in FAULTS.read_text().splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        name, path, change = line.split(" | ", 2)
        old, new = change.split(" => ")
        faults.append((name.strip(), path.strip(), old.strip(), new.strip()))
    return faults


# The Win32 backend's plain code that the unit tests build too (tests/CMakeLists.txt).
UNIT_BUILT_WIN32 = set(re.findall(r"\.\./(src/platform/win32/\S+\.cpp)", (ROOT / "tests/CMakeLists.txt").read_text()))


def stages(path):
    """(presets to build, ctest labels to run) in the order they are tried."""
    # The Linux build packs the Windows bodies into varnlet-pack.jar: built after them, so that
    # the wine cases comparing both packers' launchers see the same bodies.
    windows = ["win32", "win64", "linux"]
    if path in UNIT_BUILT_WIN32:
        return [(["linux"], ["unit"]), (windows, ["wine"])]
    if "/platform/win32/" in path:
        return [(windows, ["wine"])]
    if "/platform/posix/" in path:
        return [(["linux"], ["unit"]), ([], ["jvm"])]
    return [(["linux"], ["unit"]), ([], ["jvm"]), (windows, ["wine"])]


def sh(argv, **kwargs):
    return subprocess.run(argv, cwd=ROOT, capture_output=True, text=True, **kwargs)


def build(preset):
    result = sh(["cmake", "--build", f"build/{preset}", "-j2"])
    return result.returncode == 0, result.stdout[-3000:] + result.stderr[-3000:]


def first_failure(label):
    """Runs one tier until its first failing test; the failing test's name or None."""
    result = sh(["ctest", "--test-dir", "build/linux", "-L", f"^{label}$", "--stop-on-failure",
                 "-j2" if label != "wine" else "-j1", "--timeout", "300"])
    for line in result.stdout.splitlines():
        if "***Failed" in line or "***Timeout" in line or "***Exception" in line or "(Failed)" in line:
            return line.split(":", 1)[1].split()[0] if ":" in line else line.strip()
    if result.returncode != 0:
        return "ctest failed: " + (result.stdout + result.stderr).strip().splitlines()[-1]
    return None


def run_fault(fault):
    name, path, old, new = fault
    source = ROOT / path
    original = source.read_text()
    if original.count(old) != 1:
        return "stale"
    source.write_text(original.replace(old, new))
    try:
        for presets, labels in stages(path):
            for preset in presets:
                ok, log = build(preset)
                if not ok:
                    return f"killed build.{preset}"
            for label in labels:
                failed = first_failure(label)
                if failed:
                    return f"killed {failed}"
        return "survived"
    finally:
        source.write_text(original)  # a new time stamp: the next build compiles it again


def inner(args):
    copy = Path(args.copy)
    # Read before the mount, which hides this tree's own files.
    out = open(args.out, "a") if args.out else sys.stdout
    faults = [f for f in read_faults() if not args.names or f[0] in args.names]
    subprocess.run(["mount", "--bind", str(copy), str(ROOT)], check=True)
    # Faults first, so a fault's own file is the only one out of date in its builds.
    for preset in ("win32", "win64", "linux"):
        ok, log = build(preset)
        if not ok:
            print(f"the copy's {preset} build fails before any fault:\n{log}")
            return 1
    for fault in faults:
        started = time.monotonic()
        outcome = run_fault(fault)
        print(f"{fault[0]} {outcome}", file=out, flush=True)
        print(f"{fault[0]} {outcome} ({time.monotonic() - started:.0f} s)", file=sys.stderr, flush=True)
    # A run stopped at its first failure skips the wine tier's clean-up: stop the copy's wineserver.
    sh(["ctest", "--test-dir", "build/linux", "-R", "^wine.cleanup$"])
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--copy", default="/tmp/varnlet-mutants")
    parser.add_argument("--fresh", action="store_true", help="copy the build trees again")
    parser.add_argument("--out")
    parser.add_argument("--rev", help="take the sources of this commit instead of the working files")
    parser.add_argument("--inner", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    if args.inner:
        return inner(args)
    copy = Path(args.copy)
    for preset in ("linux", "win32", "win64"):
        if not (ROOT / "build" / preset / "build.ninja").exists():
            print(f"build the {preset} preset in {ROOT} first")
            return 1
        target = copy / "build" / preset
        if args.fresh and target.exists():
            shutil.rmtree(target)
        if not target.exists():
            target.parent.mkdir(parents=True, exist_ok=True)
            # The wine prefix is made again in the copy by the tier's own set-up.
            subprocess.run(["cp", "-a", str(ROOT / "build" / preset), str(target)], check=True)
            shutil.rmtree(target / "tests/wine/prefix", ignore_errors=True)
    # Sources as this tree has them now; the build trees stay.
    # (tar keeps the time stamps, so unchanged files are not compiled again)
    for entry in copy.iterdir():
        if entry.name != "build":
            shutil.rmtree(entry) if entry.is_dir() and not entry.is_symlink() else entry.unlink()
    if args.rev:
        subprocess.run(f"git -C '{ROOT}' archive '{args.rev}' | tar -C '{copy}' -xf -", shell=True, check=True)
    else:
        subprocess.run(f"tar -C '{ROOT}' --exclude=./build --exclude=./.git -cf - . | tar -C '{copy}' -xf -",
                       shell=True, check=True)
    # The fresh sources carry this tree's older time stamps, so a build in the copy that last
    # compiled a file with a fault in it would not compile that file again: every file of the
    # list is made newer than its objects, whichever earlier run (or preset) saw it faulted.
    for path in sorted({fault[1] for fault in read_faults()}):
        if (copy / path).exists():
            os.utime(copy / path)
    if args.out:
        args.out = str(Path(args.out).resolve())
    argv = [sys.executable, str(Path(__file__).resolve()), "--inner", "--copy", str(copy)]
    if args.out:
        argv += ["--out", args.out]
    return subprocess.run(["unshare", "-m", "--propagation", "private"] + argv + args.names).returncode


if __name__ == "__main__":
    sys.exit(main())
