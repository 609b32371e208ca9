"""An executable jar under Windows: its manifest read through the Windows file calls (the jar
behind leading bytes, the manifest deflated), and what testjvm.dll then receives; nothing of the
caller's directory is run."""
import io
import zipfile

from winerun import expect, expect_eq

def jar(main):
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as jar:
        jar.writestr("META-INF/MANIFEST.MF", f"Main-Class: {main}\r\nAdd-Exports: java.base/sun.nio.ch\r\n\r\n")
    return archive.getvalue()

def scenario_executable_jar(case):
    app = case.directory("app")
    (app / "app.jar").write_bytes(b"#" * 70000 + jar("org.varnlet.wine.JarMain"))
    case.install("testjvm.dll", app)
    run = case.run(case.pack({"JvmPath": "testjvm.dll", "MainJar": "app.jar"}, app, "app"), cwd=app, record=app / "testjvm.record")
    expect_eq((run.jvm().one("main")[1], run.record.all("option")),
              ("org/varnlet/wine/JarMain", [["--add-exports=java.base/sun.nio.ch=ALL-UNNAMED"], ["-Djava.class.path=app.jar"]]),
              "main class and options")

def scenario_nothing_from_the_caller(case):
    """A command-line tool works in the caller's directory, yet its jar and modules are its own, however
    an app.jar and mods\\ planted there look. A launcher in a folder deeper than the current directory's
    limit cannot enter it: it says so and stops, and never loads the caller's jvm.dll or run.jar."""
    app, start = case.directory("app"), case.directory("start")
    (app / "app.jar").write_bytes(jar("org.varnlet.wine.JarMain"))
    (start / "app.jar").write_bytes(jar("org.planted.Main"))
    case.directory("start", "mods")
    case.install("testjvm.dll", app)
    exe = case.pack({"JvmPath": "testjvm.dll", "MainJar": "app.jar", "ModulePath": "mods", "StayInStartupDir": True}, app)
    run = case.run(exe, cwd=start, record=app / "testjvm.record")
    expect_eq((run.jvm().one("main")[1], run.record.one("property"), run.record.all("option")),
              ("org/varnlet/wine/JarMain", ["user.dir", case.dos_path(start)],
               [["--add-exports=java.base/sun.nio.ch=ALL-UNNAMED"], ["--module-path=" + case.dos_path(app / "mods")],
                ["-Djava.class.path=" + case.dos_path(app / "app.jar")]]), "main class, user.dir, options")
    deep = case.directory("app", *["d" * 60] * 5)
    exe, record = case.app(deep), start / "testjvm.record"
    case.app(start)  # the caller's own jvm.dll and run.jar
    run = case.run(exe, cwd=start, record=record)
    expect(len(case.dos_path(deep)) > 300 and run.code == 255 and not record.exists() and
           run.stderr.endswith("Error accessing file/directory: " + case.dos_path(deep) + "\n"), "the deep folder's run went on")
