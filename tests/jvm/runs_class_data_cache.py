"""The class data cache on JDK 17 (dynamic archive) and Java 25 (ahead-of-time cache, assembled by a
detached process): made by a start that ended normally, mapped by the next (the JVM's own class+load
log says so), never another account's, a crash at most once, one per installation and runtime."""
import os
import shutil
import subprocess
import time
import zlib

import launcher_runs as runs
from launcher_runs import Launcher, check, expect_ran

JAVA25 = "/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"
SHARED = "varnlet.testapps.PrintArgs source: shared objects file"
LOGGED = "-Xlog:class+load:file=classes.log"
JAVAC = "com.sun.tools.javac.Main"
AS_NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]

def runtimes():
    found = [("17", runs.ARGS.libjvm)] + ([("25", JAVA25)] if os.path.exists(JAVA25) else [])
    if len(found) == 1:
        print("skipped for Java 25: no " + JAVA25)
    return found

def cached(name, libjvm, files=None, **entries):
    """A launcher with its cache in the folder "cache" beside it, unless entries say otherwise."""
    return Launcher(name, files, **dict(dict(JvmPath=libjvm, ClassDataCache=True, ClassDataCacheDir="cache", JvmOptions=LOGGED), **entries))

def start(launcher, environment=None, whole=True):
    """One start: its trace and output, and whether the application's classes came from the cache.
    `whole`: the application's output is whole and nothing else reached its streams."""
    log = os.path.join(launcher.app, "classes.log")
    if os.path.exists(log):
        os.remove(log)
    run = launcher.run(environment=dict(environment or os.environ, VARNLET_TRACE="1"))
    if whole:
        expect_ran(run, None)
        lines = [line for line in run.stderr.splitlines() if not line.startswith(("varnlet: ", "NOTE: Picked up "))]
        check(run.stdout.endswith("out-marker\n") and lines == ["err-marker"], "the application's streams got more", run)
    return run.stderr + run.stdout, os.path.exists(log) and SHARED in open(log).read()

def kept(folder):
    """The folder's cache files once nothing works on them any more (assembled apart, then kept under
    the folder's lock)."""
    for _ in range(600):
        names = sorted(n for n in os.listdir(folder) if n.startswith("cds")) if os.path.isdir(folder) else []
        if not any(n.endswith((".tmp", ".job", ".args", ".lock")) for n in names):
            return names
        time.sleep(0.2)
    raise runs.Failure("still assembling in %s: %r" % (folder, names))

def fresh_home(name):
    """An empty cache home of the test's own, and the environment that points the launcher to it."""
    home = os.path.join(runs.ARGS.work, name)
    shutil.rmtree(home, ignore_errors=True)
    return home, dict(os.environ, XDG_CACHE_HOME=home)

def user_folder(home, launcher):
    return os.path.join(home, "varnlet", "testlauncher-%08x" % zlib.crc32(launcher.exe.encode()))

def scenario_class_data_cache():
    # An @file relative to the launcher reaches Java 25's assembling step expanded, wherever the start;
    # an option with a double quote (here from a folder's name) reaches the JVM and the assembling step
    # whole, and the cache is used.
    for version, libjvm in runtimes():
        home, environment = fresh_home("cache-home-" + version)
        environment["APP_HOME"], quoted = '/opt/my "app dir', '-Dapp.home=/opt/my "app dir'.encode().hex()
        launcher = cached("cds-" + version, libjvm, {"jvm.options": LOGGED}, ClassDataCacheDir=None, JvmOptions="@jvm.options -Dapp.home=%APP_HOME%",
                          JavaCommandOptions=True)
        folder = user_folder(home, launcher)
        trace, shared = start(launcher, environment)
        check("class data cache: folder %s for %s" % (folder, launcher.exe) in trace and "class data cache: making " + folder in trace
              and not shared, version + ": the first start made no cache in " + folder + ":\n" + trace)
        first = kept(folder)
        trace, shared = start(launcher, environment)
        check("class data cache: using " + folder in trace and shared and os.stat(folder).st_mode & 0o777 == 0o700 and "=%s\n" % quoted in trace,
              version + ": the second start did not use it, or its folder is not private:\n" + trace)
        # Another class path is another key: a new cache, and the old one goes. A folder of archives
        # (which the runtime cannot archive with) is left out, its archives stay.
        launcher = cached("cds-" + version, libjvm, {"lib/more.jar": None, "jvm.options": LOGGED}, ClassDataCacheDir=None, ClassPath=["lib"], JvmOptions="@jvm.options",
                          JavaCommandOptions=True)
        trace, shared = start(launcher, environment)
        check("making" in trace and "folder lib holds only archives" in trace and not shared and len(kept(folder)) == 2 and kept(folder) != first,
              version + ": no new cache for a new class path: %r\n%s" % (kept(folder), trace))
        check(start(launcher, environment)[1], version + ": the new cache is not used")

