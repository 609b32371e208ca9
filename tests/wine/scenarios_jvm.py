"""Wine scenario of a JVM library the real loader refuses: application A with a JvmPath list
whose first entry is missing and whose second, CHOSEN, is the other architecture's double or
a file that is no DLL at all."""
from scenarios_spine import install_variant
from winerun import expect

CHOSEN = "rt\\bin\\server\\jvm.dll"


def scenario_library_not_loadable(case):
    """The system's text, an empty line, then 1488 naming the chosen library, not the list;
    exit 255 and no JVM."""
    app = case.directory("app")
    exe = install_variant(case, "a", app, JvmPath=["missing\\bin\\server\\jvm.dll", CHOSEN])
    target = app / CHOSEN.replace("\\", "/")
    for what in ("other architecture", "not a DLL"):
        if what == "not a DLL":
            target.write_bytes(b"MZ this is no library\n")
        else:
            case.install("testjvm.dll", target.parent, as_name=target.name, other_arch=True)
        run = case.run(exe, cwd=app, record=app / "testjvm.record")
        run.expect_exit(255)
        lines = run.stderr.split("\n")
        expect(len(lines) >= 4 and lines[0].strip() != "" and lines[-3:] == ["", "Unable to load JVM: " + CHOSEN, ""]
               and not run.record.all("create") and not run.stdout, f"{what}: stderr {run.stderr!r}")
