"""Wine scenarios of runtime discovery: the registry entries real Java installers write, with
copies of testjvm.dll as their jvm.dll, and the library the launcher picks for a
JavaSearchMode and a MinJavaVersion. The record's "library" event names the module loaded,
-Dhome=%JAVA_HOME% the home the search kept; a search that finds nothing ends with 1472.
"""
from scenarios_spine import NO_RUNTIME
from winerun import Failure, expect

JAVASOFT = r"HKLM\Software\JavaSoft"
JRE_KEY = JAVASOFT + r"\Java Runtime Environment"


def jre8(bits):
    return (r"C:\Program Files" if bits == 64 else r"C:\Program Files (x86)") + \
        r"\Java\jre1.8.0_202\bin" + (r"\server" if bits == 64 else r"\client") + r"\jvm.dll"


def jdk8(bits):
    return jre8(bits).replace(r"\jre1.8.0_202", r"\jdk1.8.0_202\jre")


def home_of(library):
    """The Java home a library lies in: the part before "\\jre\\bin" or "\\bin"."""
    return library[:library.index("\\jre\\bin\\" if "\\jre\\bin\\" in library else "\\bin\\")]


def installer(kind, bits):
    """What Oracle's Java 8 installer ("jre8" or "jdk8", 8u202) writes: (registry lines
    (key, value, data), library files). The kit has no RuntimeLib, and the 32-bit kit holds a
    server and a client library."""
    library = jre8(bits) if kind == "jre8" else jdk8(bits)
    key = JRE_KEY if kind == "jre8" else JAVASOFT + r"\Java Development Kit"
    values = [("JavaHome", home_of(library)), ("MicroVersion", "0")] + [("RuntimeLib", library)] * (kind == "jre8")
    lines = [(key + "\\" + v, *value) for v in ("1.8", "1.8.0_202") for value in values]
    files = {library, library.replace(r"\client", r"\server")} if kind == "jdk8" else {library}
    return [(key, "CurrentVersion", "1.8")] + lines, files


class Machine:
    """One case's registry and drive C: with installers added and removed."""

    def __init__(self, case):
        self.case, self.app = case, case.directory("app")
        case.reg_own(JAVASOFT)

    def install(self, kind, view=None):
        lines, files = installer(kind, self.case.bits if view is None else int(view[-2:]))
        for key, value, data in lines:
            self.case.reg_add(key, value, data, view=view)
        for path in files:
            self.case.copy_to_drive_c(self.case.artifact("testjvm.dll"), path)

    def choice(self, mode, minimum):
        """(the loaded library, the Java home the search kept), or None after 1472 and exit 255."""
        exe = self.case.pack({"JavaSearchMode": mode, "MinJavaVersion": minimum, "JvmPath": "", "ClassPath": "",
                              "JvmOptions": '"-Dhome=%JAVA_HOME%"', "MainClass": "org.varnlet.wine.Discovery"},
                             self.app, name=f"mode{mode}")
        run = self.case.run(exe, cwd=self.app, record=self.app / "testjvm.record")
        if run.code == 255 and run.stderr == NO_RUNTIME + "\n" and not run.record.exists:
            return None
        expect(run.record.exists, f"mode {mode}: no library loaded and no 1472: exit {run.code}, {run.stderr!r}")
        run.expect_exit(0)
        options = [line[1] for line in run.record.all("option")]
        expect(len(options) == 1 and options[0].startswith("-Dhome="), f"options {options}")
        return run.record.one("library")[0], options[0][len("-Dhome="):]

    def expect_choices(self, rows):
        """rows: (mode, minimum, expected library or None); all rows are run, then compared."""
        wrong = [f"JavaSearchMode {mode}, MinJavaVersion {minimum}: expected {want or '1472'}, got {got or '1472'}"
                 for mode, minimum, expected in rows for got in [self.choice(mode, minimum)]
                 for want in [expected and (expected, home_of(expected))] if got != want]
        if wrong:
            raise Failure("\n".join(wrong))


def scenario_java8_installers(case):
    """Written to the other registry view, no runtime is found (the launcher searches its own
    process's view). Java 8 JRE and JDK, alone and together: runtimes first (0), development
    kits first (1), runtimes only (2), development kits only (3). The 32-bit JDK holds a
    server and a client library: the client one wins."""
    machine = Machine(case)
    other = "/reg:32" if case.bits == 64 else "/reg:64"
    case.reg_own(JAVASOFT, other)
    machine.install("jre8", view=other)
    machine.expect_choices([(0, "0x00010003", None)])
    jre, jdk = jre8(case.bits), jdk8(case.bits)
    machine.install("jre8")
    machine.expect_choices([(0, "0x00010003", jre), (3, "0x00010003", None)])
    machine.install("jdk8")
    machine.expect_choices([(0, "0x00010003", jre), (1, "0x00010003", jdk), (3, "0x00010003", jdk)])
    case.reg_delete(JRE_KEY)
    machine.expect_choices([(0, "0x00010003", jdk), (2, "0x00010003", None)])

