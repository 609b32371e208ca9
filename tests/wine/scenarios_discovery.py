"""Wine scenarios of runtime discovery: the registry entries that real Java installers write,
with copies of testjvm.dll as their jvm.dll files, and the library the launcher picks for a
JavaSearchMode and a MinJavaVersion, in the real registry and its two views.

Which library was chosen: the record of testjvm.dll names the module the launcher loaded
(its "library" event, from GetModuleFileNameA), and the option -Dhome=%JAVA_HOME% shows the
Java home the registry search kept. A search that finds nothing ends with message 1472.
The keys go into the launcher's own registry view: /reg:64 for varnlet64.exe, /reg:32
for varnlet.exe.
"""
from scenarios_spine import NO_RUNTIME
from winerun import Failure, Skip, expect, expect_eq

JAVASOFT = r"HKLM\Software\JavaSoft"
ADOPTIUM = r"HKLM\Software\Eclipse Adoptium"
JRE_KEY = JAVASOFT + r"\Java Runtime Environment"
JDK_KEY = JAVASOFT + r"\Java Development Kit"


def program_files(bits):
    return r"C:\Program Files" if bits == 64 else r"C:\Program Files (x86)"


def java8_jre(bits):
    """Oracle Java 8 JRE 8u202: (registry lines, library files, home)."""
    home = program_files(bits) + r"\Java\jre1.8.0_202"
    lib = home + (r"\bin\server\jvm.dll" if bits == 64 else r"\bin\client\jvm.dll")
    lines = [(JRE_KEY, "CurrentVersion", "1.8"), (JRE_KEY, "BrowserJavaVersion", "11.202.2")]
    for version in ("1.8", "1.8.0_202"):
        lines += [(JRE_KEY + "\\" + version, "JavaHome", home), (JRE_KEY + "\\" + version, "MicroVersion", "0"),
                  (JRE_KEY + "\\" + version, "RuntimeLib", lib)]
    return lines, [lib], home


def java8_jdk(bits):
    """Oracle Java 8 JDK 8u202: no RuntimeLib; the library lies under the home's jre."""
    home = program_files(bits) + r"\Java\jdk1.8.0_202"
    lines = [(JDK_KEY, "CurrentVersion", "1.8")]
    for version in ("1.8", "1.8.0_202"):
        lines += [(JDK_KEY + "\\" + version, "JavaHome", home), (JDK_KEY + "\\" + version, "MicroVersion", "0")]
    # The 32-bit kit has both; the client library must win.
    files = [home + r"\jre\bin\server\jvm.dll"] if bits == 64 else [home + r"\jre\bin\server\jvm.dll",
                                                                     home + r"\jre\bin\client\jvm.dll"]
    return lines, files, home


def oracle_jdk17(bits):
    home = r"C:\Program Files\Java\jdk-17"
    lib = home + r"\bin\server\jvm.dll"
    key = JAVASOFT + r"\JDK"
    lines = [(key, "CurrentVersion", "17")]
    for version in ("17", "17.0.9"):
        lines += [(key + "\\" + version, "JavaHome", home), (key + "\\" + version, "RuntimeLib", lib)]
    return lines, [lib], home


def adoptium_jdk21(bits):
    """The Temurin MSI: one key per version, the home with a trailing backslash."""
    home = r"C:\Program Files\Eclipse Adoptium\jdk-21.0.1.12-hotspot"
    key = ADOPTIUM + r"\JDK\21.0.1.12\hotspot\MSI"
    lines = [(key, "Path", home + "\\"), (key, "Main", 1), (key, "EnvironmentPath", 1)]
    return lines, [home + r"\bin\server\jvm.dll"], home


def jre8(bits):
    return program_files(bits) + r"\Java\jre1.8.0_202\bin" + ("\\server" if bits == 64 else "\\client") + r"\jvm.dll"


def jdk8(bits):
    return program_files(bits) + r"\Java\jdk1.8.0_202\jre\bin" + ("\\server" if bits == 64 else "\\client") + r"\jvm.dll"


JDK17 = r"C:\Program Files\Java\jdk-17\bin\server\jvm.dll"
# One backslash before "bin": the trailing backslash of the MSI's Path is not doubled.
T21 = r"C:\Program Files\Eclipse Adoptium\jdk-21.0.1.12-hotspot\bin\server\jvm.dll"


def home_of(library):
    """The Java home a library lies in: the part before "\jre\bin" or "\bin"."""
    for marker in ("\\jre\\bin\\", "\\bin\\"):
        if marker in library:
            return library[:library.index(marker)]
    raise Failure(f"no home in {library}")


