"""An executable jar under Windows: its manifest read through the Windows file calls (the jar
behind leading bytes, the manifest deflated), and what testjvm.dll then receives."""
import io
import zipfile

from winerun import expect_eq

def scenario_executable_jar(case):
    app = case.directory("app")
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as jar:
        jar.writestr("META-INF/MANIFEST.MF", "Main-Class: org.varnlet.wine.JarMain\r\n\r\n")
    (app / "app.jar").write_bytes(b"#" * 70000 + archive.getvalue())
    case.install("testjvm.dll", app)
    run = case.run(case.pack({"JvmPath": "testjvm.dll", "MainJar": "app.jar"}, app, "app"), cwd=app, record=app / "testjvm.record")
    expect_eq((run.jvm().one("main")[1], run.record.all("option")),
              ("org/varnlet/wine/JarMain", [["-Djava.class.path=app.jar"]]),
              "main class and options")
