"""An executable jar under Windows: its manifest read through the Windows file calls (the jar
behind leading bytes, the manifest deflated), and what testjvm.dll then receives; a command-line
tool's own jar and modules, whatever the directory it is called from holds."""
import io
import zipfile

from winerun import expect_eq

def scenario_executable_jar(case):
    app, start = case.directory("app"), case.directory("start", "mods").parent
    for folder, main in ((app, "org.varnlet.wine.JarMain"), (start, "org.planted.Main")):
        archive = io.BytesIO()
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as jar:
            jar.writestr("META-INF/MANIFEST.MF", f"Main-Class: {main}\r\n\r\n")
        (folder / "app.jar").write_bytes(b"#" * 70000 + archive.getvalue())
    case.install("testjvm.dll", app)
    exe = case.pack({"JvmPath": "testjvm.dll", "MainJar": "app.jar", "ModulePath": "mods", "StayInStartupDir": True}, app, "app")
    run = case.run(exe, cwd=start, record=app / "testjvm.record")
    expect_eq((run.jvm().one("main")[1], run.record.all("option")),
              ("org/varnlet/wine/JarMain", [["--module-path=" + case.dos_path(app / "mods")],
                                            ["-Djava.class.path=" + case.dos_path(app / "app.jar")]]), "main class and options")
