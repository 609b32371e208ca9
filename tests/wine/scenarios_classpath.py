"""Wine scenarios of the class path and the JVM options on real directories and a real
environment, as testjvm.dll receives them; entries are relative to the executable's directory."""
from scenarios_spine import application_run, jvm_options
from winerun import expect_eq


def received(case, app, class_path, options="", env=None):
    """The options testjvm.dll was created with."""
    case.install("testjvm.dll", app)
    exe = case.pack({"JvmPath": "testjvm.dll", "ClassPath": class_path, "JvmOptions": options,
                     "MainClass": "org.varnlet.wine.ClassPathMain"}, app, name="cp")
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
    """%NAME% takes the process environment's value over the whole text, after the class
    path is built (an entry with '%' is not scanned); %JAVA_HOME% is the discovered home
    (empty without a registry search), not the environment's."""
    app = case.directory("app")
    lib = make_lib(case, app)
    env = {"VARNLET_APPDIR": case.dos_path(app), "JAVA_HOME": "C:\\from\\the\\environment"}
    options = received(case, app, "%VARNLET_APPDIR%\\lib;%JAVA_HOME%\\lib\\tools.jar", "-Dc=%VARNLET_APPDIR%", env=env)
    expect_eq(options, ["-Dc=" + case.dos_path(app), f"-Djava.class.path={case.dos_path(lib)};\\lib\\tools.jar"],
              "expanded options")
