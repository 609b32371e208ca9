"""Wine scenarios of a console run end to end with testjvm.dll: the JVM's arguments record,
main's arguments and directory, non-ASCII text on its way into Java, and the exit codes.

The launchers are packed with JvmPath "testjvm.dll" beside them; TESTJVM_* variables script
what main does.
"""
from scenarios_spine import application_run, main_arguments
from winerun import expect, expect_eq


def application(case, app, **entries):
    case.install("testjvm.dll", app)
    case.write(app / "run.jar", "")
    config = {"JvmPath": "testjvm.dll", "ClassPath": "run.jar", "MainClass": "org.varnlet.wine.RunMain"}
    config.update(entries)
    return case.pack(config, app, name="run")


def errorlevel(case, exe, env=None):
    """The exit code as Windows programs see it: cmd's %errorlevel% after the run."""
    case.require_wine_child_processes_32()
    run = case.run(exe, ["/c", f"{exe.name} & echo errorlevel=%errorlevel%"], cwd=exe.parent, env=env,
                   program="cmd")
    levels = [line for line in run.stdout.split("\n") if line.startswith("errorlevel=")]
    expect(len(levels) == 1, f"no errorlevel line in {run.stdout!r}")
    return int(levels[0][len("errorlevel="):])


def scenario_main_arguments(case):
    """Command-line arguments reach main as they were given (blanks, quotes, backslashes, an
    empty argument); without any, AppOptions split by its own rules; never both; an empty
    AppOptions gives a zero-length array."""
    app = case.directory("app")
    exe = application(case, app, AppOptions='one "two three" four')
    given = ["a b", 'q"uote', "back\\slash\\", "", "-Dnot.an.option=1"]
    run = case.run(exe, given, cwd=app, record=app / "testjvm.record")
    expect_eq(main_arguments(application_run(run)), given, "main's arguments from the command line")
    run = case.run(exe, cwd=app, record=app / "testjvm.record")
    expect_eq(main_arguments(application_run(run)), ["one", "two three", "four"], "main's arguments from AppOptions")
    exe = application(case, app, AppOptions="")
    run = case.run(exe, cwd=app, record=app / "testjvm.record")
    expect_eq(application_run(run).one("main")[3:], ["0"], "main's arguments without any")
    expect_eq(application_run(run).all("newarray"), [["java/lang/String", "0"]], "the array main got")
    run.expect_exit(0)


def scenario_non_ascii_text(case):
    """Arguments and the directory cross into Java as modified UTF-8 (the executables carry
    the UTF-8 code page in their manifest): BMP characters as UTF-8, a character beyond the
    BMP as a surrogate pair of three bytes each, and never a malformed string."""
    app = case.directory("app", "d\u00e9j\u00e0 \u03a9")
    exe = application(case, app)
    given = ["h\u00e9llo", "\u03a9mega \u4e2d\u6587", "x\u20ac", "smile\U0001F600"]
    # The loader turns the Linux arguments into Windows text by the locale's character set.
    run = case.run(exe, given, cwd=app, record=app / "testjvm.record", env={"LC_ALL": "C.UTF-8"})
    record = application_run(run)
    expect_eq(record.all("malformed-utf8"), [], "strings handed to NewStringUTF that are not modified UTF-8")
    raw = [arg.encode("utf-8", "surrogateescape") for arg in main_arguments(record)]
    expected = [arg.encode("utf-8") for arg in given[:3]] + [b"smile\xed\xa0\xbd\xed\xb8\x80"]
    expect_eq(raw, expected, "bytes main received")
    expect_eq(record.one("property")[1], case.dos_path(app), "user.dir")
    run.expect_exit(0)


def scenario_exit_codes(case):
    """0 after main returns; -1 (255 as the loader's exit status) after main throws or the
    main class is missing; System.exit's status as it is."""
    app = case.directory("app")
    exe = application(case, app)
    run = case.run(exe, cwd=app, record=app / "testjvm.record")
    expect_eq(application_run(run).one("main-end")[1], "return", "main's outcome")
    run.expect_exit(0)

    run = case.run(exe, cwd=app, env={"TESTJVM_MAIN": "throw"}, record=app / "testjvm.record")
    expect_eq(application_run(run).one("main-end")[1], "throw", "main's outcome")
    expect_eq(run.stderr.split("\n")[-2:], ["Error invoking method: main(java/lang/String[])", ""], "stderr")
    run.expect_exit(255)

    run = case.run(exe, cwd=app, env={"TESTJVM_FAIL_CLASS": "org/varnlet/wine/RunMain"},
                   record=app / "testjvm.record")
    expect(run.stderr.endswith("Error locating class: org/varnlet/wine/RunMain\n"), f"stderr {run.stderr!r}")
    expect(not run.record.all("main"), "main was called")
    run.expect_exit(255)

    run = case.run(exe, cwd=app, env={"TESTJVM_MAIN": "exit=3"}, record=app / "testjvm.record")
    expect_eq(run.record.one("exit")[0], "3", "System.exit status")
    run.expect_exit(3)


def scenario_errorlevel_in_cmd(case):
    """The exit codes as cmd's %errorlevel%: 0 after main returns, -1 after main throws."""
    app = case.directory("app")
    exe = application(case, app)
    expect_eq(errorlevel(case, exe), 0, "errorlevel after main returned")
    expect_eq(errorlevel(case, exe, env={"TESTJVM_MAIN": "throw"}), -1, "errorlevel after main threw")


def scenario_streams_to_one_file(case):
    """SystemOutFile and SystemErrFile naming one file (letter case aside, as Windows
    compares names): one stream on it that System.err shares, so lines keep their order."""
    app = case.directory("app")
    case.directory("app", "logs")
    exe = application(case, app, SystemOutFile="logs\\app.log", SystemErrFile="LOGS\\App.log")
    run = case.run(exe, cwd=app, env={"TESTJVM_MAIN": "print"}, record=app / "testjvm.record")
    application_run(run)
    expect_eq((app / "logs" / "app.log").read_bytes(), b"testjvm main: out\ntestjvm main: err\n", "logs\\app.log")
    expect_eq(len(run.record.all("fileoutputstream")), 1, "files opened")
    run.expect_lines("stdout", [])
    run.expect_exit(0)
