"""The class data cache's folder as testjvm.dll receives it, for a runtime whose release file says
Java 17 (the run lists its classes, archived after it): the account's local application data
folder, one per installation (the jvm tier keeps a service run's); none in a folder others may
write. The double lists no classes, so nothing is kept."""
import os
import re
from pathlib import Path

from winerun import expect

CACHED = {"ClassDataCache": True, "JvmPath": "jre\\bin\\server\\jvm.dll"}

def java17(case, directory):
    home = Path(directory) / "jre"
    case.install("testjvm.dll", home / "bin/server", as_name="jvm.dll")
    (home / "release").write_text('JAVA_VERSION="17.0.9"\n')

def expect_cache_folder(case, record, name):
    asked = [o[0].split("=", 1)[1] for o in record.all("option") if o[0].startswith("-XX:DumpLoadedClassList=")]
    expect(len(asked) == 1, f"one class list expected: {record.all('option')}")
    folder, file = asked[0].rsplit("\\", 1)
    expect(re.fullmatch(r"C:\\users\\[^\\]+\\AppData\\Local\\varnlet\\" + name + "-[0-9a-f]{8}", folder, re.I) and
           re.fullmatch(r"cds-[0-9a-f]{8}-\d+\.classes\.tmp", file), f"the class list asked for: {asked[0]}")
    linux = case.wine.prefix / "drive_c" / folder[3:].replace("\\", "/")
    expect(linux.is_dir() and not any(linux.glob("cds-*")), f"{linux}: no folder, or a file left in it")

def scenario_folders(case):
    # A console run's folder; then, as wine shows a folder's Linux owner and mode in its security record, a
    # folder every account may write, or one of another account, is not used.
    app = case.directory("app")
    java17(case, app)
    run = case.run(case.app(app, "Cached", **CACHED), cwd=app, record=app / "testjvm.record")
    expect(run.code == 0, f"exit code {run.code}")
    expect_cache_folder(case, run.record, "Cached")
    exe = case.app(app, "Cached", ClassDataCacheDir="cache", **CACHED)
    for mode, owner in ((0o777, 0), (0o700, 65534)):
        (app / "cache").mkdir(exist_ok=True)
        (app / "cache").chmod(mode)
        os.chown(app / "cache", owner, owner)
        run = case.run(exe, cwd=app, record=app / "testjvm.record", env={"VARNLET_TRACE": "1"})
        expect(run.code == 0 and "another account owns" in run.stderr and "may write in it" in run.stderr, f"{run.code}: {run.stderr}")
        expect(not any(o[0].startswith("-XX:DumpLoadedClassList=") for o in run.record.all("option")), "a class list asked for")
