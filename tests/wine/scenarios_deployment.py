"""Wine scenarios of installations as people make them: a private runtime beside the
executable (testjvm.dll as bin\\server\\jvm.dll, which loads only where the runtime's
bin folder with its testjvm_runtime.dll is searched), the longest non-ASCII texts in a long
CJK directory, and INI files in the legacy code page or in UTF-8."""
from winerun import expect, expect_eq

TEXT, CJK = "\u00e9" * 1023, "\u4e2d\u6587\u76ee\u5f55" * 15


def launch(case, app, name, runs=True, **entries):
    case.write(app / "run.jar", "")
    exe = case.pack({"JvmPath": "testjvm.dll", "ClassPath": "run.jar", "MainClass": "org.varnlet.wine.RunMain",
                     **entries}, app, name=name)
    run = case.run(exe, cwd=case.directory("start"), record=app / "testjvm.record", env={"LC_ALL": "C.UTF-8"})
    expect(not runs or run.code == 0 and run.record.exists, f"{name}: exit {run.code}, stderr {run.stderr!r}")
    return run


def scenario_bundled_runtime(case):
    """Relative JvmPath (started elsewhere), absolute, registry; never the current directory."""
    app = case.directory("app")
    library = app / "jre/bin/server/jvm.dll"
    case.install("testjvm.dll", library.parent, as_name="jvm.dll")
    support = app / "jre/bin/testjvm_runtime.dll"
    key = r"HKLM\Software\JavaSoft\Java Runtime Environment"
    case.reg_own(key)
    case.reg_add(key, "CurrentVersion", "1.8")
    case.reg_add(key + r"\1.8", "RuntimeLib", case.dos_path(library))
    for name, path in (("relative", r"jre\bin\server\jvm.dll"), ("absolute", case.dos_path(library)), ("reg", "")):
        expect_eq(launch(case, app, name, JvmPath=path).record.one("library")[0], case.dos_path(library), name)
    support.rename(app / "testjvm_runtime.dll")  # beside the executable, which is the current directory
    run = launch(case, app, "narrow", False, JvmPath=r"jre\bin\server\jvm.dll")
    expect_eq((run.code, run.stderr.split("\n")[-2]), (255, r"Unable to load JVM: jre\bin\server\jvm.dll"), "narrow")


def scenario_long_texts_and_paths(case):
    """1023 non-ASCII characters in AppOptions and a message, in a directory of 360 UTF-8 bytes."""
    app = case.directory(CJK, CJK)
    case.install("testjvm.dll", app)
    record = launch(case, app, "long", AppOptions=TEXT).record
    expect_eq(record.one("main")[4:], [TEXT], "main's argument")
    expect_eq(record.one("property")[:2], ["user.dir", case.dos_path(app)], "user.dir")
    launch(case, app, "message", False, JvmPath="", messages={"MsgNoRuntime": TEXT}).expect_lines("stderr", [TEXT])


def scenario_ini_encodings(case):
    """José saved in the legacy code page (E9), in UTF-8 with and without its mark."""
    app = case.directory("app")
    case.install("testjvm.dll", app)
    for encoding, mark in (("cp1252", b""), ("utf-8", b"\xef\xbb\xbf"), ("utf-8", b"")):
        (app / "app.ini").write_bytes(mark + "[Application Configuration]\nJvmOptions=-Dn=Jos\u00e9\n".encode(encoding))
        record = launch(case, app, "ini", OptionsFile="app.ini").record
        expect_eq(record.all("option")[0][1], "-Dn=Jos\u00e9", f"option from {encoding} {mark}")
