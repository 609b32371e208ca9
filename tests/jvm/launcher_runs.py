#!/usr/bin/env python3
"""Runs the Linux launcher as a process against the real JVM, one scenario per call: each
launcher packed into <work>/<name>/app, started from <work>/<name>/start, and checked on exit
code, streams and what the Java test app printed (tests/java/varnlet/testapps)."""
import argparse
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from toml_text import toml_text  # noqa: E402

ARGS = None

class Failure(Exception):
    pass

def check(condition, what, run=None):
    if not condition:
        detail = "" if run is None else "\n--- exit %s\n--- stdout\n%s--- stderr\n%s" % (run.returncode, run.stdout, run.stderr)
        raise Failure(what + detail)

class Launcher:
    def __init__(self, name, files=None, **entries):
        """`files`: path in the application directory -> text, or None for a copy of the test jar."""
        self.root = os.path.join(ARGS.work, name)
        shutil.rmtree(self.root, ignore_errors=True)
        self.app, self.start = os.path.join(self.root, "app"), os.path.join(self.root, "start")
        os.makedirs(self.start)
        os.makedirs(self.app)
        for path, text in (files or {}).items():
            path = os.path.join(self.app, path)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if text is None:
                shutil.copy(ARGS.jar, path)
            else:
                open(path, "w").write(text)
        config = {"target": "linux", "MainClass": "varnlet.testapps.PrintArgs", "ClassPath": ARGS.jar, "JvmPath": ARGS.libjvm}
        config.update(entries)
        config = {key: value for key, value in config.items() if value is not None}  # None: left to the body
        toml, self.exe = os.path.join(self.root, "launcher.toml"), os.path.join(self.app, "testlauncher")
        open(toml, "w", encoding="utf-8").write(toml_text(config))
        packed = subprocess.run([ARGS.pack, "build", toml, "--stub", ARGS.stub, "-o", self.exe], capture_output=True, text=True)
        check(packed.returncode == 0, "varnlet-pack failed: %s%s" % (packed.stdout, packed.stderr))

    def run(self, *arguments, environment=None):
        return subprocess.run([self.exe, *arguments], cwd=self.start, capture_output=True, timeout=120,
                              env=dict(environment or os.environ, LC_ALL="C.UTF-8"), encoding="utf-8", errors="surrogateescape")

def expect_ran(run, arguments=None):
    """The key=value lines that PrintArgs printed; exit code 0."""
    check(run.returncode == 0 and "argc=" in run.stdout, "exit code 0 and a report expected", run)
    values = {}
    for key, _, value in (line.partition("=") for line in run.stdout.splitlines()):
        values.setdefault(key, value)
    got = [bytes.fromhex(values["arg%d" % i]).decode("utf-8") for i in range(int(values["argc"]))]
    check(arguments is None or got == arguments, "arguments %r, expected %r" % (got, arguments), run)
    return values

def expect_failed(run, *error_lines):
    """Exit code -1 (255), main never returned, and the given lines in this order on the error stream."""
    check(run.returncode == 255 and "argc=" not in run.stdout, "exit code 255 without a report expected", run)
    position = 0
    for line in error_lines:
        found = run.stderr.find(line, position)
        check(found >= 0, "missing on stderr (in this order): %r" % line, run)
        position = found + len(line)

def scenario_arguments():
    # What main receives: the command line in place of AppOptions (texts beyond ASCII, an empty one), and AppOptions
    # up to the longest varnlet-pack accepts (1023 characters) in a directory of 360 bytes; the unit tier splits it.
    long, cjk = "\u00e9" * 1023, "\u4e2d\u6587\u76ee\u5f55" * 15
    texts = ["caf\u00e9", "\u00fcber \u65e5\u672c", "\U0001F600", "\u0391\u03b2\u03b3", "two words", ""]
    rows = [("nonascii", {"AppOptions": "not used"}, texts, texts),
            ("long/%s/%s" % (cjk, cjk), {"AppOptions": long}, [], [long])]
    for name, entries, arguments, received in rows:
        launcher = Launcher(name, **entries)
        check(expect_ran(launcher.run(*arguments), received)["user.dir"] == launcher.app, name + ": user.dir")

def scenario_directories():
    # The application runs in WorkingDir (in the start-up directory with UseStartupDir); a relative
    # class path resolves there with EarlyWorkingDir, else in the launcher's own directory.
    for name, entries, jar, in_start in (("early", {"EarlyWorkingDir": True}, "work/apps.jar", False),
                                         ("late", {}, "apps.jar", False), ("startup", {"UseStartupDir": True}, "apps.jar", True)):
        launcher = Launcher("dirs-" + name, {jar: None, "work/x": ""}, WorkingDir="work", ClassPath="apps.jar", **entries)
        values = expect_ran(launcher.run(), [])  # neither command line nor AppOptions: no arguments
        expected = launcher.start if in_start else os.path.join(launcher.app, "work")
        check(values["user.dir"] == expected == values["cwd"], "%s: user.dir %s, cwd %s" % (name, values["user.dir"], values["cwd"]))

