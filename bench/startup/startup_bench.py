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


def run_once(command):
    run = subprocess.run(command, capture_output=True)
    if run.returncode != 0 or b"Hello from Java" not in run.stdout:
        raise SystemExit("run failed: %s\n%s%s" % (command, run.stdout.decode(errors="replace"),
                                                  run.stderr.decode(errors="replace")))


def measure(commands, rounds):
    """Interleaved rounds; per command the wall times and the peak RSS in KiB."""
    times = {name: [] for name in commands}
    cpu = {name: [] for name in commands}
    rss = {name: 0 for name in commands}
    for name, command in commands.items():  # warm the page cache and the CDS archive
        run_once(command)
    for r in range(rounds):
        order = list(commands.items())
        if r % 2:
            order.reverse()
        for name, command in order:
            began = time.perf_counter()
            pid = os.posix_spawn(command[0], command, dict(os.environ),
                                 file_actions=[(os.POSIX_SPAWN_OPEN, 1, "/dev/null", os.O_WRONLY, 0)])
            _, status, usage = os.wait4(pid, 0)
            times[name].append(time.perf_counter() - began)
            if os.waitstatus_to_exitcode(status) != 0:
                raise SystemExit("%s exited with %d" % (name, os.waitstatus_to_exitcode(status)))
            rss[name] = max(rss[name], usage.ru_maxrss)
            cpu[name].append(usage.ru_utime + usage.ru_stime)
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--pack", required=True)
    parser.add_argument("--minimal", required=True)
    parser.add_argument("--java-home", required=True)
    parser.add_argument("--jar", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rounds", type=int, default=21)
    parser.add_argument("--archives", type=int, default=10000)
    args = parser.parse_args()
    libjvm = os.path.join(args.java_home, "lib/server/libjvm.so")
    java = os.path.join(args.java_home, "bin/java")
    shutil.rmtree(args.work, ignore_errors=True)

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