class Machine:
    """One case's registry and drive C: with installers added and removed."""

    def __init__(self, case):
        self.case = case
        self.app = case.directory("app")
        for root in (JAVASOFT, ADOPTIUM):
            case.reg_own(root)

    def install(self, installer, view=None):
        lines, files, home = installer(self.case.bits if view is None else int(view[-2:]))
        for key, value, data in lines:
            kind = "REG_DWORD" if isinstance(data, int) else "REG_SZ"
            self.case.reg_add(key, value, str(data), kind, view=view)
        for path in files:
            self.case.copy_to_drive_c(self.case.artifact("testjvm.dll"), path)
        return home

    def uninstall(self, key, view=None):
        self.case.reg_delete(key, view)

    def launcher(self, mode, minimum="0x00010003", jvm_path=""):
        return self.case.pack({"JavaSearchMode": mode, "MinJavaVersion": minimum, "JvmPath": jvm_path,
                               "ClassPath": "", "JvmOptions": '"-Dhome=%JAVA_HOME%"',
                               "MainClass": "org.varnlet.wine.Discovery"}, self.app, name=f"mode{mode}")

    def choice(self, mode, minimum="0x00010003", jvm_path=""):
        """Runs a launcher: (the loaded library, the Java home the search kept), or None when
        the search found nothing (message 1472, exit 255)."""
        exe = self.launcher(mode, minimum, jvm_path)
        run = self.case.run(exe, cwd=self.app, record=self.app / "testjvm.record")
        if run.code == 255 and run.stderr == NO_RUNTIME + "\n":
            expect(not run.record.exists, "a record although no library was found")
            return None
        expect(run.record.exists, f"mode {mode}: no library loaded and no 1472: exit {run.code}, {run.stderr!r}")
        run.expect_exit(0)
        options = [line[1] for line in run.record.all("option")]
        expect(len(options) == 1 and options[0].startswith("-Dhome="), f"options {options}")
        return run.record.one("library")[0], options[0][len("-Dhome="):]

    def expect_choices(self, rows):
        """rows: (mode, minimum, expected library or None); all rows are run, then compared."""
        wrong = []
        for mode, minimum, expected in rows:
            got = self.choice(mode, minimum)
            want = None if expected is None else (expected, home_of(expected))
            if got != want:
                wrong.append(f"JavaSearchMode {mode}, MinJavaVersion {minimum}: expected "
                             f"{want or '1472'}, got {got or '1472'}")
        if wrong:
            raise Failure("\n".join(wrong))


def only_64bit_installers(case):
    if case.bits == 32:
        raise Skip("Oracle JDK 17 and the Temurin JDK 21 MSI are 64-bit only: varnlet.exe cannot load them")


# ---------------------------------------------------------------------------

def scenario_java8_installers(case):
    """Java 8 JRE and JDK, alone and together: runtimes first (0), development kits first (1),
    runtimes only (2), development kits only (3). The 32-bit JDK
    holds a server and a client library: the client one wins."""
    machine = Machine(case)
    jre, jdk = jre8(case.bits), jdk8(case.bits)
    machine.install(java8_jre)
    machine.expect_choices([(0, "0x00010003", jre), (3, "0x00010003", None)])
    machine.install(java8_jdk)
    machine.expect_choices([(0, "0x00010003", jre), (1, "0x00010003", jdk), (3, "0x00010003", jdk)])
    machine.uninstall(JRE_KEY)
    machine.expect_choices([(0, "0x00010003", jdk), (2, "0x00010003", None)])


def scenario_current_installers(case):
    """Oracle JDK 17 and the Adoptium JDK 21 MSI alone, then with both Java 8 installers:
    the classic keys come first, and MinJavaVersion passes over Java 8 (17, 21) or every
    runtime (22)."""
    only_64bit_installers(case)
    machine = Machine(case)
    machine.install(oracle_jdk17)
    machine.expect_choices([(0, "0x00010003", JDK17), (2, "0x00010003", None)])
    machine.uninstall(JAVASOFT + r"\JDK")
    machine.install(adoptium_jdk21)
    expect_eq(case.reg_query(ADOPTIUM + r"\JDK\21.0.1.12\hotspot\MSI", "Path"),
              home_of(T21) + "\\", "the MSI's Path as written")
    machine.expect_choices([(0, "0x00010003", T21)])
    for installer in (java8_jre, java8_jdk, oracle_jdk17):
        machine.install(installer)
    machine.expect_choices([(0, "0x00010003", jre8(64)), (1, "0x00010003", jdk8(64)), (0, "0x00110000", JDK17),
                            (0, "0x00150000", T21), (0, "0x00160000", None)])


def scenario_other_registry_view(case):
    """The launcher searches its own process's view only: runtimes written to the other
    view are not found."""
    other = "/reg:32" if case.bits == 64 else "/reg:64"
    machine = Machine(case)
    for root in (JAVASOFT, ADOPTIUM):
        case.reg_own(root, other)
    machine.install(java8_jre, view=other)
    if case.bits == 32:
        machine.install(oracle_jdk17, view=other)
    machine.expect_choices([(0, "0x00010003", None), (2, "0x00010003", None)])
