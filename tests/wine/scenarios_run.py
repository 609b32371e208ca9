"""Wine scenarios of a console run end to end with testjvm.dll: main's arguments from the
Windows command line, non-ASCII text on its way into Java, exit codes, and both streams
redirected to one file. TESTJVM_* variables script what main does."""
from scenarios_spine import application_run, main_arguments
from winerun import expect, expect_eq


def application(case, app, **entries):
    case.install("testjvm.dll", app)
    case.write(app / "run.jar", "")
    return case.pack({"JvmPath": "testjvm.dll", "ClassPath": "run.jar", "MainClass": "org.varnlet.wine.RunMain",
                      **entries}, app, name="run")


def scenario_main_arguments(case):
    """Command-line arguments reach main as they were given (blanks, quotes, backslashes, an
    empty argument), not AppOptions."""
    app = case.directory("app")
    exe = application(case, app, AppOptions="from-app-options")
    given = ["a b", 'q"uote', "back\\slash\\", "", "-Dnot.an.option=1"]
    run = case.run(exe, given, cwd=app, record=app / "testjvm.record")
    expect_eq(main_arguments(application_run(run)), given, "main's arguments from the command line")


def scenario_non_ascii_text(case):
    """Arguments and the directory cross into Java as modified UTF-8 (the executables carry
    the UTF-8 code page in their manifest): a character beyond the BMP as a surrogate pair of
    three bytes each, and never a malformed string."""
    app = case.directory("app", "d\u00e9j\u00e0 \u03a9")
    exe = application(case, app)
    given = ["h\u00e9llo", "\u03a9mega \u4e2d\u6587", "x\u20ac", "smile\U0001F600"]
    # The loader turns the Linux arguments into Windows text by the locale's character set.
    run = case.run(exe, given, cwd=app, record=app / "testjvm.record", env={"LC_ALL": "C.UTF-8"})
    record = application_run(run)
    expect_eq(record.all("malformed-utf8"), [], "strings handed to NewStringUTF that are not modified UTF-8")
    raw = [arg.encode("utf-8", "surrogateescape") for arg in main_arguments(record)]
    expect_eq(raw, [arg.encode("utf-8") for arg in given[:3]] + [b"smile\xed\xa0\xbd\xed\xb8\x80"], "bytes of main")
    expect_eq(record.one("property")[1], case.dos_path(app), "user.dir")
    run.expect_exit(0)


def scenario_exit_codes(case):
    """0 after main returns; -1 (255 as the loader's status, -1 as cmd's %errorlevel%) after
    main throws or the main class is missing; System.exit's status as it is."""
    app = case.directory("app")
    exe = application(case, app)
    rows = [({}, 0, None), ({"TESTJVM_MAIN": "throw"}, 255, "Error invoking method: main(java/lang/String[])"),
            ({"TESTJVM_FAIL_CLASS": "org/varnlet/wine/RunMain"}, 255, "Error locating class: org/varnlet/wine/RunMain"),
            ({"TESTJVM_MAIN": "exit=3"}, 3, None)]
    for env, code, last_line in rows:
        run = case.run(exe, cwd=app, env=env, record=app / "testjvm.record")
        run.expect_exit(code)
        expect(not last_line or run.stderr.endswith(last_line + "\n"), f"{env}: stderr {run.stderr!r}")
    if not case.wine.child_processes_problem(case.bits):
        for env, level in (({}, 0), ({"TESTJVM_MAIN": "throw"}, -1)):
            run = case.run(exe, ["/c", f"{exe.name} & echo errorlevel=%errorlevel%"], cwd=app, env=env, program="cmd")
            expect(f"errorlevel={level}\n" in run.stdout, f"{env}: {run.stdout!r}")


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
