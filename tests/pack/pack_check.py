#!/usr/bin/env python3
"""varnlet-pack against the real launcher bodies, with a reader of its own for what it writes.

  pack_check.py TOOL WORK TARGET BODY   a launcher of every kind of value for TARGET (linux, win32, win64)
  pack_check.py TOOL WORK cli BODY      the command line on bad input, and init (BODY: Linux)

The reader below shares no code with varnlet-pack: if it and `show --json` agree on every
entry, and the values are the configured ones, the written file is what the launcher reads."""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from toml_text import toml_text  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL, WORK, TARGET, BODY = (sys.argv + [""] * 4)[1:5]  # tests/pack/differential.py imports the configurations
failures = []

def check(condition, what):
    if not condition:
        failures.append(what)

def pack(*args):
    return subprocess.run([TOOL, *args], capture_output=True, text=True)

def u16(b, at):
    return struct.unpack_from("<H", b, at)[0]

def u32(b, at):
    return struct.unpack_from("<I", b, at)[0]

def pe_layout(b):
    """(optional header offset, data directories offset, function mapping an RVA to a file offset)."""
    opt = u32(b, 0x3C) + 24
    sections = [struct.unpack_from("<IIII", b, opt + u16(b, opt - 4) + 40 * i + 8) for i in range(u16(b, opt - 18))]

    def at(rva):
        return next(raw + rva - va for size, va, _, raw in sections if va <= rva < va + size)
    return opt, opt + (112 if u16(b, opt) == 0x20B else 96), at

def pe_resources(b):
    """{(type, name): data} of every resource; every directory must list names, then ids, ascending."""
    _, dirs, at = pe_layout(b)
    root, found = at(u32(b, dirs + 16)), {}

    def walk(offset, path):
        keys = []
        for i in range(u16(b, offset + 12) + u16(b, offset + 14)):
            name, target = struct.unpack_from("<II", b, offset + 16 + 8 * i)
            if name & 0x80000000:
                s = root + (name & 0x7FFFFFFF)
                name = b[s + 2:s + 2 + 2 * u16(b, s)].decode("utf-16-le")
            keys.append((isinstance(name, int), name))
            if target & 0x80000000:
                walk(root + (target & 0x7FFFFFFF), path + [name])
            else:
                rva, size = struct.unpack_from("<II", b, root + target)
                found[tuple(path + [name])] = b[at(rva):at(rva) + size]
        check(keys == sorted(keys), "resource directory out of order: %r" % keys)
    walk(root, [])
    return found

def block_strings(block):
    texts, pos = [], 0
    while pos < len(block):
        n = u16(block, pos)
        texts.append(block[pos + 2:pos + 2 + 2 * n].decode("utf-16-le"))
        pos += 2 + 2 * n
    return texts

def elf_section(b):
    """(header offset, offset, size) of the configuration section."""
    shoff, shnum, names = struct.unpack_from("<Q", b, 0x28)[0], u16(b, 0x3C), u16(b, 0x3E)
    sections = [struct.unpack_from("<I20xQQ", b, shoff + 64 * i) for i in range(shnum)]
    strtab = sections[names][1]
    return next((shoff + 64 * i, off, size) for i, (name, off, size) in enumerate(sections)
                if b[strtab + name:strtab + name + 16] == b".varnlet_config\0")

def entries(b):
    """Entry id -> text (the non-empty ones), from a PE file's string table or an ELF file's configuration section."""
    found = {}
    if b[:4] == b"\x7fELF":
        pos = elf_section(b)[1] + 24
        while u16(b, pos):
            found[u16(b, pos)] = block_strings(b[pos + 4:pos + 4 + u16(b, pos + 2)])[0]
            pos += 4 + u16(b, pos + 2)
    else:
        for (kind, block, _), data in pe_resources(b).items():
            if kind == 6:
                found.update({(block - 1) * 16 + i: t for i, t in enumerate(block_strings(data))})
    return {i: t for i, t in found.items() if t}

