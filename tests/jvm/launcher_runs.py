#!/usr/bin/env python3
"""Runs the Linux launcher as a process against the real JVM, one scenario per call.

Each scenario packs its own launcher with varnlet-pack into a fresh directory, runs it
from a separate start-up directory and checks exit code, streams and what the Java test
app printed (see tests/java/varnlet/testapps)."""
import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from toml_text import toml_text  # noqa: E402

ARGS = None


class Failure(Exception):
    pass


def check(condition, what, run=None):
    if not condition:
        detail = ""
        if run is not None:
            detail = "\n--- exit %s\n--- stdout\n%s--- stderr\n%s" % (run.returncode, run.stdout, run.stderr)
        raise Failure(what + detail)


class Launcher:
    """A packed launcher in <root>/app, started from <root>/start."""

    def __init__(self, name, **entries):
        self.root = os.path.join(ARGS.work, name)
        shutil.rmtree(self.root, ignore_errors=True)
        self.app = os.path.join(self.root, "app")
        self.start = os.path.join(self.root, "start")
        os.makedirs(self.app)
        os.makedirs(self.start)
        config = {"target": "linux", "MainClass": "varnlet.testapps.PrintArgs",
                  "ClassPath": ARGS.jar, "JvmPath": ARGS.libjvm}
        config.update(entries)
        self.toml = os.path.join(self.root, "launcher.toml")
        with open(self.toml, "w", encoding="utf-8") as f:
            f.write(toml_text(config))
        self.exe = os.path.join(self.app, "testlauncher")
        command = [ARGS.pack, "build", self.toml, "-o", self.exe]
        if ARGS.stub:
            command[3:3] = ["--stub", ARGS.stub]
        packed = subprocess.run(command, capture_output=True, text=True)
        check(packed.returncode == 0 and os.path.exists(self.exe),
              "varnlet-pack failed: %s\n%s%s" % (command, packed.stdout, packed.stderr))

    def run(self, *arguments, cwd=None):
        began = time.monotonic()
        run = subprocess.run([self.exe, *arguments], cwd=cwd or self.start, capture_output=True,
                             timeout=120, env=dict(os.environ, LC_ALL="C.UTF-8"),
                             encoding="utf-8", errors="surrogateescape")
        run.elapsed = time.monotonic() - began
        return run


def report(run):
    """The key=value lines that Report.print wrote."""
    values = {}
    for line in run.stdout.splitlines():
        key, sep, value = line.partition("=")
        if sep and key not in values:
            values[key] = value
    return values


def arguments_of(values):
    count = int(values["argc"])
    return [bytes.fromhex(values["arg%d" % i]).decode("utf-8") for i in range(count)]


def expect_ran(run, arguments=None):
    check(run.returncode == 0, "exit code 0 expected", run)
    values = report(run)
    check("argc" in values, "the app printed no report", run)
    if arguments is not None:
        got = arguments_of(values)
        check(got == arguments, "arguments %r, expected %r" % (got, arguments), run)
    return values


def expect_failed(run, *error_lines):
    """Exit code -1 (255) and the given lines, in this order, on the error stream."""
    check(run.returncode == 255, "exit code 255 expected", run)
    position = 0
    for line in error_lines:
        found = run.stderr.find(line, position)
        check(found >= 0, "missing on stderr (in this order): %r" % line, run)
        position = found + len(line)


# --- scenarios -------------------------------------------------------------------

def scenario_app_options():
    # The command line replaces AppOptions; empty ones give main a zero-length array.
    launcher = Launcher("appoptions", AppOptions='one  two "three four"')
    expect_ran(launcher.run("first", "two words", ""), ["first", "two words", ""])
    expect_ran(launcher.run(), ["one", "", "two", "three four"])
    expect_ran(Launcher("emptyoptions", AppOptions="").run(), [])


