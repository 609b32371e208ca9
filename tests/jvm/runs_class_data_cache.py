"""The class data cache on JDK 17 (dynamic archive) and Java 25 (ahead-of-time cache): the first start
makes it, the next maps the application's classes from it (the JVM's own class+load log says so)."""
import os
import shutil
import subprocess

import launcher_runs as runs
from launcher_runs import Launcher, check, expect_ran

JAVA25 = "/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"
SHARED = "varnlet.testapps.PrintArgs source: shared objects file"

def runtimes():
    found = [("17", runs.ARGS.libjvm)] + ([("25", JAVA25)] if os.path.exists(JAVA25) else [])
    if len(found) == 1:
        print("skipped for Java 25: no " + JAVA25)
    return found

def start(launcher, cache_home, trace=True):
    """One start: checks the application's output is whole and nothing else reached its streams."""
    environment = dict(os.environ, XDG_CACHE_HOME=cache_home)
    environment.pop("VARNLET_TRACE", None)
    run = launcher.run(environment=dict(environment, VARNLET_TRACE="1") if trace else environment)
    expect_ran(run, [])
    lines = [line for line in run.stderr.splitlines() if not line.startswith("varnlet: ")]
    check(run.stdout.endswith("out-marker\n") and lines == ["err-marker"], "the application's streams got more", run)
    log = os.path.join(launcher.app, "classes.log")
    return run.stderr, os.path.exists(log) and SHARED in open(log).read()

def cache_files(folder):
    return sorted(name for name in os.listdir(folder) if name.startswith("cds"))

def scenario_class_data_cache():
    for version, libjvm in runtimes():
        home = os.path.join(runs.ARGS.work, "cache-home-" + version)
        shutil.rmtree(home, ignore_errors=True)
        folder = os.path.join(home, "varnlet", "testlauncher")
        launcher = Launcher("cds-" + version, JvmPath=libjvm, ClassDataCache=True, JvmOptions="-Xlog:class+load:file=classes.log")
        trace, shared = start(launcher, home)
        check("class data cache: making " + folder in trace and "class data cache: made" in trace and not shared,
              version + ": the first start made no cache in " + folder + ":\n" + trace)
        first = cache_files(folder)
        trace, shared = start(launcher, home)
        check("class data cache: using " + folder in trace and shared, version + ": the second start did not use it:\n" + trace)
        # Another class path is another key: a new cache, and the old one goes. A folder of archives
        # (which the runtime cannot archive with) is left out, its archives stay.
        launcher = Launcher("cds-" + version, {"lib/more.jar": None}, JvmPath=libjvm, ClassDataCache=True,
                            ClassPath=["lib"], JvmOptions="-Xlog:class+load:file=classes.log")
        trace, shared = start(launcher, home)
        check("making" in trace and "folder lib holds only archives" in trace and not shared and len(cache_files(folder)) == 2 and cache_files(folder) != first,
              version + ": no new cache for a new class path: %r\n%s" % (cache_files(folder), trace))
        check(start(launcher, home)[1], version + ": the new cache is not used")

def scenario_class_data_cache_safety():
    for version, libjvm in runtimes():
        home = os.path.join(runs.ARGS.work, "cache-safety-" + version)
        shutil.rmtree(home, ignore_errors=True)
        # A folder that cannot be made (below a file), and the user's own choice, cost a trace line only.
        for options, folder, reason in (("", "file/cache", "cannot write in"), ("-Xshare:off", "", "left to the option -Xshare:off"),
                                        ("", "", "the class path folder lib holds files other than archives")):
            launcher = Launcher("cds-off-" + version, {"file": "x", "lib/app.jar": None, "lib/notes.txt": "x"}, JvmPath=libjvm, ClassDataCache=True,
                                ClassDataCacheDir=folder, JvmOptions=options, ClassPath=["lib"] if "lib" in reason else runs.ARGS.jar)
            check(reason in start(launcher, home)[0], version + ": " + reason)
            start(launcher, home, trace=False)
        check(not os.path.exists(home), version + ": a cache folder made with -Xshare:off or a folder on the class path")
        # Two first starts at once: both run whole, one cache is kept, and the next start uses it.
        launcher = Launcher("cds-twice-" + version, JvmPath=libjvm, ClassDataCache=True, ClassDataCacheDir="cache",
                            JvmOptions="-Xlog:class+load:file=classes.log")
        both = [subprocess.Popen([launcher.exe], cwd=launcher.start, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 env=dict(os.environ, LC_ALL="C.UTF-8"), text=True) for _ in range(2)]
        for process in both:
            out, err = process.communicate(timeout=120)
            check(process.returncode == 0 and out.endswith("out-marker\n") and err == "err-marker\n",
                  version + ": a simultaneous start failed: %s %r %r" % (process.returncode, out[-200:], err))
        kept = cache_files(os.path.join(launcher.app, "cache"))
        check(len(kept) == 2 and kept[1] == "cds.key", version + ": kept %r" % kept)
        check(start(launcher, home)[1], version + ": the cache two starts made is not used")

def scenario_class_data_cache_service():
    # A service run ends its process at once when the service ends: the cache is kept before that.
    for version, libjvm in runtimes():
        launcher = Launcher("cds-service-" + version, JvmPath=libjvm, ClassDataCache=True, ClassDataCacheDir="cache",
                            ServiceName="demo-run", MainClass="varnlet.testapps.PrintArgs")
        for expected in ("class data cache: made", "class data cache: using"):
            run = launcher.run("-startlauncherinservicemode", environment=dict(os.environ, VARNLET_TRACE="1"))
            check(run.returncode == 0 and expected in run.stderr, version + ": " + expected, run)