# Every kind of value varnlet-pack writes; MinJavaVersion, here a TOML integer (a major version), is the one stored in another form.
CONFIG = {"icon": os.path.join(HERE, "app.ico"), "MinJavaVersion": 17,
          "JvmPath": ["jre/lib/server/libjvm.so", "C:\\Java\\bin\\server\\jvm.dll"], "JvmOptions": '-Xmx64m "-Dpack.quoted=a b"',
          "ClassPath": ["lib", "app.jar"], "JavaSearchMode": 5, "MainClass": "com.example.pack.RoundTripMain",
          "AppOptions": "first second", "OptionsFile": "app.ini", "UseStartupDir": True, "EarlyWorkingDir": False,
          "WorkingDir": "work", "ServiceName": "PackTestService", "ServiceDescription": "Grüße from a packed launcher",
          "ServiceStartOptions": "start", "ServiceStopOptions": "stop", "ServiceStopByExit": True, "ServiceManualStart": True,
          "SystemOutFile": "out.log", "SystemErrFile": "err.log", "InstallSwitch": "/install",
          "messages": {1472: "PACKED: no Java runtime here (100%% sure).", "MsgLoadJvm": "PACKED: cannot load %s"},
          "version": {"FileVersion": "2.3.4.5", "ProductVersion": "2.3-beta", "ProductName": "Pack Test", "CompanyName": "Example Ltd", "LegalCopyright": "(C) 2026 Example",
                      "FileDescription": "Pack round-trip launcher", "OriginalFilename": "packtest.exe", "Comments": "Built by the pack test",
                      "LegalTrademarks": "Pack Test is a mark of Example", "PrivateBuild": "by the tests", "SpecialBuild": "test 1"}}

CLI_FILES = {"bad.toml": 'target = "linux"\nClasspath = "x"\n', "untargeted.toml": 'ServiceName = "x"\n',
             "win32.toml": 'target = "win32"\n', "linux.toml": 'target = "linux"\nMainClass = "a.B"\n', "keep": "old",
             "icon.toml": 'target = "win32"\nicon = "icon.gif"\n', "icon.gif": "GIF89a, no icon", "nofile.toml": 'icon = "a.ico"',
             "app": 'target = "linux"\nMainClass = "a.B"\n', "ico.toml": 'target = "linux"\nicon = "app.ico"\n'}

def roundtrip():
    out, toml = os.path.join(WORK, "roundtrip-" + TARGET), os.path.join(WORK, "full.toml")
    open(toml, "w", encoding="utf-8").write(toml_text(dict(CONFIG, target=TARGET)))
    built = pack("build", toml, "--stub", BODY, "-o", out)
    check(built.returncode == 0, built.stderr)
    shown = json.loads(pack("show", out, "--json").stdout)
    values = {e["name"]: e["value"] for e in shown["entries"]}
    expected = {k: ";".join(v) if isinstance(v, list) else str(int(v) if isinstance(v, bool) else v)
                for k, v in CONFIG.items() if not isinstance(v, dict) and k != "icon"}
    expected.update(MinJavaVersion="0x00110000", MsgNoRuntime=CONFIG["messages"][1472], MsgLoadJvm=CONFIG["messages"]["MsgLoadJvm"])
    check({k: values[k] for k in expected} == expected, "show --json: %r" % values)
    unchanged = {"EarlyWorkingDir"}  # as the body's default; every entry not configured keeps it too
    check(sorted(e["name"] for e in shown["entries"] if e["changed"]) == sorted(set(expected) - unchanged), "changed entries")
    check(shown["target"] == TARGET, "target " + shown["target"])
    data = open(out, "rb").read()
    stored = {e["id"]: e["stored"] for e in shown["entries"] if e["stored"]}
    check(entries(data) == stored, "the reader and show disagree: %r" % (set(entries(data).items()) ^ set(stored.items())))
    check(re.fullmatch("[0-9A-F]{60}", stored[1168]) is not None, "main class not scrambled: " + stored[1168])
    again = pack("build", toml, "--stub", out, "-o", out + ".again")
    check(again.returncode == 0 and open(out + ".again", "rb").read() == data, "packing the result again changes it")
    body = open(BODY, "rb").read()
    if TARGET == "linux":  # rewritten in place
        _, offset, size = elf_section(data)
        check(len(data) == len(body) and data[:offset] == body[:offset] and data[offset + size:] == body[offset + size:],
              "more than the configuration section changed")
        damaged_elf(body, data, toml)
    else:
        windows_resources(data, body, shown)
        identity(body)
        signing()

