#!/usr/bin/env python3
"""Line coverage of the unit and jvm tiers over the product (src/, tools/).

  scripts/coverage.py [--source DIR] [--out FILE] [--compare BEFORE]

Builds DIR (default: this tree) with --coverage in DIR/build/coverage (the pack tests use
the Windows bodies of this tree's build/win32 and build/win64), runs the unit and jvm
tiers and writes the covered lines to FILE (default: build/coverage/covered.txt), one
"file<TAB>line text" a line in file order (text, not numbers, so a later run compares across
moved lines). With --compare, lists the lines BEFORE covered that this run does not,
counting repeated texts of one file separately. BEFORE is such a list or a git revision
(main, HEAD~3), whose list is made first the same way, from the revision's files exported
to build/coverage-before/COMMIT, and kept there as covered.txt; files git sees as renamed
since that revision are compared under their new names. The lists are made when
asked, never kept in the repository.
"""
import argparse
import collections
import json
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parents[1]


def covered_lines(source):
    build = source / "build" / "coverage"
    flags = "--coverage -DVARNLET_COVERAGE_DUMP"
    subprocess.run(["cmake", "-S", str(source), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                    f"-DCMAKE_C_FLAGS={flags}", f"-DCMAKE_CXX_FLAGS={flags}",
                    f"-DVARNLET_WIN32_BUILD_DIR={HERE}/build/win32", f"-DVARNLET_WIN64_BUILD_DIR={HERE}/build/win64"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), "-j2"], check=True, stdout=subprocess.DEVNULL)
    for stale in build.rglob("*.gcda"):
        stale.unlink()
    subprocess.run(["ctest", "--test-dir", str(build), "-L", "^(unit|jvm)$", "-j2"])
    report = build / "coverage.json"
    subprocess.run(["gcovr", "-r", str(source), str(build), "--filter", str(source / "src") + "/",
                    "--filter", str(source / "tools") + "/", "--json", "-o", str(report)], check=True)
    lines = []
    for entry in sorted(json.loads(report.read_text())["files"], key=lambda f: f["file"]):
        text = (source / entry["file"]).read_text(errors="replace").splitlines()
        for line in sorted(entry["lines"], key=lambda l: l["line_number"]):
            if line["count"] > 0 and not line.get("gcovr/noncode"):
                lines.append(f"{entry['file']}\t{text[line['line_number'] - 1].strip()}")
    return lines


def revision_list(revision):
    """The covered lines of a git revision of this tree, made in build/coverage-before/COMMIT."""
    commit = subprocess.run(["git", "-C", str(HERE), "rev-parse", "--verify", revision + "^{commit}"],
                            check=True, capture_output=True, text=True).stdout.strip()
    source = HERE / "build" / "coverage-before" / commit[:12]
    listed = source / "covered.txt"
    if not listed.is_file():
        source.mkdir(parents=True, exist_ok=True)
        archive = subprocess.run(["git", "-C", str(HERE), "archive", commit], check=True, capture_output=True).stdout
        subprocess.run(["tar", "-x", "-C", str(source)], input=archive, check=True)
        listed.write_text("\n".join(covered_lines(source)) + "\n")
    print(f"lines {revision} ({commit[:12]}) covered: {listed}")
    return listed


def renames_since(revision):
    """Old name -> new name of the files git sees as renamed between REVISION and this tree."""
    out = subprocess.run(["git", "-C", str(HERE), "diff", "-M", "--name-status", revision],
                         check=True, capture_output=True, text=True).stdout
    fields = [line.split("\t") for line in out.splitlines()]
    return {f[1]: f[2] for f in fields if f[0].startswith("R")}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source", default=str(HERE))
    parser.add_argument("--out")
    parser.add_argument("--compare")
    args = parser.parse_args()
    source = Path(args.source).resolve()
    before_list = Path(args.compare) if args.compare else None
    renames = {}
    if before_list and not before_list.is_file():
        before_list = revision_list(args.compare)
        renames = renames_since(args.compare)
    lines = covered_lines(source)
    out = Path(args.out) if args.out else source / "build" / "coverage" / "covered.txt"
    out.write_text("\n".join(lines) + "\n")
    print(f"{len(lines)} covered lines: {out}")
    if before_list:
        before = collections.Counter()
        for line in before_list.read_text().splitlines():
            name, _, text = line.partition("\t")
            before[f"{renames.get(name, name)}\t{text}"] += 1
        lost = before - collections.Counter(lines)
        for line in sorted(lost.elements()):
            print(f"no longer covered: {line}")
        print(f"{sum(lost.values())} of {sum(before.values())} lines covered before are not covered now")
        return 1 if lost else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