def scenario_failures():
    # Each: the entries, then the lines expected on the error stream in this order (the system's or the
    # JVM's text first, then the launcher's message).
    libz = "/usr/lib/x86_64-linux-gnu/libz.so.1"  # a library without the JNI exports
    rows = [({"WorkingDir": "/nonexistent/varnlet-work", "EarlyWorkingDir": early},
             "No such file or directory", "Error accessing file/directory: /nonexistent/varnlet-work") for early in (False, True)]
    rows += [
        ({"SystemOutFile": "/dev/null/out.log"}, "java.io.FileNotFoundException", "Error instantiating object: java/io/FileOutputStream"),
        ({"SystemOutFile": "/dev/null/out.log", "LogRotateSize": "1 MB"}, "Not a directory",
         "Error accessing file/directory: /dev/null/out.log"),
        ({"MainClass": "varnlet.testapps.NoSuchClass"},
         "java.lang.NoClassDefFoundError: varnlet/testapps/NoSuchClass", "Error locating class: varnlet/testapps/NoSuchClass"),
        ({"MainClass": "varnlet.testapps.No\U00020BB7", "MsgLocateClass": "\U0001F600 %s"},  # beyond the BMP: the JVM's name, ours
         "java.lang.NoClassDefFoundError: varnlet/testapps/No\U00020BB7", "\U0001F600 varnlet/testapps/No\U00020BB7\n"),
        ({"MainClass": "java.lang.Object"}, "java.lang.NoSuchMethodError", "Error locating method: main(java/lang/String[])"),
        ({"MainClass": "varnlet.testapps.Throws", "JvmOptions": "-Xcheck:jni"}, "java.lang.IllegalStateException: thrown by the test app",
         "at varnlet.testapps.Throws.main", "Error invoking method: main(java/lang/String[])"),
        ({"JvmOptions": "-XX:MaxHeapSize=abc"}, "Invalid maximum heap size", "Unable to create JVM instance using " + ARGS.libjvm),
        ({"JvmPath": ["/nonexistent/libjvm.so", "broken/libjvm.so"], "files": {"broken/libjvm.so": "not a shared object\n"}},
         "broken/libjvm.so", "Unable to load JVM: broken/libjvm.so\n"),
        ({"JvmPath": "/nonexistent/libjvm.so", "MinJavaVersion": "0x00640000", "MsgNoRuntime": "\u00e9" * 1023}, "\u00e9" * 1023 + "\n"),
    ] + ([({"JvmPath": libz}, "Unable to locate JNI interfaces in " + libz)] if os.path.exists(libz) else [])
    for i, (entries, *lines) in enumerate(rows):
        run = Launcher("failure%d" % i, **entries).run()
        expect_failed(run, *lines)
        check("/nonexistent" not in run.stderr or "WorkingDir" in entries, "a library not chosen is named", run)
        check("WARNING in native method" not in run.stderr, "JNI checks complained", run)

def scenario_streams_and_checked_jni():
    # Under the JVM's own JNI checks (references, exceptions left pending) nothing is misused; an option
    # the JVM does not know is ignored; each stream goes into its file, emptied first, or both into one;
    # missing folders are made.
    stale = "stale content from an earlier run\n" * 50
    options = '-Xcheck:jni -Xno-such-x-option "-Dvarnlet.test=a b"'
    for files, expected in ((("out.log", "new/logs/err.log"), ("argc=40\n", "out-marker\n", "err-marker\n")),
                            (("o.log", "o.log"), ("argc=40\n", "out-marker\nerr-marker\n"))):
        launcher = Launcher("streams", {files[0]: stale}, JvmOptions=options, SystemOutFile=files[0], SystemErrFile=files[1])
        run = launcher.run(*("arg%d" % i for i in range(40)))
        check(run.returncode == 0 and not run.stdout and not run.stderr, "streams not redirected, or the JVM complained", run)
        out, err = (open(os.path.join(launcher.app, name), encoding="utf-8").read() for name in files)
        check(out.startswith(expected[0]) and out.endswith(expected[1]) and (files[0] == files[1] or err == expected[2]),
              "out %r, err %r" % (out[:100], err[-100:]))
    # main's exception goes into SystemErrFile as java prints it, and its text follows the message on the console.
    launcher = Launcher("thrown", MainClass="varnlet.testapps.Throws", JvmOptions="-Xcheck:jni", SystemErrFile="err.log")
    run, java = launcher.run(), subprocess.run([ARGS.libjvm.rsplit("/lib/", 1)[0] + "/bin/java", "-Xcheck:jni", "-cp", ARGS.jar,
                                                "varnlet.testapps.Throws"], capture_output=True, text=True)
    check(run.returncode == 255 and run.stderr == "Error invoking method: main(java/lang/String[])\n"
          "java.lang.IllegalStateException: thrown by the test app\n", "the console", run)
    check(open(os.path.join(launcher.app, "err.log")).read() == java.stderr, "err.log, java's stderr: %r" % java.stderr, run)