def damaged_elf(body, data, toml):
    """Copies of the body cut short (to `keep` bytes) or with 32-bit words overwritten: building from each
    names what is wrong and writes nothing. The last, like an older body, lacks the first entry's record and has
    room for every record but that one."""
    header, offset, _ = elf_section(body)
    names = struct.unpack_from("<Q", body, 0x28)[0] + 64 * u16(body, 0x3E)
    end = offset + 24
    while u16(data, end):  # past the records of the launcher built from the body
        end += 4 + u16(data, end + 2)
    rows = [(40, {}, "the header is cut short"), (len(body) - 10, {}, "the section table lies outside the file"),
            (None, {header + 24: 0x7FFFFFF0}, "section .varnlet_config lies outside the file"),
            (None, {header: 0xFFFFFFF0}, "has no .varnlet_config section"),
            (None, {names + 4: 8}, "the section name table lies outside the file"),  # names without contents
            (None, {offset: 0}, "no magic header"), (None, {offset + 26: 0xFFF0, header + 32: 0x1000}, "runs past its end"),
            (None, {header + 32: 26}, "no end mark"),
            (None, {header + 32: end + 6 - offset, offset + 24: 1999 | u16(body, offset + 26) << 16}, "more than the")]
    for keep, words, error in rows:
        damaged, out = bytearray(body[:keep]), os.path.join(WORK, "damaged")
        for at, value in words.items():
            struct.pack_into("<I", damaged, at, value)
        open(out, "wb").write(damaged)
        run = pack("build", toml, "--stub", out, "-o", out + ".built")
        check(run.returncode != 0 and error in run.stderr and not os.path.exists(out + ".built"), error + ": " + run.stderr)

def windows_resources(data, body, shown):
    res, ico = pe_resources(data), open(os.path.join(HERE, "app.ico"), "rb").read()
    group = res[(14, "MAINICON", 1033)]
    for i in range(u16(ico, 4)):  # the group lists the file's images, each an icon resource of its bytes
        width, height, _, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        *head, icon = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        check(head == [width, height, 0, 0, planes, bits, size], "group entry %d: %r" % (i, head))
        check(res.get((3, icon, 1033)) == ico[offset:offset + size], "icon image %d" % i)
    version = next(d for (kind, *_), d in res.items() if kind == 16)
    fixed = version.find(struct.pack("<I", 0xFEEF04BD))
    check(struct.unpack_from("<4HII", version, fixed + 8)[:4] + struct.unpack_from("<I", version, fixed + 28) == (3, 2, 5, 4, 0x28),
          "file version, private and special build flags")
    for text in list(CONFIG["version"].values()):
        check((text + "\0").encode("utf-16-le") in version, "version information lacks " + text)
    check(shown["version"]["productVersion"] == "2.3.0.0", "product version")
    before = pe_resources(body)
    group = before[(14, "MAINICON", 1033)]  # width and height of each image, 0 for 256
    sizes = sorted((group[6 + 14 * i] or 256, group[7 + 14 * i] or 256) for i in range(u16(group, 4)))
    check(sizes == [(16, 16), (32, 32), (48, 48), (256, 256)], "the body's icon images: %r" % sizes)
    for kind in (11, 24):  # the event log's message table and the manifest stay the body's
        check([d for k, d in before.items() if k[0] == kind] == [d for k, d in res.items() if k[0] == kind], "type %d" % kind)
    # The body itself: a console program that imports system DLLs only.
    opt, dirs, at = pe_layout(body)
    check(u16(body, opt + 68) == 3, "not the console subsystem")
    imports, pos = [], at(u32(body, dirs + 8))
    while u32(body, pos + 12):
        name = at(u32(body, pos + 12))
        imports.append(body[name:body.index(b"\0", name)].decode().lower())
        pos += 20
    check(set(imports) <= {"kernel32.dll", "advapi32.dll", "user32.dll", "msvcrt.dll"}, "imports %r" % imports)

