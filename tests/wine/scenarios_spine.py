"""Wine scenarios of the launcher's start-up: the string table read through LoadStringA, the
move into the executable's directory (where the INI file is read) and wildcard arguments.

Application A and B are launchers packed from the body with the entries of APPLICATIONS;
both name testjvm.dll (copied beside them), whose record shows what the JVM and main got.
"""
import re
from pathlib import Path

from winerun import expect, expect_eq

SOURCE = Path(__file__).resolve().parents[2]
NO_RUNTIME = "Unable to locate suitable Java Runtime Environment on this machine."

# A: an options file beside the executable. B: a service with a non-default uninstall switch.
APPLICATIONS = {
    "a": {"JvmPath": "testjvm.dll", "ClassPath": "variant.jar", "JvmOptions": "-Dvariant.embedded=a",
          "AppOptions": "embedded-a", "OptionsFile": "variant.ini", "MainClass": "org.varnlet.wine.VariantMain"},
    "b": {"JvmPath": "testjvm.dll", "ClassPath": "variant.jar", "AppOptions": "embedded-b",
          "ServiceName": "VarnletWineTest", "UninstallSwitch": "-remove"},
}


def default_entries():
    """id -> default text, from resources/entries.def."""
    pattern = re.compile(r'^VARNLET_ENTRY\((\d+), *(\w+), *(\w+), *"([^"]*)"')
    return {int(m.group(1)): m.group(4) for m in map(pattern.match, (SOURCE / "resources/entries.def")
                                                      .read_text().splitlines()) if m}


def install_variant(case, letter, directory, **changes):
    """Application A or B (with `changes` to its entries) packed into `directory`, with
    testjvm.dll and its (empty) class path archive beside it."""
    case.install("testjvm.dll", directory)
    case.write(Path(directory) / "variant.jar", "")
    return case.pack({**APPLICATIONS[letter], **changes}, directory, name=f"variant-{letter}")


def application_run(run):
    """The record of a run in which testjvm.dll created a JVM."""
    expect(run.record.exists, f"testjvm.dll was not used (exit code {run.code}, stderr {run.stderr!r})")
    run.record.one("create")
    return run.record


def main_arguments(record):
    thread, cls, cwd, count, *args = record.one("main")
    expect_eq(len(args), int(count), "recorded argument count")
    return args


def jvm_options(record):
    return [fields[1] for fields in record.all("option")]


def scenario_string_table(case):
    """The executable's own string table configures it: the body's default texts (no JvmPath,
    the no-runtime message) and a packed application's main class, options and arguments."""
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


def scenario_enters_executable_directory(case):
    """Started elsewhere, the process works in its own directory, where it reads its INI file,
    also when it sits at the root of a drive."""
    app, start = case.directory("app"), case.directory("start")
    exe = install_variant(case, "a", app)
    case.write(app / "variant.ini", "[Application Configuration]\nAppOptions=from-own-directory\n")
    case.write(start / "variant.ini", "[Application Configuration]\nAppOptions=from-start-directory\n")
    for drive in (None, "m"):  # mapped after the first run: wine names a path by the first drive holding it
        own = case.map_drive(drive, app) if drive else case.dos_path(app)
        run = case.run(exe, program=drive and own + exe.name, cwd=start, record=app / "testjvm.record")
        record = application_run(run)
        expect_eq(record.one("main")[2], own, "current directory of main")
        expect_eq(record.one("property")[:2], ["user.dir", own], "user.dir")
        expect_eq(main_arguments(record), ["from-own-directory"], "main's arguments")
        run.expect_exit(0)


def scenario_wildcard_arguments(case):
    """An unquoted wildcard argument is expanded in the start-up directory, before the launcher
    moves into its own: "-remov?" becomes B's uninstall switch only where such a file exists
    there (a service operation: no JVM, exit 0); several matches become several arguments."""
    app, start = case.directory("app"), case.directory("start")
    exe = install_variant(case, "b", app)
    case.write(start / "-remove", "")
    run = case.run(exe, ["-remov?"], cwd=start, record=app / "testjvm.record")
    run.expect_exit(0)
    expect(run.stderr.strip() != "" and not run.record.exists, f"-remov? is no uninstall: {run.stderr!r}")
    (start / "-remove").rename(app / "-remove")
    run = case.run(exe, ["-remov?"], cwd=start, record=app / "testjvm.record")
    expect_eq(main_arguments(application_run(run)), ["-remov?"], "main's arguments")
    for name in ("start/b.txt", "start/a.txt", "app/c.txt"):
        case.write(case.work / name, "")
    run = case.run(exe, ["*.txt", "x"], cwd=start, record=app / "testjvm.record")
    expect_eq(sorted(main_arguments(application_run(run))), ["a.txt", "b.txt", "x"], "main's arguments")
