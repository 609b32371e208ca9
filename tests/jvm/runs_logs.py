"""Log files the launcher keeps: rolled over under eight printing threads and under two processes, the
JVM's and native output in a Linux service's file, the daily roll by the test clock."""
import os
import re
import subprocess

import launcher_runs as runs
from launcher_runs import check

LOG_APP = "varnlet.testapps.LogLines"

def kept(directory, name):
    """The kept files of a log, oldest first: name.N ... name.1, name."""
    pattern = re.compile(re.escape(name) + r"\.(\d+)")
    rolled = sorted((int(m[1]) for m in map(pattern.fullmatch, os.listdir(directory)) if m), reverse=True)
    return [os.path.join(directory, "%s.%d" % (name, n)) for n in rolled] + [os.path.join(directory, name)]

def thread_lines(text, threads, count):
    """Each thread's line numbers in the order they appear; every line whole."""
    numbers = {t: [] for t in range(threads)}
    for line in text.decode("ascii").splitlines():
        m = re.fullmatch(r"t(\d+) (\d+) (x*)", line)
        check(m and len(m[3]) == (70000 if m[2] == "1500" else int(m[2]) % 50), "a broken line: %r" % line[:100])
        numbers[int(m[1])].append(int(m[2]))
    return numbers

def scenario_log_rotation_under_threads():
    # Every line once, whole, in order per thread across the kept files; a file is cut exactly where the next
    # line would take it past 64 KB, and a longer line has a file of its own; the previous run's file is kept
    # (the unit tier shows the oldest going beyond LogRotateKeep).
    limit, threads, count = 64 * 1024, 8, 3000
    launcher = runs.Launcher("logrotate", {"logs/app.log": "previous run\n"}, MainClass=LOG_APP,
                             AppOptions="lines %d %d" % (threads, count), SystemOutFile="logs/app.log",
                             SystemErrFile="logs/app.log", LogRotateSize="64 KB", LogRotateKeep=40, JvmOptions="-Xcheck:jni")
    run = launcher.run()
    check(run.returncode == 0 and not run.stdout and not run.stderr, "exit 0, nothing on the console (no JNI warning)", run)
    texts = [open(path, "rb").read() for path in kept(os.path.join(launcher.app, "logs"), "app.log")]
    check(texts[0] == b"previous run\n", "the previous run's log rolled first: %r" % texts[0][:40])
    numbers = thread_lines(b"".join(texts[1:]), threads, count)
    check(all(numbers[t] == list(range(count)) for t in numbers), "lines lost, doubled or out of order")
    sizes, size = [], 0  # where the rule cuts the lines as they came
    for line in b"".join(texts[1:]).splitlines(keepends=True):
        if size and size + len(line) > limit:
            sizes.append(size)
            size = 0
        size += len(line)
    check([len(text) for text in texts[1:]] == sizes + [size] and len(sizes) >= 10,
          "file sizes %r, expected %r" % ([len(t) for t in texts[1:]], sizes + [size]))

def scenario_two_processes_on_one_rotating_log():
    # Two instances write to one log rolling over at 64 KB, each once both have opened it: every line of both
    # lands once and whole.
    launcher = runs.Launcher("logshared", MainClass=LOG_APP, SystemOutFile="app.log", LogRotateSize="64 KB", LogRotateKeep=1000)
    os.makedirs(os.path.join(launcher.root, "ready"))
    both = [subprocess.Popen([launcher.exe, "lines", "4", "3000", os.path.join(launcher.root, "ready")], cwd=launcher.start,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT) for _ in range(2)]
    check([(p.communicate(timeout=120)[0], p.returncode) for p in both] == [(b"", 0)] * 2, "exit 0, nothing on the console")
    numbers = thread_lines(b"".join(open(path, "rb").read() for path in kept(launcher.app, "app.log")), 8, 3000)
    check(all(sorted(numbers[t]) == list(range(3000)) for t in numbers), "lines lost or doubled")

def scenario_service_native_output_in_its_log():
    # The JVM's -Xlog:gc lines (from its start on) and a write to descriptor 2 land in the service's file,
    # in folders made for it, beside Java's lines; the service's own reports stay on the standard error
    # systemd reads.
    launcher = runs.Launcher("lognative", MainClass=LOG_APP, ServiceName="demo-log", ServiceStartOptions="native",
                             JvmOptions="-Xlog:gc", SystemOutFile="logs/run/app.log", SystemErrFile="logs/run/app.log")
    run = launcher.run("-startlauncherinservicemode")
    log = open(os.path.join(launcher.app, "logs/run/app.log")).read()
    check(run.returncode == 0 and re.match(r"\[[^\n]*\[gc\] Using [^\n]*\njava line\n.*Pause Full \(System.gc\(\)\).*\nnative line\njava error line\n$",
                                            log, re.S), "the log: %r" % log, run)
    check(run.stderr.endswith("<6>The demo-log service has stopped.\n") and "line" not in run.stdout + run.stderr,
          "reports on standard error, no line", run)

def scenario_log_daily_roll_by_the_test_clock():
    launcher = runs.Launcher("logdays", MainClass=LOG_APP, SystemOutFile="day.log", LogRotateDaily=True)
    clock = os.path.join(launcher.root, "clock")
    open(clock, "w").write("20000")
    run = launcher.run("days", clock, environment=dict(os.environ, VARNLET_TEST_LOG_DAY_FILE=clock))
    texts = [open(path).read() for path in kept(launcher.app, "day.log")]
    check(run.returncode == 0 and texts == ["day one\n", "day two\n"], "the days' files: %r" % texts, run)
