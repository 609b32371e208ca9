"""Wine scenarios of the launcher's start-up: the string table read through LoadStringA, the
INI override, the move into the executable's directory, wildcard arguments, the service
switches and exit codes.

The launchers used: "launcher" is the body with its default entries; applications A and B
are launchers made from the body with varnlet-pack and the entries of APPLICATIONS. Both
name testjvm.dll (copied beside them) as their JVM, whose record shows what the JVM and
main received.
"""
import re
from pathlib import Path

from winerun import expect, expect_eq

SOURCE = Path(__file__).resolve().parents[2]
NO_RUNTIME = "Unable to locate suitable Java Runtime Environment on this machine."

# The test applications' entries, as varnlet-pack takes them. A: a relative options file
# beside the executable, non-default texts. B: a service name with a non-default uninstall
# switch, and an absolute options file (which overrides nothing).
APPLICATIONS = {
    "a": {"JvmPath": "testjvm.dll", "ClassPath": "variant.jar", "JvmOptions": "-Dvariant.embedded=a",
          "AppOptions": "embedded-a", "OptionsFile": "variant.ini", "MainClass": "org.varnlet.wine.VariantMain",
          "MsgNoRuntime": "Variant A found no Java runtime."},
    "b": {"JvmPath": "testjvm.dll", "ClassPath": "variant.jar", "JvmOptions": "-Dvariant.embedded=b",
          "AppOptions": "embedded-b", "OptionsFile": "C:\\varnlet-wine-absolute.ini",
          "ServiceName": "VarnletWineTest", "UninstallSwitch": "-remove",
          "MsgNoRuntime": "Variant B found no Java runtime."},
}


def default_entries():
    """id -> default text, from resources/entries.def."""
    entries = {}
    pattern = re.compile(r'^VARNLET_ENTRY\((\d+), *(\w+), *(\w+), *"([^"]*)"')
    for line in (SOURCE / "resources/entries.def").read_text().splitlines():
        m = pattern.match(line)
        if m:
            entries[int(m.group(1))] = m.group(4)
    return entries


def variant_entries(letter):
    return dict(APPLICATIONS[letter])


def install_variant(case, letter, directory, **changes):
    """Test application A or B (with `changes` to its entries; a value None drops the
    entry), packed into `directory` with testjvm.dll and its (empty) class path archive
    beside it."""
    case.install("testjvm.dll", directory)
    case.write(Path(directory) / "variant.jar", "")
    config = {key: value for key, value in {**APPLICATIONS[letter], **changes}.items() if value is not None}
    return case.pack(config, directory, name=f"variant-{letter}")


def application_run(run):
    """An ordinary run of a variant: testjvm.dll was created and main called; returns the
    record of testjvm.dll."""
    expect(run.record.exists, f"testjvm.dll was not used (exit code {run.code}, stderr {run.stderr!r})")
    run.record.one("create")
    return run.record


def main_arguments(record):
    """The arguments of the one main call."""
    thread, cls, cwd, count, *args = record.one("main")
    expect_eq(len(args), int(count), "recorded argument count")
    return args


def jvm_options(record):
    return [fields[1] for fields in record.all("option")]


# ---------------------------------------------------------------------------

