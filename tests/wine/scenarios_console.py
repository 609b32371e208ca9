"""Console runs under Windows, as testjvm.dll sees them: the move into the executable's directory, where the
INI file is read; main's arguments from the command line (wildcards expanded) and the longest texts; exit
codes; the class path from real directories and the options from a real environment; a private runtime beside
the executable, and JVM libraries the real loader refuses; a log held open by another program loses nothing.
TESTJVM_MAIN scripts what main does. (Every scenario reads the string table through LoadStringA.)"""
import subprocess
from concurrent.futures import ThreadPoolExecutor

from winerun import NO_RUNTIME_HINT, Record, expect, expect_eq, until

TEXT, CJK = "\u00e9" * 1023, "\u4e2d\u6587\u76ee\u5f55" * 15

def scenario_options_file(case):
    """Started elsewhere, the process works in its own directory and reads its INI file there,
    also when that directory is the root of a drive; the file may be in the legacy code page
    (José as E9) or in UTF-8, with its mark or without."""
    app, start = case.directory("app"), case.directory("start")
    exe = case.app(app, OptionsFile="app.ini")
    case.write(start / "app.ini", "[Application Configuration]\nAppOptions=from-start-directory\n")
    # The drive is mapped after the first run: wine names a path by the first drive holding it.
    for drive, encoding, mark in ((None, "cp1252", b""), ("m", "utf-8", b"\xef\xbb\xbf"), ("m", "utf-8", b"")):
        text = "[Application Configuration]\nAppOptions=from-own-directory\nJvmOptions=-Dn=Jos\u00e9\n"
        (app / "app.ini").write_bytes(mark + text.encode(encoding))
        own = case.map_drive(drive, app) if drive else case.dos_path(app)
        run = case.run(exe, program=drive and own + exe.name, cwd=start, record=app / "testjvm.record", env={"LC_ALL": "C.UTF-8"})
        main = run.jvm().one("main")
        expect_eq((main[2], main[3:], run.record.one("property"), run.record.all("option")[0], run.code),
                  (own, ["from-own-directory"], ["user.dir", own], ["-Dn=Jos\u00e9"], 0),
                  f"{encoding} {mark}: directory, arguments, user.dir, option, exit code")

def scenario_wildcard_arguments(case):
    """An unquoted wildcard is expanded in the start-up directory, before the move into the
    executable's own: "-remov?" is the uninstall switch only where a file "-remove" lies there
    (a service operation: no JVM, exit 1060 as none is installed); several matches become several
    arguments, sorted; a quoted one is left as it is."""
    app, start = case.directory("app"), case.directory("start")
    exe = case.app(app, ServiceName="VarnletWineTest", UninstallSwitch="-remove")
    case.write(start / "-remove", "")
    run = case.run(exe, ["-remov?"], cwd=start, record=app / "testjvm.record")
    expect(run.code in (1060, 1060 & 0xFF) and run.stderr.strip() and not run.record.exists, f"-remov? is no uninstall: {run.stderr!r}")
    (start / "-remove").rename(app / "-remove")
    run = case.run(exe, ["-remov?"], cwd=start, record=app / "testjvm.record")
    expect_eq(run.jvm().one("main")[3:], ["-remov?"], "main's arguments")
    for name in ("start/b.txt", "start/a.txt", "app/c.txt", "start/my files/d.txt"):
        case.write(case.work / name, "")
    # A quoted wildcard stays as written, as java leaves it (cmd hands a batch file's line over as typed).
    case.write(start / "run.cmd", f'@"{case.dos_path(exe)}" --exclude "*" "*.txt" *.TXT "my files"\\*.txt x?z\n')
    run = case.run(exe, ["/c", "run.cmd"], cwd=start, program="cmd", record=app / "testjvm.record")
    expect_eq(run.jvm().one("main")[3:], ["--exclude", "*", "*.txt", "a.txt", "b.txt", "my files\\d.txt", "x?z"], "main's arguments")

