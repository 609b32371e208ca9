"""Wine scenarios of launchers made with varnlet-pack: a packed executable runs with the
entries of its configuration file, written the ways a user writes them (messages by id and
by name, lists as arrays or as one text, flags as booleans, the version as "major.minor"),
and an INI named by OptionsFile overrides them at run time.
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


def scenario_packed_messages(case):
    """Configured message texts, by id and by name, replace the defaults; a "%s" in them
    takes the argument."""
    exe, app = install(case)
    (app / "jvm/testjvm.dll").unlink()
    run = case.run(exe, cwd=app)
    run.expect_lines("stderr", ["Packed: no Java here."])
    run.expect_exit(255)

    case.write(app / "jvm/testjvm.dll", "not a library")
    run = case.run(exe, cwd=app)
    lines = run.stderr.split("\n")
    expect(len(lines) >= 4 and lines[0].strip() != "" and lines[-3:] == ["", "Packed: cannot load jvm\\testjvm.dll.", ""],
           f"stderr {run.stderr!r}")
    run.expect_exit(255)


def scenario_packed_options_file(case):
    """The OptionsFile INI beside the packed executable overrides JvmOptions and AppOptions;
    the class path is still the packed one."""
    exe, app = install(case)
    case.write(app / "packed.ini", "[Application Configuration]\nJvmOptions=-Dfrom.ini=1\nAppOptions=ini-a ini-b\n")
    run = case.run(exe, cwd=case.directory("elsewhere"), record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(jvm_options(record), ["-Dfrom.ini=1", "-Djava.class.path=lib;lib\\one.jar;lib\\two.zip;app.jar"],
              "JVM options")
    expect_eq(main_arguments(record), ["ini-a", "ini-b"], "main's arguments")
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