def pe_checksum(b):
    """The header's checksum computed afresh, the field itself counted as zero."""
    at, total = pe_layout(b)[0] + 64, 0
    for (word,) in struct.iter_unpack("<H", b[:at] + b"\0\0\0\0" + b[at + 4:] + b"\0" * (len(b) % 2)):
        total = (total + word) & 0xFFFF if total + word <= 0xFFFF else (total + word - 0xFFFF)
    return total + len(b)

def manifest_settings(data):
    """What Windows reads from the manifest, each where it looks for it, read by Python's XML parser."""
    v1, v3, root = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}", ElementTree.fromstring(data)
    setting = lambda year, name: root.findtext(f"{v3}application/{v3}windowsSettings/{{http://schemas.microsoft.com/SMI/{year}/WindowsSettings}}{name}")  # noqa: E731,E501
    return (root.find(f"{v3}trustInfo/{v3}security/{v3}requestedPrivileges/{v3}requestedExecutionLevel").get("level"), setting(2005, "dpiAware"),
            setting(2016, "dpiAwareness"), setting(2019, "activeCodePage"), len(root.findall("{urn:schemas-microsoft-com:compatibility.v1}compatibility/*/*")),
            [a.attrib for a in root.iterfind(f"{v1}dependency/{v1}dependentAssembly/{v1}assemblyIdentity")])

def identity(body):
    """Each launcher packed from the one before: the version information names the application
    (its settings, else the output's name), never Varnlet, and the manifest asks for the level and
    DPI mode, keeping the body's code page, common controls and systems."""
    manifest = next(d for k, d in pe_resources(body).items() if k[0] == 24)
    declared = {"permonitorv2": ("true/pm", "PerMonitorV2"), "system": ("true", "System"), "unaware": ("false", "Unaware")}
    settings = lambda level, dpi: (level, *declared[dpi], "UTF-8", 4, [{"type": "win32", "name": "Microsoft.Windows.Common-Controls",  # noqa: E731
        "version": "6.0.0.0", "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df", "language": "*"}])
    check(manifest_settings(manifest) == settings("asInvoker", "permonitorv2") and b"Varnlet" not in manifest, "the body's manifest")
    defaults = lambda name, file, version="0.0.0.0": {  # noqa: E731
        "CompanyName": "", "FileDescription": name, "FileVersion": version, "InternalName": name, "LegalCopyright": "",
        "OriginalFilename": file, "ProductName": name, "ProductVersion": version}
    rows = [({}, "setup-helper.exe", defaults("setup-helper", "setup-helper.exe"), "0.0.0.0", "asInvoker", "permonitorv2"),
            ({"name": "Helix Tool", "version": "1.2.3", "execution_level": "highestAvailable", "dpi_awareness": "system"}, "helix.exe",
             defaults("Helix Tool", "helix.exe", "1.2.3"), "1.2.3.0", "highestAvailable", "system"),
            ({"execution_level": "requireAdministrator", "dpi_awareness": "unaware",
              "version": {"CompanyName": "Ex", "FileVersion": "4.5", "OriginalFilename": "o.exe", "Comments": "c"}}, "admin.exe",
             dict(defaults("admin", "o.exe"), CompanyName="Ex", FileVersion="4.5", Comments="c"), "4.5.0.0", "requireAdministrator", "unaware"),
            ({}, "setup-helper.exe", defaults("setup-helper", "setup-helper.exe"), "0.0.0.0", "asInvoker", "permonitorv2")]
    stub = BODY
    for n, (config, name, strings, number, level, dpi) in enumerate(rows):
        toml, out = os.path.join(WORK, "identity.toml"), os.path.join(WORK, "identity%d" % n, name)
        os.makedirs(os.path.dirname(out))
        open(toml, "w").write(toml_text(dict(config, target=TARGET, MainClass="a.B")))
        run, stub = pack("build", toml, "--stub", stub, "-o", out), out
        shown = json.loads(pack("show", out, "--json").stdout)
        res = {k[0]: d for k, d in pe_resources(open(out, "rb").read()).items()}
        check((shown["version"]["strings"], shown["version"]["fileVersion"], shown["executionLevel"], shown["dpiAwareness"]) ==
              (strings, number, level, dpi), "identity %d: %r" % (n, shown))
        check(manifest_settings(res[24]) == settings(level, dpi) and "Varnlet".encode("utf-16-le") not in res[16],
              "identity %d: manifest %r or version resource" % (n, manifest_settings(res[24])))
        check(("OriginalFilename" in run.stderr) == (n == 2), "identity %d: %s" % (n, run.stderr))

