#!/usr/bin/env python3
"""varnlet-pack and the Java packer (varnlet-pack.jar) on the configurations of examples/ and the pack tests and a set made
from entries.def and pack_rules.def (every key, good and bad values of every kind, broken TOML), for every target, and on the
command line's refusals: the same bytes, or the same exit code, output and errors. Arguments: TOOL JAR JAVA WORK BODIES..."""
import glob, hashlib, os, re, shutil, subprocess, sys, zipfile  # noqa: E401

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [os.path.dirname(HERE), HERE]
from pack_check import CLI_FILES, CONFIG  # noqa: E402
from toml_text import toml_text, toml_value  # noqa: E402

TOOL, JAR, JAVA, WORK = sys.argv[1:5]
BODIES = dict(zip(("linux", "win32", "win64"), sys.argv[5:8]))
Raw = type("Raw", (str,), {})  # a value written as it is (a hexadecimal integer, a float, an inline table)
value = lambda v: v if isinstance(v, Raw) else toml_value(v)  # noqa: E731

TEXT, RULES = (open(os.path.join(ROOT, f)).read() for f in ("resources/entries.def", "tools/pack/pack_rules.def"))

def entries():
    forms = {"List": "List", "PathList": "List", "OptionList": "Options"}
    return [(name, kind, forms.get(shape), (int(low), int(high)) if low else (-2 ** 31, 2 ** 31 - 1))
            for name, kind, shape, low, high in re.findall(r"^VARNLET_ENTRY\(\d+, (\w+), (\w+), (\w+)(?:\((-?\d+), (-?\d+),)?", TEXT, re.M)]

KINDS = {"Flag": [True, False, "yes", 1], "ReservedFlag": [True, "no"], "Message": ["text %s", "%s and %s", "%d", "100%% sure", "%-10s", "ends %", 5], "List": ["a;b",
         ["a", "b"], ["a;b"], [1], [""], 5], "Hex": [17, "1.8", "0x00010008", Raw("0x00110000"), Raw("0xFFFFFFFFF"), "abc", -1, "1.99", "17.16",
         Raw("1.5")], "Scrambled": ["com.example.Main", "", "a b", "x" * 256, "é.Main", ["a.B"]], "Text": ["value", "x" * 1024, 5, "tab\there é 😀", "a\0b"],
         "Options": ['-Xmx1g "-Da=b c"', ["-Da=b c", "-Xmx1g"], ['a"b c'], ['"x']]}
SPECIAL = {"SingleInstanceMutex": ["Global\\App", "Bad\\Name", "Global\\", "m" * 241], "ServiceDependencies": ["a/b", "a;;b", "x" * 257],
           "MainJar": ["app.jar", "app.zip", "broken.jar", "missing.jar", "badsum.jar"], "LogRotateSize": ["10 MB", "512KiB", "5 XB", "", " 1 gb "], "MainModule":
           ["com.example.app", "com.example.app/com.example.Main", "1bad", "a/1b", "a..b"], "ServiceAccount": ["LocalService", "NT SERVICE\\svc",
           "user:group", "Admin", "-bad", "nt authority\\networkservice"]}
BROKEN = ['x = "a\\sb"', 'x = "abc', "x 1", "x =", 'MainClass = "a.B" x', "x = 09", "x = 99999999999999999999", "[a", "a.b = 1\na = 2", "x = [1 2]",
          "x = {a=1,}", '"x" = 1.5e', "x = 1979-05-27", "x = tru", "Ä = 1", "x = 'abc", "x = \"\"\"abc", "x = '''a\nb'''", 'x = "\\u12"', 'x = "\\uD800"',
          "x = 0x", "x = 0b102", "x = 1__0", "x = +", "[[a]]\n[a]", "[a]\n[a]", "a = {b = 1}\n[a]", "x = [1,,]", "x = {,}", "[ [a] ]", "x = 1\nx = 2",
          "x.y = 1\nx.y.z = 2", "x = inf", "x = nan1", "x = 1.2.3", "x = .5", "x = 1e999", "x = 07:32:00", "x = 1979-05-27T07:32:00Z", "x = \"\\e\"",
          '"""k""" = 1', "x = \"a\rb\"", "x = 1 # c\u0001", "\ufeffMainClass = 'a.B'", "x = \"\\U0011FFFF\"", "[]", "x = [\n1, # c\n2,\n]",
          "a.'b c'.\"d\" = 1", "x = -0", "x = 0o777", "x = 1_000", "x = 0x_1", "x = 1979-13-27", "x = 25:00:00", "x = falsey", "x = \"tab\tok\"", "= 1",
          "x = @", "x = 1979-05-27 07:32:00.5+01:00", "x = 07:32", b'x = "\xff"', b'MainClass = "a.B"\r\nx = 1\r', b"\xe2\x82"]
BASE = 'MainClass = "a.B"\n'