def scenario_non_ascii_texts():
    texts = ["caf\u00e9", "\u00fcber \u65e5\u672c", "\U0001F600", "\u0391\u03b2\u03b3"]
    expect_ran(Launcher("nonascii").run(*texts), texts)
    expect_ran(Launcher("nonascii-options", AppOptions="Gr\u00fc\u00dfe \"\u2603 snow\"").run(), ["Gr\u00fc\u00dfe", "\u2603 snow"])
    # The longest texts varnlet-pack accepts (1023 characters, 2046 bytes), in a directory of 360 bytes.
    text, cjk = "\u00e9" * 1023, "\u4e2d\u6587\u76ee\u5f55" * 15
    launcher = Launcher("long/%s/%s" % (cjk, cjk), AppOptions=text)
    check(expect_ran(launcher.run(), [text])["user.dir"] == launcher.app, "user.dir in a long directory")
    expect_failed(Launcher("long-message", JvmPath="/nonexistent/libjvm.so", MinJavaVersion="0x00640000", MsgNoRuntime=text).run(), text + "\n")


def scenario_directories():
    # The application runs in WorkingDir (in the start-up directory with UseStartupDir); a relative
    # class path resolves there with EarlyWorkingDir, else in the launcher's own directory.
    for name, entries, jar_in, in_start in (("early", {"EarlyWorkingDir": True}, "work", False),
                                            ("late", {}, "", False), ("startup", {"UseStartupDir": True}, "", True)):
        launcher = Launcher("dirs-" + name, WorkingDir="work", ClassPath="apps.jar", **entries)
        os.makedirs(os.path.join(launcher.app, "work"))
        shutil.copy(ARGS.jar, os.path.join(launcher.app, jar_in, "apps.jar"))
        values = expect_ran(launcher.run())
        expected = launcher.start if in_start else os.path.join(launcher.app, "work")
        check(values["user.dir"] == expected == values["cwd"], "%s: user.dir %s, cwd %s" % (name, values["user.dir"], values["cwd"]))


def scenario_failures():
    # Each: the entries, then the lines expected on the error stream in this order; main never returns.
    rows = [({"WorkingDir": "/nonexistent/varnlet-work", "EarlyWorkingDir": early},
             "No such file or directory", "Error accessing file/directory: /nonexistent/varnlet-work") for early in (False, True)]
    rows += [
        ({"SystemOutFile": "no-such-dir/out.log"},
         "java.io.FileNotFoundException", "Error instantiating object: java/io/FileOutputStream"),
        ({"MainClass": "varnlet.testapps.NoSuchClass"},
         "java.lang.NoClassDefFoundError: varnlet/testapps/NoSuchClass", "Error locating class: varnlet/testapps/NoSuchClass"),
        ({"MainClass": "varnlet.testapps.NoMain"}, "java.lang.NoSuchMethodError", "Error locating method: main(java/lang/String[])"),
        ({"MainClass": "varnlet.testapps.Throws"}, "java.lang.IllegalStateException: thrown by the test app",
         "at varnlet.testapps.Throws.main", "Error invoking method: main(java/lang/String[])"),
        ({"JvmOptions": "-XX:MaxHeapSize=abc"}, "Invalid maximum heap size", "Unable to create JVM instance using " + ARGS.libjvm),
    ]
    libz = "/usr/lib/x86_64-linux-gnu/libz.so.1"  # a library without the JNI exports
    rows += [({"JvmPath": libz}, "Unable to locate JNI interfaces in " + libz)] if os.path.exists(libz) else []
    for i, (entries, *lines) in enumerate(rows):
        run = Launcher("failure%d" % i, **entries).run()
        expect_failed(run, *lines)
        check("argc=" not in run.stdout, "main must not return", run)


def scenario_stream_redirection():
    # Each stream into a file of its own, emptied first.
    launcher = Launcher("redirect", SystemOutFile="out.log", SystemErrFile="logs/err.log")
    os.makedirs(os.path.join(launcher.app, "logs"))
    files = [os.path.join(launcher.app, name) for name in ("out.log", "logs/err.log")]
    for path in files:
        with open(path, "w") as f:
            f.write("stale content from an earlier run\n" * 50)
    run = launcher.run("x")
    check(run.returncode == 0 and "marker" not in run.stdout + run.stderr, "streams not redirected", run)
    out, err = (open(path, encoding="utf-8").read() for path in files)
    check(out.startswith("argc=1\n") and out.endswith("out-marker\n") and err == "err-marker\n", "out %r, err %r" % (out, err))


