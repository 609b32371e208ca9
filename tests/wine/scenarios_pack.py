"""Wine scenarios of launchers made with varnlet-pack: a packed executable runs with the
entries of its configuration file, written the ways a user writes them (messages by id and
by name, lists as arrays or as one text, flags as booleans, the version as "major.minor").
"""
from scenarios_spine import application_run, jvm_options, main_arguments
from winerun import expect, expect_eq

CONFIG = """\
# An application's launcher, as a user writes its configuration.
target = "win64"
MainClass = "com.example.packed.Main"
JvmPath = ["no\\\\such\\\\jvm.dll", "jvm\\\\testjvm.dll"]
ClassPath = ["lib", "app.jar"]
JvmOptions = '-Xmx64m "-Dpacked.text=two words" -Dpacked.flag'
AppOptions = "from-config"
OptionsFile = "packed.ini"
MinJavaVersion = "1.8"
JavaSearchMode = 0
UseStartupDir = false

[messages]
1472 = "Packed: no Java here."
MsgLoadJvm = "Packed: cannot load %s."
"""


def install(case):
    app = case.directory("app")
    case.install("testjvm.dll", app / "jvm")
    case.write(app / "app.jar", "")
    case.write(app / "lib/one.jar", "")
    case.write(app / "lib/two.zip", "")
    return case.pack(CONFIG, app, name="packed"), app


def scenario_packed_entries(case):
    """The configured main class, class path (a directory and its archives), JVM options
    and application arguments reach testjvm.dll; the JvmPath list's second entry is used."""
    exe, app = install(case)
    run = case.run(exe, cwd=app, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(record.one("library")[0], case.dos_path(app) + "\\jvm\\testjvm.dll", "library")
    expect_eq(jvm_options(record), ["-Xmx64m", "-Dpacked.text=two words", "-Dpacked.flag",
                                    "-Djava.class.path=lib;lib\\one.jar;lib\\two.zip;app.jar"], "JVM options")
    expect_eq(record.one("main")[1], "com/example/packed/Main", "main class")
    expect_eq(main_arguments(record), ["from-config"], "main's arguments")
    run.expect_lines("stderr", [])
    run.expect_exit(0)


def scenario_non_ascii_message(case):
    """A message with characters outside ASCII is stored as UTF-16 and comes out as UTF-8
    (the executables' manifest sets the UTF-8 code page, through which LoadStringA reads)."""
    app = case.directory("app")
    text = "Java fehlt \u2013 bitte installieren: \u00e4\u00f6\u00fc \u03a9"
    exe = case.pack({"JvmPath": "", "messages": {"MsgNoRuntime": text}}, app)
    run = case.run(exe, cwd=app, env={"LC_ALL": "C.UTF-8"})
    run.expect_lines("stderr", [text])
    run.expect_exit(255)