def configurations():
    cases = []
    for name, kind, form, (low, high) in entries():
        values = [low, high, high + 1, low - 1, "5", Raw("1.5")] if "Integer" in kind else SPECIAL.get(name, []) + KINDS[form or kind]
        main = "" if name in ("MainClass", "MainJar", "MainModule") else BASE
        cases += [(f"{name}-{i}", main + f"{name} = {value(v)}\n") for i, v in enumerate(values)]
    tops = {"target": ["win32", "win16", 5], "output": ["out/app.exe", "", "/nonexistent/dir/app"], "gui": [True, False, "yes"], "icon": ["app.ico",
            "missing.ico", "icon.gif", 5], "name": ["My App", "", "x" * 1024, "Grüße"], "execution_level": ["asInvoker", "highestAvailable",
            "requireAdministrator", "admin"], "version": ["1.2.3", "1.2.3.4.5", "99999", 5, Raw('{FileVersion = "1.2", ProductName = "P"}'), "1.2.3-beta",
            "2.0 rc", "beta-1", "1.2.3.4.5-x", "1.-x"], "messages": ["x"], "dpi_awareness": [m for m in re.findall(r"^VARNLET_DPI_MODE\((\w+),", RULES, re.M)]
            + ["PerMonitorV2", "", 5]}
    cases += [(f"{key}-{i}", BASE + f"{key} = {value(v)}\n") for key, values in tops.items() for i, v in enumerate(values)]
    version = {k: ["t " + k, ""] for k in re.findall(r"^VARNLET_VERSION_KEY\((\w+),", RULES, re.M)}
    version.update({"FileVersion": ["4.5", "4.x", "1.2.3-rc1", "x1"], "ProductVersion": ["1.2.3.4", "2.0 beta", "beta 1"], "Comment": ["x"],
                    "OriginalFilename": ["o.exe", "app.exe"], "LegalCopyright": ["c" * 1024], "ProductName": [5]})
    for table, keys in (("version", version),
                        ("messages", {"1472": ["no %s"], "MsgLoadJvm": ["x"], "1473": ["x"], "1024": ["x"], "MsgNoRuntim": ["x"], "99999": ["x"], "1456": [5], "ClassPath": ["x"]})):
        cases += [(f"{table}.{k}-{i}", BASE + f"[{table}]\n{toml_value(k)} = {value(v)}\n") for k, vs in keys.items() for i, v in enumerate(vs)]
    together = ["ServiceDelayedStart = true\nServiceManualStart = true\n", 'ServiceName = "svc"\nServiceAccount = "NT SERVICE\\\\other"\n',
                'JvmOptions = "-Dx=%FOO -Dy=%1"\nClassPath = "%HOME%;50%"\n', "UseStartupDir = true\nEarlyWorkingDir = true\n",
                'StayInStartupDir = true\nWorkingDir = "w"\n', "UseStartupDir = true\nEarlyWorkingDir = false\nStayInStartupDir = true\nWorkingDir = ''\n", 'JvmOptions = "-Dx=%%"\nModernReferences = true\n', 'Classpath = "x"\nJvmOption = "y"\nJavaSerachMode = 1\n',
                'MsgNoRuntime = "a"\n[messages]\n1472 = "b"\n', 'ClassPath = "vantoHelix.jar"\n', "JavaSearchMode = 9\nClasspath = 1\nMainClass = 5\n",
                'gui = true\nname = "N"\nversion = "2.0"\nexecution_level = "highestAvailable"\nicon = "app.ico"\n',
                'version = "3.1-rc2"\ndpi_awareness = "system"\nServiceDelayedStart = true\nServiceDependencies = ["a", "b"]\n',
                'ServiceDelayedStart = false\nServiceDependencies = ""\n[version]\nSpecialBuild = "s"\nPrivateBuild = "p"\nComments = ""\n']
    together = [BASE + t for t in together] + ['MainJar = "app.jar"\nMainModule = "m"\n', 'ClassPath = "x"\n', "", 'MainClass = "org.vantohelix.launch.HelixMain"\n']
    cases += [(f"together-{i}", text) for i, text in enumerate(together)]
    cases += [(f"broken-{i}", text + ("\n" if isinstance(text, str) else b"")) for i, text in enumerate(BROKEN)]
    cases += [(f"example-{os.path.basename(f)}", open(f, encoding="utf-8").read()) for f in sorted(glob.glob(os.path.join(ROOT, "examples/*.toml")))]
    cases += [(f"pack_check-{n}", t) for n, t in CLI_FILES.items() if n.endswith(".toml") or n == "app"]
    cases.append(("pack_check-full", toml_text(dict(CONFIG, icon="app.ico"))))
    return cases

def case_files(directory):
    os.makedirs(directory)
    shutil.copy(os.path.join(HERE, "app.ico"), directory)
    for name, data in (("icon.gif", b"GIF89a, no icon"), ("broken.jar", b"PK not a zip")):
        open(os.path.join(directory, name), "wb").write(data)
    with zipfile.ZipFile(os.path.join(directory, "app.jar"), "w") as jar:
        jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\nMain-Class: a.B\n")
    jar = open(os.path.join(directory, "app.jar"), "rb").read()  # the manifest's checksum made wrong, where java -jar does not look
    open(os.path.join(directory, "badsum.jar"), "wb").write(jar[:jar.rindex(b"PK\x01\x02") + 16] + b"\0\0\0\0" + jar[jar.rindex(b"PK\x01\x02") + 20:])