def signing():
    """Signed with osslsigncode and a certificate of this test, then packed again: the signature
    goes with its padding and the header's entry, the checksum is right, and it signs again."""
    if not shutil.which("osslsigncode"):
        return check(False, "osslsigncode is not installed")
    path = lambda name: os.path.join(WORK, name)  # noqa: E731
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("key.pem"), "-out", path("cert.pem"),
                    "-subj", "/CN=Varnlet pack test", "-days", "2", "-addext", "extendedKeyUsage=codeSigning"], capture_output=True, check=True)
    open(path("sign.toml"), "w").write('target = "%s"\nname = "Signed App"\nMainClass = "a.B"\n' % TARGET)

    for n, stub in enumerate([BODY, path("signed0.exe")]):
        run, signed = pack("build", path("sign.toml"), "--stub", stub, "-o", path("app.exe")), path("signed%d.exe" % n)
        data, dirs = open(path("app.exe"), "rb").read(), pe_layout(open(path("app.exe"), "rb").read())[1]
        check((u32(data, dirs + 32), u32(data, dirs + 36)) == (0, 0) and u32(data, pe_layout(data)[0] + 64) == pe_checksum(data),
              "pack %d: certificate entry or checksum" % n)
        check(("signature has been removed" in run.stderr) == (n == 1) and (n == 0 or data == first), "pack %d: %s" % (n, run.stderr))
        first = data
        runs = [subprocess.run(["osslsigncode", *args], capture_output=True, text=True) for args in (
            ["sign", "-certs", path("cert.pem"), "-key", path("key.pem"), "-h", "sha256", "-in", path("app.exe"), "-out", signed],
            ["verify", "-CAfile", path("cert.pem"), signed])]
        check([r.returncode for r in runs] == [0, 0] and json.loads(pack("show", signed, "--json").stdout)["signed"],
              "sign and verify %d: %s" % (n, "".join(r.stdout + r.stderr for r in runs)))

