"""Runtime discovery with copies of testjvm.dll as jvm.dll: in the registry, under the keys
Oracle's Java 8 installers (8u202) write, and without registry entries, through JAVA_HOME and
PATH (bin\\server\\jvm.dll, a `release` file, a java.exe). -Dhome=%JAVA_HOME% names the home
the launcher kept. (The unit tier has the order of every source and search mode.)"""
from winerun import NO_RUNTIME, NO_RUNTIME_HINT, expect, expect_eq

JAVASOFT = r"HKLM\Software\JavaSoft"

def chosen(case, env=None, **entries):
    """(library, home) the launcher ran with, or the run when it found no runtime."""
    app = case.directory("app")
    exe = case.pack({"JvmPath": "", "MinJavaVersion": "0x00010003", "ClassPath": "", "JvmOptions": '"-Dhome=%JAVA_HOME%"',
                     "MainClass": "org.varnlet.wine.Discovery", **entries}, app)
    run = case.run(exe, cwd=app, record=app / "testjvm.record", env=env)
    if not run.record.exists:
        return run
    expect(run.code == 0, f"{entries}: exit code {run.code}")
    return run.jvm().one("library")[0], run.record.one("option")[0][len("-Dhome="):]

def install(case, kind, bits):
    """Java 8's JRE or JDK as its installer leaves it: registry keys and jvm.dll files. The kit
    has no RuntimeLib, and the 32-bit kit holds a server and a client library."""
    home = (r"C:\Program Files" if bits == 64 else r"C:\Program Files (x86)") + r"\Java" + \
        (r"\jre1.8.0_202" if kind == "jre" else r"\jdk1.8.0_202")
    library = home + (r"\jre" if kind == "jdk" else "") + (r"\bin\server" if bits == 64 else r"\bin\client") + r"\jvm.dll"
    key = JAVASOFT + (r"\Java Runtime Environment" if kind == "jre" else r"\Java Development Kit")
    case.reg_add(key, "CurrentVersion", "1.8", f"/reg:{bits}")
    for version in ("1.8", "1.8.0_202"):
        for value, data in [("JavaHome", home), ("MicroVersion", "0")] + [("RuntimeLib", library)] * (kind == "jre"):
            case.reg_add(key + "\\" + version, value, data, f"/reg:{bits}")
    for path in {library, library.replace(r"\client", r"\server")}:
        target = case.wine.prefix / "drive_c" / path[3:].replace("\\", "/")
        case.install("testjvm.dll", target.parent, as_name="jvm.dll")
    return library, home

def scenario_java8_installers(case):
    """Written to the other registry view, no runtime is found (the launcher searches its own
    process's view). JRE and JDK: runtimes first (mode 0), development kits first (1); the
    32-bit JDK holds a server and a client library, and the client one wins."""
    for bits in (32, 64):
        case.reg_own(JAVASOFT, f"/reg:{bits}")
        case.drive_c((r"C:\Program Files" if bits == 64 else r"C:\Program Files (x86)") + r"\Java")
    install(case, "jre", 96 - case.bits)
    chosen(case, JavaSearchMode=0).expect(255, stderr=NO_RUNTIME + "\n" + NO_RUNTIME_HINT)
    jre, jdk = install(case, "jre", case.bits), install(case, "jdk", case.bits)
    expect_eq((chosen(case, JavaSearchMode=0), chosen(case, JavaSearchMode=1)), (jre, jdk), "modes 0 and 1")

def runtime(case, name, version, other_arch=False):
    """A runtime in the scratch directory: its home's Windows path and its library's."""
    home = case.directory("runtimes", name)
    case.install("testjvm.dll", home / "bin/server", as_name="jvm.dll", other_arch=other_arch)
    case.write(home / "bin/java.exe", "stands in for java.exe\n")
    (home / "release").write_text(f'IMPLEMENTOR="Varnlet tests"\nJAVA_VERSION="{version}"\n')
    return case.dos_path(home), case.dos_path(home) + r"\bin\server\jvm.dll"

def scenario_java_home_path_minimum_and_width(case):
    """JAVA_HOME (also quoted, or a kit's jre folder), then PATH; a runtime below the minimum or
    of the other width is passed over, and when nothing fits the runtimes found are named before
    1472; the registry comes first."""
    case.reg_own(JAVASOFT)
    (jdk17, _), (jdk21, _) = runtime(case, "jdk-17", "17.0.9"), runtime(case, "jdk-21", "21.0.1")
    other, other_library = runtime(case, "jdk-other-width", "21.0.1", other_arch=True)
    kit8 = case.directory("runtimes", "jdk-8")  # its release file beside the jre folder JAVA_HOME names
    case.install("testjvm.dll", kit8 / "jre/bin/server", as_name="jvm.dll")
    (kit8 / "release").write_text('JAVA_VERSION="1.8.0_202"\n')
    jre8 = case.dos_path(kit8) + r"\jre"
    # WINEPATH comes before the system folders in wine's PATH.
    rows = [(jdk17, "", "0x00010003", jdk17), ("", jdk21 + r"\bin", "0x00010003", jdk21),
            (jdk17, jdk21 + r"\bin", "0x00150000", jdk21), (other, jdk21 + r"\bin", "0x00010003", jdk21),
            (f'"{jdk17}"', "", "0x00010003", jdk17), (jre8, "", "0x00010008", jre8)]
    for java_home, path, minimum, home in rows:
        expect_eq(chosen(case, {"JAVA_HOME": java_home, "WINEPATH": path}, MinJavaVersion=minimum),
                  (home + r"\bin\server\jvm.dll", home), f"JAVA_HOME {java_home!r}, PATH {path!r}, minimum {minimum}")
    widths = (64, 32) if case.bits == 32 else (32, 64)
    chosen(case, {"JAVA_HOME": other}).expect(255, stderr=f"Java runtimes found but not used:\n  {other_library}: "
                                              f"{widths[0]}-bit runtime, this launcher is {widths[1]}-bit\n{NO_RUNTIME}\n{NO_RUNTIME_HINT}")
    jre8 = runtime(case, "jre-8", "1.8.0_202")
    case.reg_add(JAVASOFT + r"\Java Runtime Environment\1.8", "RuntimeLib", jre8[1])
    case.reg_add(JAVASOFT + r"\Java Runtime Environment\1.8", "JavaHome", jre8[0])
    expect_eq(chosen(case, {"JAVA_HOME": jdk17, "WINEPATH": jdk21 + r"\bin"}), (jre8[1], jre8[0]), "the registry's")