def scenario_class_data_cache_safety():
    for version, libjvm in runtimes():
        home = fresh_home("cache-safety-" + version)[0]
        # A folder that cannot be made (below a file), and the user's own choice wherever it stands,
        # cost a trace line only.
        off = "left to the option -Xshare:off"
        for options, folder, reason, environment in (("", "file/cache", "cannot write in", {}), ("-Xshare:off", "", off, {}),
                                                     ("@off.options", "", off, {}), ("", "", off, {"JDK_JAVA_OPTIONS": "-Xshare:off"}),
                                                     ("", "", "the class path folder lib holds files other than archives", {})):
            launcher = cached("cds-off-" + version, libjvm, {"file": "x", "lib/app.jar": None, "lib/notes.txt": "x", "off.options": "-Xshare:off"},
                              ClassDataCacheDir=folder, JvmOptions=options, ClassPath=["lib"] if "lib" in reason else runs.ARGS.jar,
                              JavaCommandOptions=True)
            check(reason in start(launcher, dict(os.environ, XDG_CACHE_HOME=home, **environment))[0], version + ": " + reason)
        check(not os.path.exists(home), version + ": a cache folder made with -Xshare:off or a folder on the class path")
        # Two first starts at once: both run whole, one cache is kept, and the next start uses it.
        launcher = cached("cds-twice-" + version, libjvm)
        both = [subprocess.Popen([launcher.exe], cwd=launcher.start, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 env=dict(os.environ, LC_ALL="C.UTF-8"), text=True) for _ in range(2)]
        for process in both:
            out, err = process.communicate(timeout=120)
            check(process.returncode == 0 and out.endswith("out-marker\n") and err == "err-marker\n",
                  version + ": a simultaneous start failed: %s %r %r" % (process.returncode, out[-200:], err))
        names = kept(os.path.join(launcher.app, "cache"))
        check(len(names) == 2 and names[1].endswith(".key"), version + ": kept %r" % names)
        check(start(launcher)[1], version + ": the cache two starts made is not used")

def scenario_class_data_cache_service():
    # A service run ends its process at once when the service ends: the cache is kept before that.
    for version, libjvm in runtimes():
        launcher = Launcher("cds-service-" + version, JvmPath=libjvm, ClassDataCache=True, ClassDataCacheDir="cache",
                            ServiceName="demo-run", MainClass="varnlet.testapps.PrintArgs")
        for expected in ("class data cache: made", "class data cache: using"):
            run = launcher.run("-startlauncherinservicemode", environment=dict(os.environ, VARNLET_TRACE="1"))
            check(run.returncode == 0 and expected in run.stderr, version + ": " + expected, run)

def scenario_class_data_cache_other_user():
    # A second account that may write in the folder, or owns it, patches the cache (the application
    # would print its text) and plants links to a file of ours at every temporary name: neither is used.
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        return print("skipped: needs root and setpriv")
    for version, libjvm in runtimes():
        launcher = cached("cds-user-" + version, libjvm)
        folder, victim = os.path.join(launcher.app, "cache"), os.path.join(launcher.root, "victim")
        start(launcher)
        cache = os.path.join(folder, kept(folder)[0])
        open(victim, "w").write("mine")
        os.chmod(launcher.root, 0o755)
        os.chmod(folder, 0o777)
        slot, last = "%08x" % zlib.crc32(libjvm.encode()), int(open("/proc/sys/kernel/ns_last_pid").read())
        patch = ("import os, sys; c = sys.argv[1]; d = open(c, 'rb').read().replace(b'out-marker', b'pwn-marker'); open(c + '.new', 'wb').write(d); "
                 "os.replace(c + '.new', c); [os.symlink(sys.argv[2], '%s/cds-%s-%d%s' % (os.path.dirname(c), sys.argv[3], p, s)) "
                 "for p in range(int(sys.argv[4]), int(sys.argv[4]) + 2000) for s in ('.classes.tmp', '.jsa.tmp', '.aot.tmp')]")
        subprocess.run(AS_NOBODY + ["python3", "-c", patch, cache, victim, slot, str(last)], check=True)
        for change in (lambda: None, lambda: os.remove(os.path.join(folder, "cds-%s.key" % slot)), lambda: (os.chmod(folder, 0o700), os.chown(folder, 65534, 65534))):
            change()
            trace = start(launcher)[0]
            check("another account owns %s or may write in it" % folder in trace and open(victim).read() == "mine",
                  version + ": the other account's folder was used:\n" + trace)