def scenario_string_table(case):
    """The executable's own string table configures it: the body's default texts (no JvmPath,
    the no-runtime message) and a packed variant's main class, options and arguments."""
    body = case.install("launcher", case.directory("body"))
    run = case.run(body, cwd=body.parent)
    run.expect_lines("stderr", [NO_RUNTIME])
    run.expect_exit(255)
    app = case.directory("app")
    run = case.run(install_variant(case, "a", app), cwd=app, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(record.one("main")[1], "org/varnlet/wine/VariantMain", "main class")
    expect_eq(jvm_options(record), ["-Dvariant.embedded=a", "-Djava.class.path=variant.jar"], "JVM options")
    expect_eq(main_arguments(record), ["embedded-a"], "main's arguments from AppOptions")
    run.expect_exit(0)


def scenario_ini_override(case):
    """The INI file named by OptionsFile is read from the executable's directory when the
    launcher is started from another directory; keys outside the section, an empty value
    and a missing file change nothing."""
    app, start = case.directory("app"), case.directory("start")
    exe = install_variant(case, "a", app)
    ini = app / "variant.ini"
    # A decoy in the start-up directory must not be the one read.
    case.write(start / "variant.ini", "[Application Configuration]\nAppOptions=from-start-directory\n")

    case.write(ini, "[Other]\nJvmOptions=-Dwrong.section=1\n\n[Application Configuration]\n"
                    "JvmOptions = -Dfrom.ini=1  -Dsecond=2\nAppOptions=ini-1 ini-2\nUnused=x\n")
    run = case.run(exe, cwd=start, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(jvm_options(record), ["-Dfrom.ini=1", "", "-Dsecond=2", "-Djava.class.path=variant.jar"],
              "JVM options from the INI file")
    expect_eq(main_arguments(record), ["ini-1", "ini-2"], "main's arguments from the INI file")

    # An empty value leaves the embedded text; a key set alone replaces only its entry;
    # section and key names are not case-sensitive.
    case.write(ini, "[application configuration]\nJVMOPTIONS=\nappoptions=only-app\n")
    run = case.run(exe, cwd=start, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(jvm_options(record), ["-Dvariant.embedded=a", "-Djava.class.path=variant.jar"], "JVM options")
    expect_eq(main_arguments(record), ["only-app"], "main's arguments")

    # No file: nothing is read and nothing is reported.
    ini.unlink()
    run = case.run(exe, cwd=start, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(main_arguments(record), ["embedded-a"], "main's arguments from the embedded AppOptions")
    run.expect_lines("stderr", [])
    run.expect_exit(0)


def scenario_absolute_options_file(case):
    """An absolute OptionsFile overrides nothing, although the file exists."""
    app = case.directory("app")
    exe = install_variant(case, "b", app)
    absolute = variant_entries("b")["OptionsFile"]
    expect(absolute.startswith("C:\\"), "variant B names an absolute INI file on drive C:")
    case.file_in_drive_c(absolute[3:], "[Application Configuration]\nJvmOptions=-Dfrom.absolute=1\n"
                                       "AppOptions=absolute-arg\n")
    run = case.run(exe, cwd=app, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(jvm_options(record), ["-Dvariant.embedded=b", "-Djava.class.path=variant.jar"], "JVM options")
    expect_eq(main_arguments(record), ["embedded-b"], "main's arguments")
    run.expect_exit(0)


def scenario_enters_executable_directory(case):
    """The process works in its own directory: relative files resolve there when it is
    started elsewhere, also when it sits at the root of a drive."""
    app, start = case.directory("app"), case.directory("start")
    exe = install_variant(case, "a", app)
    case.write(app / "variant.ini", "[Application Configuration]\nAppOptions=from-own-directory\n")
    case.write(start / "variant.ini", "[Application Configuration]\nAppOptions=from-start-directory\n")

    for drive in (None, "m"):
        if drive:
            own = case.map_drive(drive, app)
            run = case.run(exe, program=own + exe.name, cwd=start, record=app / "testjvm.record")
        else:
            own = case.dos_path(app)
            run = case.run(exe, cwd=start, record=app / "testjvm.record")
        record = application_run(run)
        # No WorkingDir: main runs in the executable's directory, and user.dir says so.
        expect_eq(record.one("main")[2], own, "current directory of main")
        expect_eq(record.one("property")[:2], ["user.dir", own], "user.dir")
        expect_eq(main_arguments(record), ["from-own-directory"], "main's arguments")
        run.expect_exit(0)


def scenario_wildcard_arguments(case):
    """An unquoted wildcard argument is expanded in the start-up directory before the
    launcher moves into its own directory: "-remov?" becomes variant B's uninstall switch
    "-remove" only where a file of that name exists."""
    app, start = case.directory("app"), case.directory("start")
    exe = install_variant(case, "b", app)
    switch = variant_entries("b")["UninstallSwitch"]
    pattern = switch[:-1] + "?"

    case.write(start / switch, "")
    run = case.run(exe, [pattern], cwd=start, record=app / "testjvm.record")
    run.expect_exit(0)
    run.expect_lines("stdout", [])
    expect(run.stderr.strip() != "", f"{pattern} did not become the uninstall switch: stderr {run.stderr!r}")
    expect(not run.record.exists, "the JVM was created for a service switch")

    # The same file only in the executable's directory: nothing matches in the start-up
    # directory, so the pattern stays as it is and goes to the application.
    (start / switch).unlink()
    case.write(app / switch, "")
    run = case.run(exe, [pattern], cwd=start, record=app / "testjvm.record")
    expect_eq(main_arguments(application_run(run)), [pattern], "main's arguments")

    # Several matches become several arguments, in the start-up directory only.
    for name in ("b.txt", "a.txt"):
        case.write(start / name, "")
    case.write(app / "c.txt", "")
    run = case.run(exe, ["*.txt", "x"], cwd=start, record=app / "testjvm.record")
    expect_eq(sorted(main_arguments(application_run(run))), ["a.txt", "b.txt", "x"], "main's arguments")


def scenario_service_switches_and_exit_codes(case):
    """With ServiceName set, exactly one argument equal to a configured switch is a service
    operation (exit code 0, whatever its outcome); every other command line goes to main."""
    app = case.directory("app")
    exe = install_variant(case, "b", app)
    switch = variant_entries("b")["UninstallSwitch"]

    run = case.run(exe, [switch], cwd=app, record=app / "testjvm.record")
    run.expect_exit(0)
    run.expect_lines("stdout", [])
    # No such service: the system's text (which ends with its own line end), then an empty line.
    expect(run.stderr.endswith("\n\n") and len(run.stderr.strip()) > 0,
           f"uninstall without such a service: expected the system's error text, got {run.stderr!r}")
    expect(not run.record.exists, "the JVM was created for a service switch")

    for args in (["-uninstall"], [switch.upper()], [switch, "extra"], [switch + " "]):
        run = case.run(exe, args, cwd=app, record=app / "testjvm.record")
        expect_eq(main_arguments(application_run(run)), args, "main's arguments")
        run.expect_exit(0)

    # main throws: exit code 255 (-1).
    run = case.run(exe, ["x"], cwd=app, env={"TESTJVM_MAIN": "throw"}, record=app / "testjvm.record")
    expect_eq(application_run(run).one("main-end")[1], "throw", "main's outcome")
    run.expect_exit(255)

    # The body has no ServiceName: its default switches are ordinary arguments; it finds no
    # runtime here (no JvmPath, none in the registry) and ends with 255.
    body = case.install("launcher", case.directory("body"))
    for args in ([], ["-uninstall"], ["-install"], ["-startlauncherinservicemode"]):
        run = case.run(body, args, cwd=body.parent)
        run.expect_lines("stderr", [NO_RUNTIME])
        run.expect_lines("stdout", [])
        run.expect_exit(255)
