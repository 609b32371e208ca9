"""Wine scenarios of installations as people make them: a private runtime beside the
executable, the longest non-ASCII texts varnlet-pack accepts, a directory of CJK characters
longer than 260 bytes, and INI files saved in the legacy code page or in UTF-8.

The runtime is testjvm_linked.dll as bin\\server\\jvm.dll, which loads only where its own
testjvm_support.dll is found: in the runtime's bin folder, as a real jvm.dll needs it.
"""
from winerun import expect, expect_eq

JRE_KEY = r"HKLM\Software\JavaSoft\Java Runtime Environment"
TEXT = "\u00e9" * 1023
CJK = "\u4e2d\u6587\u76ee\u5f55" * 15


def launcher(case, app, name, **entries):
    case.write(app / "run.jar", "")
    config = {"JvmPath": "testjvm.dll", "ClassPath": "run.jar", "MainClass": "org.varnlet.wine.RunMain"}
    config.update(entries)
    return case.pack(config, app, name=name)


def ran(run):
    expect(run.record.exists, f"no JVM was created: exit {run.code}, stderr {run.stderr!r}")
    run.expect_exit(0)
    return run.record


def scenario_bundled_runtime(case):
    """A relative JvmPath started from another directory, an absolute one and the registry
    all load the runtime; its DLL beside the executable (the current directory) is not
    searched."""
    app, start = case.directory("app"), case.directory("start")
    library = app / "jre/bin/server/jvm.dll"
    case.install("testjvm_linked.dll", library.parent, as_name="jvm.dll")
    support = case.install("testjvm_support.dll", app / "jre/bin")
    case.reg_own(JRE_KEY)
    case.reg_add(JRE_KEY, "CurrentVersion", "1.8")
    case.reg_add(JRE_KEY + r"\1.8", "RuntimeLib", case.dos_path(library))
    for name, jvm_path in (("relative", r"jre\bin\server\jvm.dll"), ("absolute", case.dos_path(library)),
                           ("registry", "")):
        exe = launcher(case, app, name, JvmPath=jvm_path)
        run = case.run(exe, cwd=start, record=app / "testjvm.record")
        expect_eq(ran(run).one("library"), [case.dos_path(library)], f"library loaded by the {name} path")
    support.rename(app / "testjvm_support.dll")
    run = case.run(launcher(case, app, "narrow", JvmPath=r"jre\bin\server\jvm.dll"), cwd=start)
    expect_eq(run.stderr.split("\n")[-2:], [r"Unable to load JVM: jre\bin\server\jvm.dll", ""], "without bin")
    run.expect_exit(255)


def scenario_long_texts_and_paths(case):
    """In a directory of 120 CJK characters (360 bytes in UTF-8), an AppOptions and a
    message of 1023 non-ASCII characters arrive whole, and user.dir is the directory."""
    app = case.directory(CJK, CJK)
    case.install("testjvm.dll", app)
    run = case.run(launcher(case, app, "long", AppOptions=TEXT), cwd=app, record=app / "testjvm.record")
    record = ran(run)
    expect_eq(record.one("main")[4:], [TEXT], "main's argument")
    expect_eq(record.one("property")[:2], ["user.dir", case.dos_path(app)], "user.dir")
    run = case.run(launcher(case, app, "message", JvmPath="", messages={"MsgNoRuntime": TEXT}), cwd=app,
                   env={"LC_ALL": "C.UTF-8"})
    run.expect_lines("stderr", [TEXT])


def scenario_ini_encodings(case):
    """José in an INI saved in the legacy code page (E9), in UTF-8 with and without its
    mark: the JVM gets the same option."""
    app = case.directory("app")
    case.install("testjvm.dll", app)
    exe = launcher(case, app, "ini", OptionsFile="app.ini")
    for encoding, mark in (("cp1252", b""), ("utf-8", b"\xef\xbb\xbf"), ("utf-8", b"")):
        text = "[Application Configuration]\r\nJvmOptions=-Dname=Jos\u00e9\r\n"
        (app / "app.ini").write_bytes(mark + text.encode(encoding))
        record = ran(case.run(exe, cwd=app, record=app / "testjvm.record"))
        expect_eq(record.all("option")[0][1], "-Dname=Jos\u00e9", f"option from {encoding} {mark}")