def command_line():
    path = lambda name: os.path.join(WORK, name)  # noqa: E731
    for name, text in CLI_FILES.items():
        open(path(name), "w").write(text)
    shutil.copy(BODY, path("body-copy"))
    shutil.copy(os.path.join(HERE, "app.ico"), path("app.ico"))
    body = open(BODY, "rb").read()
    notepad = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe"
    rows = [(["build", path("bad.toml"), "--stub", BODY, "-o", path("keep")], 'bad.toml:2:1: unknown key "Classpath" (did you mean ClassPath?)'),
            (["build", path("linux.toml"), "--stub", BODY, "-o", os.path.join(WORK, ".", "linux.toml")], "is the configuration itself"),
            (["build", path("app"), "--stub", BODY], "is the configuration itself"),  # the output named after the configuration
            (["build", path("ico.toml"), "--stub", BODY, "-o", path("app.ico")], "is the icon itself"),
            (["build", path("untargeted.toml"), "-o", path("out")], "no target"),
            (["build", path("linux.toml"), "--stub", path("body-copy"), "-o", path("body-copy")], "is the launcher body itself")]
    for other in ["/bin/true"] + ([notepad] if os.path.exists(notepad) else []):  # programs, but no launchers
        rows += [(["show", other], "not a Varnlet launcher"),
                 (["build", path("untargeted.toml"), "--stub", other, "-o", path("out")], "not a Varnlet launcher")]
    for args, error in rows:
        run = pack(*args)
        check(run.returncode != 0 and error.lower() in run.stderr.lower(), "%s: exit %d, %s" % (args, run.returncode, run.stderr))
    check(sorted(os.listdir(WORK)) == sorted(list(CLI_FILES) + ["body-copy", "app.ico"]), "a failed build wrote a file")
    check(open(path("keep")).read() == "old" and open(BODY, "rb").read() == body, "a failed build changed a file")
    open(path("named.toml"), "w").write('MainClass = "a.B"\n')
    inferred = pack("build", path("named.toml"), "--stub", BODY, "-o", path("inferred"))  # the body gives the target
    check(inferred.returncode == 0 and "linux launcher" in pack("show", path("inferred")).stdout, "no target inferred")
    check('ClassPath is not set: the launcher keeps the body\'s "vantoHelix.jar"' in inferred.stderr, inferred.stderr)
    again = pack("build", path("untargeted.toml"), "--stub", path("inferred"), "-o", path("again"))  # the body names it
    check(again.returncode == 0, "a packed launcher's main class: " + again.stderr)
    open(path("svc.toml"), "w").write('MainClass = "a.B"\nServiceDelayedStart = true\nServiceDependencies = "Tcpip"\n')
    run = pack("build", path("svc.toml"), "--stub", BODY, "-o", path("svc"))  # Windows service settings, a Linux body
    check(run.returncode == 0 and run.stderr.count("is a Windows service setting that systemd units do not have") == 2
          and "svc.toml:2:23: warning: ServiceDelayedStart" in run.stderr, run.stderr)

    # init lists every entry with its default; uncommented, the defaults build the body's entries again, but
    # for today's reference rules and the class data cache, which a new configuration switches on.
    check(pack("init", path("sample.toml"), "--target", "linux").returncode == 0, "init")
    sample = open(path("sample.toml")).read()
    check(pack("init", path("sample.toml")).returncode != 0, "init replaced a file without --force")
    for name, text, changed in (("edited", sample.replace("# ClassPath = ", 'ClassPath = ["lib", "demo.jar"]\n#')
                                 .replace("# MainClass = ", 'MainClass = "a.B"\n#')
                                 .replace("# 1472 = ", '1472 = "from the sample"\n#'), ["ClassPath", "MainClass", "MsgNoRuntime", "ModernReferences", "ClassDataCache"]),
                                ("all", re.sub(r"^# ([A-Z]\w* = |1[4-7]\d\d = )", r"\1", pack("init", "--target", "linux")
                                               .stdout, flags=re.M), ["ModernReferences", "ClassDataCache"])):
        open(path(name + ".toml"), "w").write(text)
        run = pack("build", path(name + ".toml"), "--stub", BODY, "-o", path(name))
        shown = json.loads(pack("show", path(name), "--json").stdout) if run.returncode == 0 else {"entries": []}
        check(run.returncode == 0 and [e["name"] for e in shown["entries"] if e["changed"]] == changed, name + ": " + run.stderr)
    # The Linux sample ("all") lists every entry but the Windows-only ones; a Windows sample every entry and key.
    windows_only = {"JavaSearchMode", "ServiceDelayedStart", "ServiceDependencies", "icon", "gui", "name",
                    "execution_level", "dpi_awareness", "CompanyName"}
    for sample, absent in ((text, windows_only), (pack("init", "--target", "win32").stdout, set())):
        keys = set(re.findall(r"^(?:# )?(\w+) = ", sample, re.M))  # every entry, by its name or (messages) its id
        listed = {e["name"] for e in shown["entries"] if e["name"] in keys or str(e["id"]) in keys} | (keys & windows_only)
        check(listed == ({e["name"] for e in shown["entries"]} | windows_only) - absent, "init lists %r" % listed)

if __name__ == "__main__" and not os.path.exists(BODY):
    sys.exit(print("launcher body %s not built; skipping" % BODY) or 77)
elif __name__ == "__main__":
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    command_line() if TARGET == "cli" else roundtrip()
    print("\n".join("FAIL: " + f for f in failures) or "passed")
    sys.exit(1 if failures else 0)