def runs():
    found = []
    for name, text in configurations():
        for target in BODIES:
            directory = os.path.join(WORK, f"{name}.{target}")
            case_files(directory)
            open(os.path.join(directory, "app.toml"), "wb").write(text.encode() if isinstance(text, str) else text)
            out = os.path.join(directory, "app.exe")
            found.append((f"{name}.{target}", ["build", os.path.join(directory, "app.toml"), "--target", target, "--stub", BODIES[target], "-o", out], out))
    # Windows bodies: one packed already (its texts and build flags replaced), ones whose manifest lacks the DPI settings or the
    # settings element or holds an unreadable one (same-length edits)
    for (target, body), (kind, edit) in ((t, b) for t in BODIES.items() if t[0] != "linux" for b in {"packed": None, "nodpi":
                                         rb"<dpiAware .*?</dpiAwareness>", "nosettings": rb'<application xmlns="urn.*?</application>',
                                         "closed": rb">true/pm</dpiAware>"}.items()):
        variant = os.path.join(WORK, f"{kind}.{target}.exe")
        if edit:
            open(variant, "wb").write(re.sub(edit, lambda m: (b"/>" if kind == "closed" else b"").ljust(len(m[0])), open(body, "rb").read(), 1, re.S))
        else:
            open(full := variant[:-3] + "toml", "w").write(toml_text(dict(CONFIG, target=target)))
            subprocess.run([TOOL, "build", full, "--stub", body, "-o", variant], check=True, capture_output=True)
        for i, text in enumerate([BASE, BASE + 'dpi_awareness = "unaware"\n']):
            open(config := os.path.join(WORK, f"{kind}-{i}.{target}.toml"), "w").write(text)
            found.append((f"{kind}-{i}.{target}", ["build", config, "--stub", variant, "-o", out := config[:-4] + "exe"], out))
    case_files(odd := os.path.join(WORK, "odd"))
    (config, gif, missing), linux = (os.path.join(odd, f) for f in ("app.toml", "icon.gif", "missing")), BODIES["linux"]
    open(config, "w").write(BASE)
    for i, args in enumerate([[], ["help"], ["--version"], ["frobnicate"], ["build"], ["build", "a", "b"], ["build", "-x"], ["build", "-o"],
                              ["build", "--target", "win16"], ["build", missing], ["build", config, "--stub", missing],
                              ["build", config, "--target", "win32", "--stub", linux], ["build", config, "--stub", gif],
                              ["build", config, "--target", "linux", "--stub", linux, "-o", odd], ["build", config, "--stub", linux, "-o", config],
                              ["build", config, "--stub", linux], ["show"], ["show", gif], ["show", missing], ["init", config], ["init", "a", "b"]] +
                             [[command, BODIES[t], *more] for t in BODIES for command, more in (("show", []), ("show", ["--json"]))] +
                             [["init", "--target", t] for t in BODIES]):
        found.append((f"odd-{i}", args, None))
    return found

def digest(out):  # of a written launcher, which then goes: they are large and many
    data = out and os.path.exists(out) and hashlib.sha256(open(out, "rb").read()).hexdigest()
    return data and (os.remove(out) or data) or None

def main():
    if not all(os.path.exists(body) for body in BODIES.values()):
        return print(f"a launcher body of {list(BODIES.values())} is not built; skipping") or 77
    shutil.rmtree(WORK, ignore_errors=True)
    cases, native = [], {}
    for name, args, out in runs():
        run = subprocess.run([TOOL] + args, capture_output=True)
        cases.append((name, args, out))
        shown = out and os.path.exists(out) and subprocess.run([TOOL, "show", out, "--json"], capture_output=True)
        native[name] = (run.returncode, run.stdout, run.stderr, digest(out))
        if shown:  # each launcher read back by both
            cases.append((name + ".show", ["show", out, "--json"], None))
            native[name + ".show"] = (shown.returncode, shown.stdout, shown.stderr, None)
    open(os.path.join(WORK, "runs.txt"), "w").writelines("\t".join([os.path.join(WORK, name)] + args) + "\n" for name, args, _ in cases)
    subprocess.run([JAVA, "-cp", JAR, os.path.join(HERE, "Batch.java"), os.path.join(WORK, "runs.txt")], check=True)
    failures = []
    for name, args, out in cases:
        base = os.path.join(WORK, name)
        java = (int(open(base + ".rc").read()), open(base + ".out", "rb").read(), open(base + ".err", "rb").read(), digest(out))
        if java != native[name]:
            failures.append(f"{name}: {' '.join(args)}\n  native {native[name][:3]}\n  java   {java[:3]}"
                            + ("\n  the launchers differ" if java[:3] == native[name][:3] else ""))
    print("\n".join(failures) + f"\n{len(cases) - len(failures)} passed, {len(failures)} failed "
          f"({sum(1 for n in native.values() if n[3])} launchers, {len(configurations())} configurations)")
    return 1 if failures else 0

if __name__ == "__main__":
    sys.exit(main())