def scenario_non_daemon_thread_outlives_main():
    launcher = Launcher("nondaemon", MainClass="varnlet.testapps.NonDaemon")
    run = launcher.run("1500")
    check(run.returncode == 0, "exit code 0 expected", run)
    check(run.stdout == "main-returned\nworker-finished\n", "the process ended before the thread", run)
    check(run.elapsed >= 1.5, "ended after %.2f s, before the thread's 1.5 s pause" % run.elapsed, run)


def scenario_library_not_loadable():
    launcher = Launcher("badlib", JvmPath=["/nonexistent/libjvm.so", "broken/libjvm.so"])
    os.makedirs(os.path.join(launcher.app, "broken"))
    with open(os.path.join(launcher.app, "broken", "libjvm.so"), "w") as f:
        f.write("not a shared object\n")
    run = launcher.run()
    # The loader's own reason first, then the message with the one library chosen.
    expect_failed(run, "broken/libjvm.so", "Unable to load JVM: broken/libjvm.so\n")
    check("/nonexistent" not in run.stderr, "the message must name the chosen library only", run)
    first = run.stderr.splitlines()[0]
    check("Unable to load JVM" not in first and first.strip(), "the system's text must come first", run)


def scenario_checked_jni():
    # The JVM's own JNI checks find no misuse (references, exceptions left pending, etc.);
    # an option the JVM does not know is ignored.
    arguments = ["arg%d" % i for i in range(40)]
    launcher = Launcher("checkedjni", JvmOptions='-Xcheck:jni -Xno-such-x-option "-Dvarnlet.test=a b"',
                        SystemOutFile="o.log", SystemErrFile="o.log")
    run = launcher.run(*arguments)
    check(run.returncode == 0 and "WARNING" not in run.stderr and "FATAL" not in run.stderr, "JNI checks complained", run)
    text = open(os.path.join(launcher.app, "o.log"), encoding="utf-8").read()  # both streams in order
    check(text.startswith("argc=40\n") and text.endswith("out-marker\nerr-marker\n"), "o.log: %r" % text[:200])
    launcher = Launcher("checkedjni-throws", JvmOptions="-Xcheck:jni", MainClass="varnlet.testapps.Throws")
    run = launcher.run()
    expect_failed(run, "Error invoking method: main(java/lang/String[])")
    check("WARNING in native method" not in run.stderr, "JNI checks complained", run)


def find_scenario(name):
    """scenario_NAME of this file or of a runs_*.py beside it (which imports its helpers from here)."""
    if "scenario_" + name in globals():
        return globals()["scenario_" + name]
    here = os.path.dirname(os.path.abspath(__file__))
    sys.modules.setdefault("launcher_runs", sys.modules[__name__])  # one ARGS for every file
    sys.path.insert(0, here)
    for file in sorted(os.listdir(here)):
        if file.startswith("runs_") and file.endswith(".py"):
            module = __import__(file[:-3])
            if hasattr(module, "scenario_" + name):
                return getattr(module, "scenario_" + name)
    raise Failure("no scenario_" + name)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--pack", required=True)
    parser.add_argument("--stub")
    parser.add_argument("--jar", required=True)
    parser.add_argument("--libjvm", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("scenario", nargs="+")
    ARGS = parser.parse_args()
    ARGS.work = os.path.abspath(ARGS.work)
    os.environ.pop("NOTIFY_SOCKET", None)  # runs without a socket are runs outside systemd
    os.makedirs(ARGS.work, exist_ok=True)
    failed = 0
    for name in ARGS.scenario:
        try:
            find_scenario(name)()
            print("ok   " + name)
        except (Failure, subprocess.TimeoutExpired) as e:
            failed += 1
            print("FAIL %s: %s" % (name, e))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
