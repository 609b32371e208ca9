"""Runtimes without registry entries: testjvm.dll laid out as a runtime (bin\\server\\jvm.dll, a
`release` file, a java.exe). The record names the library, -Dhome=%JAVA_HOME% the home."""
from scenarios_spine import NO_RUNTIME
from winerun import expect, expect_eq

JRE_KEY = r"HKLM\Software\JavaSoft\Java Runtime Environment"


def runtime(case, name, version, other_arch=False):
    home = case.directory("runtimes", name)
    case.install("testjvm.dll", home / "bin" / "server", as_name="jvm.dll", other_arch=other_arch)
    case.write(home / "bin" / "java.exe", "stands in for java.exe\n")
    (home / "release").write_text(f'IMPLEMENTOR="Varnlet tests"\nJAVA_VERSION="{version}"\n')
    return case.dos_path(home)


def run(case, java_home, path="", minimum="0x00010003"):
    app = case.directory("app")
    exe = case.pack({"JvmPath": "", "MinJavaVersion": minimum, "ClassPath": "", "JvmOptions": '"-Dhome=%JAVA_HOME%"',
                     "MainClass": "org.varnlet.wine.Installed"}, app, name="installed")
    # WINEPATH comes before the system folders in wine's PATH.
    result = case.run(exe, cwd=app, record=app / "testjvm.record", env={"JAVA_HOME": java_home, "WINEPATH": path})
    if not result.record.exists:
        return result
    result.expect_exit(0)
    home = result.record.one("option")[1][len("-Dhome="):]
    expect_eq(result.record.one("library")[0], home + r"\bin\server\jvm.dll", "library under the home")
    return home


def scenario_java_home_path_minimum_and_width(case):
    """JAVA_HOME, then PATH; a runtime below the minimum or of the other width is passed over."""
    case.reg_own(r"HKLM\Software\JavaSoft")
    jdk17, jdk21 = runtime(case, "jdk-17", "17.0.9"), runtime(case, "jdk-21", "21.0.1")
    other = runtime(case, "jdk-other-width", "21.0.1", other_arch=True)
    rows = [(jdk17, "", "0x00010003", jdk17), ("", jdk21 + r"\bin", "0x00010003", jdk21),
            (jdk17, jdk21 + r"\bin", "0x00150000", jdk21), (other, jdk21 + r"\bin", "0x00010003", jdk21)]
    wrong = [(row, got) for row in rows for got in [run(case, *row[:3])] if got != row[3]]
    expect(not wrong, f"(JAVA_HOME, PATH, minimum, expected), got: {wrong}")
    result = run(case, other)
    widths = (64, 32) if case.bits == 32 else (32, 64)
    expect_eq((result.code, result.stderr), (255, "Java runtimes found but not used:\n  " + other +
              r"\bin\server\jvm.dll: %d-bit runtime, this launcher is %d-bit" % widths + "\n" + NO_RUNTIME + "\n"),
              "nothing fits")
    jre8 = runtime(case, "jre-8", "1.8.0_202")
    case.reg_add(JRE_KEY + r"\1.8", "RuntimeLib", jre8 + r"\bin\server\jvm.dll")
    case.reg_add(JRE_KEY + r"\1.8", "JavaHome", jre8)
    expect_eq(run(case, jdk17, jdk21 + r"\bin"), jre8, "the registry's runtime")