def damage(path, how):
    stat = os.stat(path)
    os.chmod(path, 0o600)
    with open(path, "r+b") as f:
        f.truncate(stat.st_size // 2) if how == "truncated" else (f.seek(stat.st_size // 4 // 4096 * 4096), f.write(b"\xa5" * 4096))
    if how == "block, time kept":
        os.utime(path, ns=(stat.st_atime_ns, stat.st_mtime_ns))

def scenario_class_data_cache_damage():
    # A damaged cache is noticed by its size or time; one that does not show it ends one start at most.
    for version, libjvm in runtimes():
        launcher = cached("cds-damage-" + version, libjvm)
        folder = os.path.join(launcher.app, "cache")
        for how, reason in (("block", "it changed after it was made"), ("truncated", "it changed after it was made"),
                            ("block, time kept", "a start that used it did not end normally")):
            start(launcher)
            cache = os.path.join(folder, kept(folder)[0])
            check(start(launcher)[1], version + ": the cache is not used")
            damage(cache, how)
            if how == "block, time kept":
                launcher.run()  # may crash
            trace, shared = start(launcher)
            check(cache + " is removed: " + reason in trace and not shared, version + ", " + how + ":\n" + trace)

def scenario_class_data_cache_installations():
    # Two installations of one name keep a cache each; one installation keeps one per runtime it is
    # started with, in turn.
    home, environment = fresh_home("cache-installations")
    found = runtimes()
    # Each installation with an archive of its own, so they differ in key; the one installation is
    # packed anew for each runtime.
    two = [cached("cds-install-" + name, found[0][1], {"app.jar": None}, ClassDataCacheDir=None, ClassPath="app.jar") for name in "ab"]
    rows = [[lambda launcher=launcher: launcher for launcher in two],
            [lambda libjvm=libjvm: cached("cds-switch", libjvm, ClassDataCacheDir=None) for _, libjvm in found]]
    for row in rows[:1 + (len(found) > 1)]:
        for used in (False, True):
            for make in row:
                launcher = make()
                trace, shared = start(launcher, environment)
                check(shared == used, "%s: used %s\n%s" % (launcher.exe, shared, trace))
                kept(user_folder(home, launcher))

def scenario_class_data_cache_runs():
    # A first start that fails keeps nothing; a cache made by a short run is made again after a run that
    # loaded many more classes (javac's help), and that one is used.
    for version, libjvm in runtimes():
        home, environment = fresh_home("cache-runs-" + version)
        rows = [("varnlet.testapps.Throws", "not kept, the application did not end normally", 255),
                ("varnlet.testapps.PrintArgs", "class data cache: making", 0), (JAVAC, "the next start makes it again", 0),
                (JAVAC, "class data cache: made again", 0), (JAVAC, "class data cache: using", 0)]
        for main, expected, code in rows:
            launcher = cached("cds-runs-" + version, libjvm, ClassDataCacheDir=None, MainClass=main, AppOptions="--help")
            run = launcher.run(environment=dict(environment, VARNLET_TRACE="1"))
            names = kept(user_folder(home, launcher))
            check(run.returncode == code and expected in run.stderr, "%s, %s: %s" % (version, main, expected), run)
            check(main != rows[0][0] or names == [], version + ": a failed start kept %r" % names)

def scenario_class_data_cache_full_disk():
    # The application fills the small file system of the cache folder as the start that makes the cache
    # runs: its exit code and output stand, nothing else reaches its streams, the trace says why no cache
    # was kept and nothing is left; the next start, the disk still full, makes none.
    if os.geteuid() != 0:
        return print("skipped: needs root")
    mount = os.path.join(runs.ARGS.work, "small-fs")
    os.makedirs(mount, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=300m", "tmpfs", mount], check=True)
    try:
        for version, libjvm in runtimes():
            launcher = cached("cds-full-" + version, libjvm, ClassDataCacheDir=mount + "/cache", JvmOptions=[LOGGED, "-Dvarnlet.testapps.fill=%s/fill" % mount])
            for expected in ("not kept, too little free space left in " + mount, "none, too little free space in " + mount):
                trace = start(launcher)[0]
                check(expected in trace and kept(mount + "/cache") == [], version + ": " + expected + "\n" + trace)
            os.remove(mount + "/fill")
    finally:
        subprocess.run(["umount", mount], check=True)