def scenario_class_path_and_options(case):
    """A directory is followed by its archives and its subdirectories', names sorted without
    regard to case, joined with backslashes and ';'; "." and ".." are no entries; a directory
    named like an archive is searched; a trailing separator stays on the entry only; empty
    entries vanish. %NAME% takes the environment's value once the class path is built (an
    entry with '%' is not searched); %JAVA_HOME% is the discovered home, not the environment's."""
    app = case.directory("app")
    for name in ("z.jar", "M.JAR", "notes.txt", "b.ZIP", "ext/c.jar", "ext/readme", "a.jar", "jar", ".zip", "folder.jar/inner.zip"):
        case.write(app / "lib" / name, "")
    case.write(app / "first.jar", "")
    case.directory("app", "empty")
    listed = ";".join(["lib\\.zip", "lib\\a.jar", "lib\\b.ZIP", "lib\\ext\\c.jar", "lib\\folder.jar\\inner.zip",
                       "lib\\M.JAR", "lib\\z.jar"])
    rows = [("first.jar;lib", "-Xmx256m", ["-Xmx256m", f"-Djava.class.path=first.jar;lib;{listed}"]),
            ("lib\\;first.jar", "", [f"-Djava.class.path=lib\\;{listed};first.jar"]),
            ("lib/", "", [f"-Djava.class.path=lib/;{listed}"]),
            (";;empty;;first.jar;", "", ["-Djava.class.path=empty;first.jar"]),
            ("%VARNLET_APPDIR%\\lib;%JAVA_HOME%\\lib\\tools.jar", "-Dc=%VARNLET_APPDIR%",
             ["-Dc=" + case.dos_path(app), f"-Djava.class.path={case.dos_path(app / 'lib')};\\lib\\tools.jar"])]
    env = {"VARNLET_APPDIR": case.dos_path(app), "JAVA_HOME": "C:\\from\\the\\environment"}
    for class_path, options, expected in rows:
        run = case.run(case.app(app, ClassPath=class_path, JvmOptions=options), cwd=app, env=env, record=app / "testjvm.record")
        expect_eq([option for option, in run.jvm().all("option")], expected, f"options for {class_path!r}")

def scenario_jvm_library(case):
    """testjvm.dll as jre\\bin\\server\\jvm.dll, which loads only where its runtime's bin folder
    (with testjvm_runtime.dll) is searched: named relative (started elsewhere), absolute or by
    the registry; never found through the current directory. A JvmPath list whose first entry
    is missing and whose second is the other architecture's double, then a file that is no
    DLL: the system's text, an empty line, then 1488 naming that entry; exit 255, no JVM."""
    app, start = case.directory("app"), case.directory("start")
    library = case.dos_path(case.install("testjvm.dll", app / "jre/bin/server", as_name="jvm.dll"))
    key = r"HKLM\Software\JavaSoft\Java Runtime Environment"
    case.reg_own(key)
    case.reg_add(key, "CurrentVersion", "1.8")
    case.reg_add(key + r"\1.8", "RuntimeLib", library)
    for path in (r"jre\bin\server\jvm.dll", library, ""):
        run = case.run(case.pack({"JvmPath": path, "ClassPath": "", "MainClass": "a.B"}, app), cwd=start, record=app / "testjvm.record")
        expect_eq((run.jvm().one("library")[0], run.code), (library, 0), f"library and exit code for {path!r}")
    (app / "jre/bin/testjvm_runtime.dll").rename(app / "testjvm_runtime.dll")  # the current directory's
    run = case.run(case.pack({"JvmPath": r"jre\bin\server\jvm.dll", "ClassPath": "", "MainClass": "a.B"}, app), cwd=start)
    expect_eq((run.code, run.stderr.split("\n")[-2]), (255, r"Unable to load JVM: jre\bin\server\jvm.dll"), "no runtime")
    listed, chosen = case.directory("listed"), "rt\\bin\\server\\jvm.dll"
    case.install("testjvm.dll", listed / "rt/bin/server", as_name="jvm.dll", other_arch=True)
    exe = case.app(listed, JvmPath=["missing\\bin\\server\\jvm.dll", chosen])
    for what in ("other architecture", "not a DLL"):
        run = case.run(exe, cwd=listed, record=listed / "testjvm.record")
        lines = run.stderr.split("\n")
        expect(run.code == 255 and not run.stdout and not run.record.exists and len(lines) >= 4 and lines[0].strip()
               and lines[-3:] == ["", "Unable to load JVM: " + chosen, ""], f"{what}: {run.code}, {run.stderr!r}")
        (listed / "rt/bin/server/jvm.dll").write_bytes(b"MZ this is no library\n")

