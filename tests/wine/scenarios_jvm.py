"""Wine scenarios of loading and creating the JVM with testjvm.dll.

A library the real loader refuses: application A with a JvmPath list whose first entry is
missing and whose second, CHOSEN, is the other architecture's double or a file that is no
DLL at all; the message names the chosen library, not the list.
"""
from scenarios_spine import application_run, install_variant, jvm_options, main_arguments
from winerun import expect, expect_eq


def scenario_created_jvm_receives_options(case):
    """The JVM gets JNI_VERSION_1_2, one option a token with the class path option without
    its quotes, ignoreUnrecognized true; main runs on the creating thread and the JVM is
    destroyed and the library freed afterwards."""
    app = case.directory("app")
    exe = install_variant(case, "a", app)
    case.write(app / "variant.ini", '[Application Configuration]\nJvmOptions=-Da=1 "-Db=two words" -Xunknown\n')
    run = case.run(exe, ["first", "second arg"], cwd=app, record=app / "testjvm.record")
    record = application_run(run)
    expect_eq(record.one("create"), ["0x00010002", "4", "options", "1"], "JavaVMInitArgs")
    expect_eq(jvm_options(record), ["-Da=1", "-Db=two words", "-Xunknown", "-Djava.class.path=variant.jar"],
              "JVM options")
    expect_eq(main_arguments(record), ["first", "second arg"], "main's arguments")
    expect_eq(record.one("main")[0], "main", "thread of main")
    events = record.events()
    expect(events.index("main-end") < events.index("detach") < events.index("destroy") < events.index("unload"),
           f"shutdown order: {events}")
    run.expect_exit(0)


CHOSEN = "rt\\bin\\server\\jvm.dll"
JVM_PATH_LIST = ["missing\\bin\\server\\jvm.dll", CHOSEN]


def chosen_library(case):
    """Application A with the JvmPath list, and testjvm.dll as its chosen library."""
    app = case.directory("app")
    exe = install_variant(case, "a", app, JvmPath=JVM_PATH_LIST)
    case.install("testjvm.dll", app / "rt/bin/server", as_name="jvm.dll")
    return exe, app


def library_failure(case, replacement):
    exe, app = chosen_library(case)
    replacement(app / "rt/bin/server/jvm.dll")
    run = case.run(exe, cwd=app, record=app / "testjvm.record")
    run.expect_exit(255)
    run.expect_lines("stdout", [])
    expect(not run.record.lines or run.record.all("create") == [], "JNI_CreateJavaVM was called")
    return run, app


def scenario_library_not_loadable(case):
    """The other architecture's double and a file that is no DLL: the system's text, an
    empty line, then 1488 with the chosen library path."""
    for what in ("other architecture", "not a DLL"):
        def replace(target):
            if what == "not a DLL":
                target.write_bytes(b"MZ this is no library\n")
            else:
                case.install("testjvm.dll", target.parent, as_name=target.name, other_arch=True)
        run, _ = library_failure(case, replace)
        lines = run.stderr.split("\n")
        expect(len(lines) >= 4 and lines[0].strip() != "" and lines[-3:] == ["", "Unable to load JVM: " + CHOSEN, ""],
               f"{what}: stderr {run.stderr!r}")