def scenario_option_references():
    # The trace names a reference that is not set, by either rule set, and the working directory kept. (What
    # the references become, and the archives found on disk, the unit tier shows: the JVM takes them as given.)
    for modern, kept in ((True, "kept as written"), (False, "left empty")):
        launcher = Launcher("option references", JvmOptions="-Du=%VARNLET_NO_SUCH%", ModernReferences=modern)
        run = launcher.run(environment=dict(os.environ, VARNLET_TRACE="1"))
        expect_ran(run)
        for line in ("reference %VARNLET_NO_SUCH% is not set: " + kept, "working directory: %s (unchanged" % launcher.app):
            check(line in run.stderr, "the trace lacks " + line, run)

def scenario_non_daemon_thread_outlives_main():
    # The worker prints its line 1.5 s after main returned: only a process that waited shows it.
    run = Launcher("nondaemon", MainClass="varnlet.testapps.NonDaemon").run("1500")
    check(run.returncode == 0 and run.stdout == "main-returned\nworker-finished\n", "the process ended before the thread", run)

def scenario_single_instance_per_user():
    # One lock per user and file: left behind by root, it lets nobody run; held by nobody, it refuses nobody's
    # start through a hard link and another XDG_RUNTIME_DIR, and lets root run, and a copy of the application
    # (a user's second one, another build tree's) run beside it.
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        return print("skipped: needs root and setpriv")
    launcher = Launcher("single", MainClass="varnlet.testapps.NonDaemon", SingleInstance=True)
    copy = Launcher("single-copy", MainClass="varnlet.testapps.NonDaemon", SingleInstance=True)
    exe, link = launcher.exe, launcher.exe + "-link"
    os.link(exe, link)
    env = {k: v for k, v in os.environ.items() if k != "XDG_RUNTIME_DIR"}
    start = lambda nobody, path, pause, **extra: subprocess.Popen(  # noqa: E731
        (["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if nobody else []) + [path, pause], cwd=launcher.start,
        env=dict(env, **extra), text=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    finish = lambda p: subprocess.CompletedProcess(p.args, p.wait(120), p.stdout.read(), p.stderr.read())  # noqa: E731
    # With no pause, the worker's line may come before main's (a loaded machine shows it).
    ran = lambda run: run.returncode == 0 and "worker-finished" in run.stdout.split("\n")  # noqa: E731
    for nobody in (False, True):
        run = finish(start(nobody, exe, "0"))
        check(ran(run), "refused while nothing runs", run)
    held = start(True, exe, "60000")
    try:
        check(held.stdout.readline() == "main-returned\n", "the first instance did not start")
        expect_failed(finish(start(True, link, "0", XDG_RUNTIME_DIR=launcher.root)), "An instance of this program is already running.")
        for nobody, path in ((False, exe), (True, copy.exe)):
            run = finish(start(nobody, path, "0"))
            check(ran(run), "another user's instance, or another copy's, blocks a start", run)
    finally:
        held.kill()

def find_scenario(name):
    """scenario_NAME of this file or of a runs_*.py beside it (which imports its helpers from here)."""
    if "scenario_" + name in globals():
        return globals()["scenario_" + name]
    here = os.path.dirname(os.path.abspath(__file__))
    sys.modules.setdefault("launcher_runs", sys.modules[__name__])  # one ARGS for every file
    sys.path.insert(0, here)
    for file in sorted(os.listdir(here)):
        if file.startswith("runs_") and file.endswith(".py") and hasattr(__import__(file[:-3]), "scenario_" + name):
            return getattr(sys.modules[file[:-3]], "scenario_" + name)
    raise Failure("no scenario_" + name)

def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--pack", "--stub", "--jar", "--libjvm", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("scenario")
    ARGS = parser.parse_args()
    ARGS.work = os.path.abspath(ARGS.work)
    os.environ.pop("NOTIFY_SOCKET", None)  # runs without a socket are runs outside systemd
    os.makedirs(ARGS.work, exist_ok=True)
    try:
        find_scenario(ARGS.scenario)()
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL %s: %s" % (ARGS.scenario, e))
        return 1
    print("ok   " + ARGS.scenario)
    return 0

if __name__ == "__main__":
    sys.exit(main())
