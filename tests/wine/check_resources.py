#!/usr/bin/env python3
"""Checks a built Windows launcher body with readers independent of the resource compiler:
its resource tree read straight from the PE file, cross-checked with icoutils' wrestool,
and its imports and subsystem read with the mingw objdump. Also checks the exports of the
JVM test doubles of the same tree.

usage: check_resources.py win32|win64 BUILD_TREE entries.def
Environment: VARNLET_OBJDUMP (the target's objdump), VARNLET_WRESTOOL (wrestool).
"""
import os
import re
import struct
import subprocess
import sys
from pathlib import Path

ALLOWED_IMPORTS = {"kernel32.dll", "advapi32.dll", "user32.dll", "msvcrt.dll"}
RT_ICON, RT_STRING, RT_GROUP_ICON, RT_MESSAGETABLE = 3, 6, 14, 11

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def read_resources(data):
    """{(type, name, language): bytes}; names that are strings are kept as str."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    mapping = []
    for i in range(sections):
        _, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
        mapping.append((vaddr, max(vsize, rawsize), rawptr))

    def offset(rva):
        for vaddr, size, rawptr in mapping:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + rawptr
        raise ValueError(f"RVA {rva:#x} outside every section")

    base = offset(rsrc_rva)

    def name_of(entry_name):
        if entry_name & 0x80000000:
            at = base + (entry_name & 0x7FFFFFFF)
            length = struct.unpack_from("<H", data, at)[0]
            return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return entry_name

    def directory(at):
        named, numbered = struct.unpack_from("<HH", data, base + at + 12)
        for i in range(named + numbered):
            entry_name, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            yield name_of(entry_name), target

    resources = {}
    for rtype, t in directory(0):
        for rname, n in directory(t & 0x7FFFFFFF):
            for lang, leaf in directory(n & 0x7FFFFFFF):
                check(not leaf & 0x80000000, f"resource {rtype}/{rname}/{lang}: a fourth directory level")
                rva, size = struct.unpack_from("<II", data, base + leaf)
                resources[(rtype, rname, lang)] = data[offset(rva):offset(rva) + size]
    return resources


def wrestool_raw(exe, rtype, name, lang):
    tool = os.environ.get("VARNLET_WRESTOOL") or "wrestool"
    result = subprocess.run([tool, "-x", "--raw", f"--type={rtype}", f"--name={name}", f"--language={lang}",
                             str(exe)], capture_output=True)
    return result.stdout if result.returncode == 0 else None


def entries(entries_def):
    pattern = re.compile(r'^VARNLET_ENTRY\((\d+), *(\w+), *(\w+), *"([^"]*)"')
    found = {}
    for line in Path(entries_def).read_text().splitlines():
        m = pattern.match(line)
        if m:
            found[int(m.group(1))] = m.group(4)
    return found


def check_string_table(exe, resources, defaults):
    blocks = {name: (lang, data) for (rtype, name, lang), data in resources.items() if rtype == RT_STRING}
    expected_blocks = {entry_id // 16 + 1: entry_id for entry_id in defaults}
    check(sorted(blocks) == sorted(expected_blocks),
          f"string-table blocks {sorted(blocks)}, expected {sorted(expected_blocks)}")
    check(len([k for k in resources if k[0] == RT_STRING]) == len(blocks), "a string-table block in two languages")
    for block, entry_id in expected_blocks.items():
        if block not in blocks:
            continue
        lang, data = blocks[block]
        check(lang == 0, f"block {block}: language {lang}, expected 0 (neutral)")
        text = defaults[entry_id]
        # The entry alone, first in its block: length, UTF-16LE text, one zero word; the
        # block's other fifteen slots are not present.
        want = struct.pack("<H", len(text)) + text.encode("utf-16-le") + b"\0\0"
        check(data == want, f"block {block} (entry {entry_id}): {data!r}, expected {want!r}")
        check(wrestool_raw(exe, RT_STRING, block, lang) == data, f"block {block}: wrestool reads other bytes")


def check_message_table(exe, resources):
    found = [k for k in resources if k[0] == RT_MESSAGETABLE]
    if not check(found == [(RT_MESSAGETABLE, 1, 1033)], f"message tables {found}, expected type 11 name 1 lang 1033"):
        return
    data = resources[found[0]]
    entry = struct.pack("<HH", 12, 0) + b"%1\r\n\0\0\0\0"
    want = struct.pack("<I", 2) + struct.pack("<III", 0x40000001, 0x40000001, 28) + \
        struct.pack("<III", 0xC0000002, 0xC0000002, 40) + entry + entry
    check(data == want, f"message table {data!r}, expected {want!r}")
    check(wrestool_raw(exe, RT_MESSAGETABLE, 1, 1033) == data, "message table: wrestool reads other bytes")


def check_icon(exe, resources, ico_path):
    groups = [k for k in resources if k[0] == RT_GROUP_ICON]
    if not check([k[1] for k in groups] == ["MAINICON"], f"group icons {groups}, expected one named MAINICON"):
        return
    group = resources[groups[0]]
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    check((reserved, kind) == (0, 1) and len(group) == 6 + 14 * count, "MAINICON: malformed group header")
    ico = Path(ico_path).read_bytes()
    ico_count = struct.unpack_from("<H", ico, 4)[0]
    check(count == ico_count, f"MAINICON has {count} images, the icon file {ico_count}")
    for i in range(min(count, ico_count)):
        icon_id = struct.unpack_from("<H", group, 6 + 14 * i + 12)[0]
        size, at = struct.unpack_from("<II", ico, 6 + 16 * i + 8)
        images = [data for (rtype, name, _), data in resources.items() if rtype == RT_ICON and name == icon_id]
        check(images == [ico[at:at + size]], f"MAINICON image {i} (icon {icon_id}) differs from {ico_path}")
    check(wrestool_raw(exe, RT_GROUP_ICON, "MAINICON", groups[0][2]) == group, "MAINICON: wrestool reads other bytes")


def objdump(path):
    tool = os.environ.get("VARNLET_OBJDUMP") or "objdump"
    return subprocess.run([tool, "-p", str(path)], capture_output=True, text=True, check=True).stdout


def check_imports(exe):
    dump = objdump(exe)
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)}
    check(imports <= ALLOWED_IMPORTS, f"imports beyond the system DLLs: {sorted(imports - ALLOWED_IMPORTS)}")
    check({"kernel32.dll", "msvcrt.dll"} <= imports, f"imports {sorted(imports)} lack KERNEL32 or msvcrt")
    check(re.search(r"Subsystem\s+00000003", dump) is not None, "not a console-subsystem executable")


def check_exports(dll, names):
    dump = objdump(dll)
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    exported = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)", table[1], re.M) if len(table) == 2 else []
    check(sorted(exported) == sorted(names), f"{dll.name} exports {exported}, expected {names}")


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    arch, tree, entries_def = argv[1], Path(argv[2]), argv[3]
    exe = tree / ("varnlet.exe" if arch == "win32" else "varnlet64.exe")
    if not exe.exists():
        print(f"FAILED: {exe} is missing: build the {arch} preset first")
        return 1
    source = Path(entries_def).resolve().parent
    resources = read_resources(exe.read_bytes())
    check_string_table(exe, resources, entries(entries_def))
    check_message_table(exe, resources)
    check_icon(exe, resources, source / "varnlet.ico")
    check_imports(exe)
    doubles = tree / "tests/wine/testjvm"
    check_exports(doubles / "testjvm.dll", ["JNI_CreateJavaVM", "JNI_GetDefaultJavaVMInitArgs"])
    check_exports(doubles / "testjvm_noinit.dll", ["JNI_CreateJavaVM"])
    for failure in failures:
        print("FAILED:", failure)
    if not failures:
        print(f"{exe}: {len(resources)} resources, string table, message table, MAINICON, imports and the "
              f"test doubles' exports as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
