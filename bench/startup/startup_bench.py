#!/usr/bin/env python3
"""Start-up benchmark: the packed Linux launcher, a minimal in-process JNI program and
`java -cp`, run interleaved on a Hello app; prints medians, the launcher's overhead
against the minimal program and peak RSS. The same again with a class path directory
of 10,000 archives (the launcher's expansion against `java -cp 'dir/*'`). Figures only:
nothing here passes or fails."""
import argparse
import os
import shutil
import statistics
import subprocess
import time

MAIN_CLASS = "varnlet.testapps.Hello"


def run_once(command, expected=b"Hello from Java"):
    run = subprocess.run(command, capture_output=True)
    if run.returncode != 0 or expected not in run.stdout or run.stderr:
        raise SystemExit("run failed: %s\n%s%s" % (command, run.stdout.decode(errors="replace"),
                                                  run.stderr.decode(errors="replace")))


def timed(command):
    """One run: its wall and CPU time (the process's own and its children's it waited for)."""
    began = time.perf_counter()
    pid = os.posix_spawn(command[0], command, dict(os.environ),
                         file_actions=[(os.POSIX_SPAWN_OPEN, 1, "/dev/null", os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("%s exited with %d" % (command[0], os.waitstatus_to_exitcode(status)))
    return time.perf_counter() - began, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def measure(commands, rounds, expected=b"Hello from Java"):
    """Interleaved rounds; per command the wall times and the peak RSS in KiB."""
    times = {name: [] for name in commands}
    cpu = {name: [] for name in commands}
    rss = {name: 0 for name in commands}
    for name, command in commands.items():  # warm the page cache and the CDS archive
        run_once(command, expected)
    for r in range(rounds):
        order = list(commands.items())
        if r % 2:
            order.reverse()
        for name, command in order:
            wall, used, peak = timed(command)
            times[name].append(wall)
            cpu[name].append(used)
            rss[name] = max(rss[name], peak)
    return times, cpu, rss


def print_table(title, measured, reference):
    times, cpu, rss = measured
    print("\n" + title)
    base = statistics.median(times[reference])
    base_rss = rss[reference]
    print("  %-14s %10s %16s %12s %13s %13s" % ("", "median ms", "vs " + reference, "CPU ms", "peak RSS MiB",
                                                  "RSS diff KiB"))
    for name in times:
        median = statistics.median(times[name])
        print("  %-14s %10.1f %15.3fx %12.1f %13.1f %+13d" % (name, median * 1000, median / base,
                                                             statistics.median(cpu[name]) * 1000,
                                                             rss[name] / 1024.0, rss[name] - base_rss))
    launcher = statistics.median(times["varnlet"])
    print("  launcher overhead against %s: %+.2f ms (%+.1f%%)" % (reference, (launcher - base) * 1000,
                                                                  (launcher / base - 1) * 100))


def pack(args, directory, class_path):
    os.makedirs(directory, exist_ok=True)
    toml = os.path.join(directory, "hello.toml")
    with open(toml, "w") as f:
        f.write('target = "linux"\nMainClass = "%s"\nClassPath = "%s"\nJvmPath = "%s"\n'
                % (MAIN_CLASS, class_path, os.path.join(args.java_home, "lib/server/libjvm.so")))
    exe = os.path.join(directory, "hello")
    subprocess.run([args.pack, "build", toml, "--stub", args.launcher, "-o", exe], check=True)
    return exe


def empty_zip():
    # An archive with no entries: just the end-of-central-directory record.
    return b"PK\x05\x06" + b"\x00" * 18


APP_MAIN = "bench.main.Main"
JAVA25_HOME = "/usr/lib/jvm/temurin-25-jdk-amd64"


def multi_jar_case(args):
    """A multi-jar application (bench/startup/app: XML, HTTP client, logging, regular expressions,
    streams) on each runtime present: the launcher with its class data cache against `java -cp`
    without one, and the launcher without the cache."""
    directory = os.path.join(args.work, "multi")
    classes, lib = os.path.join(directory, "classes"), os.path.join(directory, "lib")
    os.makedirs(lib)
    sources = [os.path.join(d, f) for d, _, files in os.walk(args.app_sources) for f in files if f.endswith(".java")]
    subprocess.run([os.path.join(args.java_home, "bin/javac"), "--release", "17", "-d", classes] + sources, check=True)
    for part in sorted(os.listdir(os.path.join(classes, "bench"))):
        subprocess.run([os.path.join(args.java_home, "bin/jar"), "cf", os.path.join(lib, "app-%s.jar" % part),
                        "-C", classes, "bench/" + part], check=True)
    class_path = ":".join(os.path.join(lib, n) for n in sorted(os.listdir(lib)))
    for home in (args.java_home, JAVA25_HOME):
        if not os.path.exists(os.path.join(home, "release")):
            print("\nmulti-jar application: no runtime at %s, skipped" % home)
            continue
        version = [l.split("=")[1].strip('"\n') for l in open(os.path.join(home, "release")) if l.startswith("JAVA_VERSION=")][0]
        tag = version.split(".")[0]
        commands = {}
        for name, extra in (("varnlet cache", 'ClassDataCache = true\nClassDataCacheDir = "cache%s"\n' % tag), ("varnlet", "")):
            toml = os.path.join(directory, "app%s-%d.toml" % (tag, len(commands)))
            with open(toml, "w") as f:
                f.write('target = "linux"\nMainClass = "%s"\nClassPath = "lib"\nJvmPath = "%s"\n%s'
                        % (APP_MAIN, os.path.join(home, "lib/server/libjvm.so"), extra))
            exe = os.path.join(directory, "app%s-%d" % (tag, len(commands)))
            subprocess.run([args.pack, "build", toml, "--stub", args.launcher, "-o", exe], check=True, capture_output=True)
            commands[name] = [exe]
        commands["java -cp"] = [os.path.join(home, "bin/java"), "-cp", class_path, APP_MAIN]
        cache = os.path.join(directory, "cache" + tag)
        # First starts, each from no cache, beside `java -cp`; the assembling, apart, is waited for
        # between them (the time until the cache is there, from the first start's own start).
        run_once(commands["varnlet cache"], b"text: ")
        first, plain, ready = [], [], []
        for _ in range(args.first_rounds):
            plain.append(timed(commands["java -cp"]))
            shutil.rmtree(cache, ignore_errors=True)
            began = time.perf_counter()
            first.append(timed(commands["varnlet cache"]))
            assembled(cache)
            ready.append(time.perf_counter() - began)
        java = statistics.median(t[0] for t in plain)
        # The warm-up run of "varnlet cache" finds its cache; the timed runs use it.
        times, cpu, rss = measure(commands, args.rounds, b"text: ")
        print("\nMulti-jar application on Java %s (%d interleaved rounds)" % (version, args.rounds))
        base = statistics.median(times["java -cp"])
        for name in commands:
            median = statistics.median(times[name])
            print("  %-14s %10.1f ms %8.3fx of java -cp (%+.1f%%)   CPU %7.1f ms" % (
                name, median * 1000, median / base, (median / base - 1) * 100, statistics.median(cpu[name]) * 1000))
        wall, used = statistics.median(t[0] for t in first), statistics.median(t[1] for t in first)
        print("  first start    %10.1f ms %8.3fx of java -cp (%.1f ms)   CPU %7.1f ms against %.1f ms "
              "(median of %d, each without a cache); the cache there %.1f s after the start" % (
                  wall * 1000, wall / java, java * 1000, used * 1000, statistics.median(t[1] for t in plain) * 1000,
                  len(first), statistics.median(ready)))
        # After a short first run (the application's -version): the next starts, one by one.
        shutil.rmtree(cache, ignore_errors=True)
        run_once(commands["varnlet cache"] + ["-version"], b"text: ")
        after = []
        for _ in range(4):
            assembled(cache)
            began = time.perf_counter()
            run_once(commands["varnlet cache"], b"text: ")
            after.append(time.perf_counter() - began)
        assembled(cache)
        later = statistics.median(measure({"varnlet cache": commands["varnlet cache"]}, args.rounds, b"text: ")[0]["varnlet cache"])
        print("  after a short first run: %s ms, then %.1f ms (%.3fx of java -cp)" % (
            ", ".join("%.1f" % (t * 1000) for t in after), later * 1000, later / java))


def assembled(cache):
    """Waits until no process works on the cache folder (Java 25's assembling runs apart)."""
    for _ in range(1200):
        if not os.path.isdir(cache) or not any(n.endswith((".tmp", ".job", ".args")) for n in os.listdir(cache)):
            return
        time.sleep(0.1)
    raise SystemExit("the cache in %s was never assembled" % cache)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--minimal", required=True)
    parser.add_argument("--java-home", required=True)
    parser.add_argument("--jar", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rounds", type=int, default=21)
    parser.add_argument("--first-rounds", type=int, default=5)
    parser.add_argument("--archives", type=int, default=10000)
    parser.add_argument("--app-sources", required=True)
    parser.add_argument("--only-multi-jar", action="store_true")
    args = parser.parse_args()
    libjvm = os.path.join(args.java_home, "lib/server/libjvm.so")
    java = os.path.join(args.java_home, "bin/java")
    shutil.rmtree(args.work, ignore_errors=True)
    multi_jar_case(args)
    if args.only_multi_jar:
        return

    hello_dir = os.path.join(args.work, "hello")
    exe = pack(args, hello_dir, args.jar)
    commands = {
        "varnlet": [exe],
        "minimal JNI": [args.minimal, libjvm, args.jar, MAIN_CLASS.replace(".", "/")],
        "java -cp": [java, "-cp", args.jar, MAIN_CLASS],
    }
    print_table("Hello, one archive on the class path (%d interleaved rounds)" % args.rounds,
                measure(commands, args.rounds), "minimal JNI")

    big_dir = os.path.join(args.work, "many")
    lib = os.path.join(big_dir, "lib")
    os.makedirs(lib)
    data = empty_zip()
    for i in range(args.archives):
        with open(os.path.join(lib, "lib%05d.jar" % i), "wb") as f:
            f.write(data)
    # The app's own archive first, so the lookup of the main class opens no other archive
    # and the figures show the class path expansion.
    exe = pack(args, big_dir, args.jar + ";lib")
    expanded = os.path.join(big_dir, "classpath.txt")
    with open(expanded, "w") as f:
        f.write(":".join([args.jar] + [os.path.join(lib, n) for n in sorted(os.listdir(lib))]))
    commands = {
        "varnlet": [exe],
        "minimal JNI": [args.minimal, libjvm, "@" + expanded, MAIN_CLASS.replace(".", "/")],
        "java -cp": [java, "-cp", args.jar + ":" + lib + "/*", MAIN_CLASS],
    }
    measured = measure(commands, args.rounds)
    times = measured[0]
    print_table("Hello, plus a directory of %d archives (%d interleaved rounds)" % (args.archives, args.rounds),
                measured, "minimal JNI")
    print("  varnlet against java -cp 'dir/*': %.3fx" % (statistics.median(times["varnlet"]) /
                                                        statistics.median(times["java -cp"])))


if __name__ == "__main__":
    main()
