"""Wine scenarios of the class path and the JVM options text on real directories: what
-Djava.class.path and the other options look like when testjvm.dll receives them, and the
failures reported before any JVM is created.

Every launcher here is packed with JvmPath "testjvm.dll" (copied beside it); the class path
entries are relative to the executable's directory, where the launcher runs.
"""
from scenarios_spine import application_run, jvm_options
from winerun import expect, expect_eq

ACCESS_ERROR = "Error accessing file/directory: "


def application(case, app, class_path, options="", **entries):
    case.install("testjvm.dll", app)
    config = {"JvmPath": "testjvm.dll", "ClassPath": class_path, "JvmOptions": options,
              "MainClass": "org.varnlet.wine.ClassPathMain", **entries}
    return case.pack(config, app, name="cp")


def received(case, app, class_path, options="", env=None, **entries):
    """The options testjvm.dll was created with."""
    exe = application(case, app, class_path, options, **entries)
    run = case.run(exe, cwd=app, env=env, record=app / "testjvm.record")
    run.expect_exit(0)
    return jvm_options(application_run(run))


def make_lib(case, app):
    """lib: a.jar, b.ZIP, notes.txt, ext\\c.jar, and names whose creation order, case and
    length differ from their sorted order."""
    lib = app / "lib"
    for name in ("z.jar", "M.JAR", "notes.txt", "b.ZIP", "ext/c.jar", "ext/readme", "a.jar", "jar", ".zip",
                 "folder.jar/inner.zip"):
        case.write(lib / name, "")
    return lib


def scenario_directory_archives(case):
    """A directory entry is followed by its archives and its subdirectories' archives, each
    directory's names sorted without regard to case, joined with backslashes and ';', with
    no ';' at the end; a directory named like an archive is searched, not added; a trailing
    backslash or slash stays on the entry only."""
    app = case.directory("app")
    make_lib(case, app)
    case.write(app / "first.jar", "")
    listed = ["lib\\.zip", "lib\\a.jar", "lib\\b.ZIP", "lib\\ext\\c.jar", "lib\\folder.jar\\inner.zip",
              "lib\\M.JAR", "lib\\z.jar"]
    expect_eq(received(case, app, "first.jar;lib", "-Xmx256m"),
              ["-Xmx256m", "-Djava.class.path=" + ";".join(["first.jar", "lib"] + listed)], "lib")
    expect_eq(received(case, app, "lib\\;first.jar"),
              ["-Djava.class.path=" + ";".join(["lib\\"] + listed + ["first.jar"])], "lib\\")
    expect_eq(received(case, app, "lib/"), ["-Djava.class.path=" + ";".join(["lib/"] + listed)], "lib/")
    # An empty directory adds only itself; empty entries vanish.
    case.directory("app", "empty")
    expect_eq(received(case, app, ";;empty;;first.jar;"), ["-Djava.class.path=empty;first.jar"], "empty directory")


def scenario_environment_references(case):
    """%NAME% is expanded over the whole text after the class path is built: an entry with
    '%' is neither tested nor scanned; %JAVA_HOME% is the discovered home (empty without a
    registry search), not the environment's; undefined names and "%%" vanish; an unclosed
    '%' is dropped and the rest kept."""
    app = case.directory("app")
    lib = make_lib(case, app)
    env = {"VARNLET_APPDIR": case.dos_path(app), "JAVA_HOME": "C:\\from\\the\\environment",
           "VARNLET_MISSING_DIR": "C:\\no\\such\\directory"}
    options = received(case, app, "%VARNLET_APPDIR%\\lib;%VARNLET_MISSING_DIR%\\x.jar;%JAVA_HOME%\\lib\\tools.jar",
                       "-Da=%VARNLET_NOSUCH%x -Db=100%% -Dc=%VARNLET_APPDIR%", env=env)
    expect_eq(options, ["-Da=x", "-Db=100", "-Dc=" + case.dos_path(app),
                        f"-Djava.class.path={case.dos_path(lib)};C:\\no\\such\\directory\\x.jar;\\lib\\tools.jar"],
              "expanded options")
    # The text after an unclosed '%' is kept as it is, the class path option behind it too.
    expect_eq(received(case, app, "lib\\a.jar", "-Dc=abc%DEF"), ["-Dc=abcDEF", "-Djava.class.path=lib\\a.jar"],
              "options after an unclosed '%'")
    expect_eq(received(case, app, "", "-Dc=abc%DEF"), ["-Dc=abcDEF"], "an unclosed '%' at the end")