def scenario_arguments_and_long_texts(case):
    """Command-line arguments reach main as given (blanks, quotes, backslashes, an empty one),
    in place of AppOptions. They and the directory cross into Java as modified UTF-8 (the
    executables carry the UTF-8 code page in their manifest): a character beyond the BMP as a
    surrogate pair of three bytes each. 1023 non-ASCII characters in AppOptions and in a message,
    in a directory of 360 UTF-8 bytes; the message shown whole on a console."""
    app = case.directory(CJK, CJK)
    exe = case.app(app, AppOptions=TEXT)
    given = ["a b", 'q"uote', "back\\slash\\", "", "-Dnot.an.option=1", "h\u00e9llo", "\u03a9mega \u4e2d\u6587", "smile\U0001F600"]
    # The loader turns the Linux arguments into Windows text by the locale's character set.
    for args, expected in ((given, [arg.encode() for arg in given[:-1]] + [b"smile\xed\xa0\xbd\xed\xb8\x80"]), ([], [TEXT.encode()])):
        run = case.run(exe, args, cwd=case.directory("start"), record=app / "testjvm.record", env={"LC_ALL": "C.UTF-8"})
        raw = [arg.encode("utf-8", "surrogateescape") for arg in run.jvm().one("main")[3:]]
        expect_eq((raw, run.record.one("property")[1], run.code), (expected, case.dos_path(app), 0),
                  "main's arguments, user.dir, exit code")
    # A message of 1023 units ending in a pair, whole; on a console, every character as written.
    message = TEXT[:-2] + "\U0001F600"
    exe = case.app(app, JvmPath="", messages={"MsgNoRuntime": message})
    case.reg_own(r"HKLM\Software\JavaSoft\Java Runtime Environment")  # no runtime registered, whatever ran before
    case.run(exe, cwd=app, env={"LC_ALL": "C.UTF-8"}).expect(255, stderr=message + "\n" + NO_RUNTIME_HINT)
    # (Wine's console draws each half of a pair as U+FFFD.)
    case.run(exe, cwd=app, env={"LC_ALL": "C.UTF-8"}, terminal=True).expect(255, stdout=TEXT[:-2] + "\ufffd\ufffd\n" + NO_RUNTIME_HINT)

def scenario_folder_past_the_limit(case):
    """A launcher in a folder deeper than the current directory's limit cannot enter it: it says so and
    stops, and never loads the jvm.dll and run.jar of the directory it was called from."""
    start, deep = case.directory("start"), case.directory("app", *["d" * 60] * 5)
    exe, _ = case.app(deep), case.app(start)
    run = case.run(exe, cwd=start, record=start / "testjvm.record")
    expect(len(case.dos_path(deep)) > 300 and run.code == 255 and not run.record.exists and
           run.stderr.endswith("Error accessing file/directory: " + case.dos_path(deep) + "\n"), "the run went on")

def scenario_exit_codes(case):
    """The status cmd's %errorlevel% shows: 0 after main returns, -1 after main throws, System.exit's
    status as it is (the failure messages are the portable core's, shown on the jvm tier)."""
    app = case.directory("app")
    exe = case.app(app)
    for env, level in (({}, 0), ({"TESTJVM_MAIN": "throw"}, -1), ({"TESTJVM_MAIN": "exit=3"}, 3)):
        run = case.run(exe, ["/c", f"{exe.name} & echo errorlevel=%errorlevel%"], cwd=app, env=env, program="cmd")
        expect(f"errorlevel={level}\n" in run.stdout, f"{env}: {run.stdout!r}")

def scenario_log_held_open(case):
    """A viewer holds the log open without delete sharing (holdfile.exe): the previous run's log is
    appended to, not emptied, the rolled files keep their names and lines, nothing else appears,
    and the trace says why."""
    app, kept = case.directory("app"), {"app.log.1": b"one\n", "app.log.2": b"two\n", "app.log.3": b"three\n"}
    for name, text in {"app.log": b"previous run\n", **kept}.items():
        (app / name).write_bytes(text)
    exe = case.app(app, SystemOutFile="app.log", SystemErrFile="app.log", LogRotateSize="30 B", LogRotateKeep=3)
    with subprocess.Popen(case.wine.loader(case.bits) + [case.artifact("holdfile.exe"), case.dos_path(app / "app.log")],
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=case.wine.env()) as holder:
        expect_eq(holder.stdout.readline().strip(), b"held", "the holder's word")
        run = case.run(exe, cwd=app, env={"TESTJVM_MAIN": "print", "VARNLET_TRACE": "1"})
    expect_eq(({path.name: path.read_bytes() for path in app.glob("app.log*")}, run.code),
              ({"app.log": b"previous run\ntestjvm main: out\ntestjvm main: err\n", **kept}, 0), "the logs, exit code")
    expect("varnlet: log not rolled over: app.log cannot be moved: Sharing violation.; its lines go on into app.log"
           in run.stderr, f"the trace: {run.stderr!r}")

def scenario_single_instance_one_file(case):
    """One executable file is one instance: running from Z:, it refuses a start through a mapped drive."""
    app = case.directory("app")
    exe, drive = case.app(app, SingleInstance=True), case.map_drive("s", app)
    held = ThreadPoolExecutor(1).submit(case.run, exe, program=case.dos_path(exe), cwd=app, env={"TESTJVM_MAIN": "wait=15000"},
                                        record=app / "testjvm.record")
    until(lambda: held.done() or Record(app / "testjvm.record").all("main"), 60, "the first instance")
    run = case.run(exe, program=drive + exe.name, cwd=app)
    expect_eq((held.result().record.one("main")[2], run.code, run.stderr.strip()),
              (case.dos_path(app), 255, "An instance of this program is already running."), "the first's directory, the second")
