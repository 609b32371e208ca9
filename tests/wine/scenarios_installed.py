"""Wine scenarios of runtimes installed without registry entries: copies of testjvm.dll laid
out as a runtime (bin\\server\\jvm.dll and a `release` file), found through JAVA_HOME and
through the java.exe on PATH, passed over for a minimum or a width the launcher cannot load.
The record names the library loaded; -Dhome=%JAVA_HOME% the home the launcher chose."""
from scenarios_spine import NO_RUNTIME
from winerun import expect, expect_eq

JRE_KEY = r"HKLM\Software\JavaSoft\Java Runtime Environment"


def runtime(case, name, version, other_arch=False):
    """A runtime home in the scratch directory with a java.exe in its bin; its Windows path."""
    home = case.directory("runtimes", name)
    case.install("testjvm.dll", home / "bin" / "server", as_name="jvm.dll", other_arch=other_arch)
    case.write(home / "bin" / "java.exe", "stands in for the runtime's java.exe\n")
    (home / "release").write_text(f'IMPLEMENTOR="Varnlet tests"\nJAVA_VERSION="{version}"\n')
    return case.dos_path(home)


def run(case, java_home=None, path=None, minimum="0x00010003"):
    app = case.directory("app")
    exe = case.pack({"JvmPath": "", "MinJavaVersion": minimum, "ClassPath": "", "JvmOptions": '"-Dhome=%JAVA_HOME%"',
                     "MainClass": "org.varnlet.wine.Installed"}, app, name="installed")
    # WINEPATH goes before the system folders of wine's PATH.
    return case.run(exe, cwd=app, record=app / "testjvm.record",
                    env={"JAVA_HOME": java_home or "", "WINEPATH": path or ""})


def chosen_home(result):
    if not result.record.exists:
        return None
    result.expect_exit(0)
    library = result.record.one("library")[0]
    home = result.record.one("option")[1][len("-Dhome="):]
    expect_eq(library, home + r"\bin\server\jvm.dll", "library under the chosen home")
    return home


def scenario_java_home_path_minimum_and_width(case):
    """JAVA_HOME first, then the java.exe on PATH; a runtime below the minimum or of the other
    width is passed over for the next; the registry still comes before both."""
    case.reg_own(r"HKLM\Software\JavaSoft")
    jdk17 = runtime(case, "jdk-17", "17.0.9")
    jdk21 = runtime(case, "jdk-21", "21.0.1")
    other = runtime(case, "jdk-other-width", "21.0.1", other_arch=True)
    rows = [(jdk17, None, "0x00010003", jdk17), (None, jdk21 + r"\bin", "0x00010003", jdk21),
            (jdk17, jdk21 + r"\bin", "0x00150000", jdk21), (other, jdk21 + r"\bin", "0x00010003", jdk21)]
    wrong = [f"JAVA_HOME {h}, PATH {p}, minimum {m}: {got} instead of {want}"
             for h, p, m, want in rows for got in [chosen_home(run(case, h, p, m))] if got != want]
    expect(not wrong, "\n".join(wrong))

    # Nothing fits: the runtime passed over is named before the usual message.
    result = run(case, other)
    result.expect_exit(255)
    widths = (64, 32) if case.bits == 32 else (32, 64)
    expect_eq(result.stderr, "Java runtimes found but not used:\n"
              f"  {other}\\bin\\server\\jvm.dll: {widths[0]}-bit runtime, this launcher is {widths[1]}-bit\n"
              + NO_RUNTIME + "\n", "stderr")

    jre8 = runtime(case, "jre-8", "1.8.0_202")
    case.reg_add(JRE_KEY, "CurrentVersion", "1.8")
    case.reg_add(JRE_KEY + r"\1.8", "JavaHome", jre8)
    case.reg_add(JRE_KEY + r"\1.8", "RuntimeLib", jre8 + r"\bin\server\jvm.dll")
    expect_eq(chosen_home(run(case, jdk17, jdk21 + r"\bin")), jre8, "the registry's runtime")
