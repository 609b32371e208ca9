#!/usr/bin/env python3
"""Log throughput benchmark: LogBench writes 1 GB of 100-byte lines through System.out, which the
launcher redirects to a file rolling over at 100 MB, and through a PrintStream over a plain
FileOutputStream; rounds interleaved, medians and the throughput ratio printed. Figures only."""
import argparse
import os
import shutil
import statistics
import subprocess


def main():
    parser = argparse.ArgumentParser()
    for option in ("--launcher", "--pack", "--java-home", "--classes", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--bytes", type=int, default=1 << 30)
    parser.add_argument("--rounds", type=int, default=7)  # the disk's own variation needs several
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    toml, exe = os.path.join(args.work, "bench.toml"), os.path.join(args.work, "logbench")
    with open(toml, "w") as f:
        f.write('target = "linux"\nMainClass = "LogBench"\nClassPath = "%s"\nJvmPath = "%s"\nSystemOutFile = "%s"\n'
                'LogRotateSize = "100 MB"\nLogRotateKeep = 2\n'
                % (args.classes, os.path.join(args.java_home, "lib/server/libjvm.so"), os.path.join(args.work, "app.log")))
    subprocess.run([args.pack, "build", toml, "--stub", args.launcher, "-o", exe], check=True, capture_output=True)
    commands = {"plain": [exe, "plain", str(args.bytes), os.path.join(args.work, "plain.log")],
                "redirected": [exe, "system", str(args.bytes)]}
    # Wall time of the writes (other work on the machine shows in it) and the process's CPU time.
    seconds = {name: [] for name in commands}
    cpu = {name: [] for name in commands}
    for r in range(args.rounds):
        for name, command in (commands.items() if r % 2 == 0 else reversed(commands.items())):
            err = os.path.join(args.work, "stderr.txt")
            with open(err, "w") as stream:
                pid = os.posix_spawn(command[0], command, dict(os.environ), file_actions=[(os.POSIX_SPAWN_DUP2, stream.fileno(), 2)])
            _, status, usage = os.wait4(pid, 0)
            text = open(err).read()
            if os.waitstatus_to_exitcode(status) != 0 or not text.startswith("ns="):
                raise SystemExit("%s failed: %s" % (name, text))
            seconds[name].append(int(text.strip()[3:]) / 1e9)
            cpu[name].append(usage.ru_utime + usage.ru_stime)
            for log in os.listdir(args.work):
                if ".log" in log:
                    os.remove(os.path.join(args.work, log))
    gib = args.bytes / (1 << 30)
    rates = {name: gib * 1024 / statistics.median(times) for name, times in seconds.items()}
    for name, times in seconds.items():
        print("  %-11s median %6.2f s  %7.1f MiB/s  (%s)" % (name, statistics.median(times), rates[name],
                                                              ", ".join("%.2f" % t for t in times)))
    for name, times in cpu.items():
        print("  %-11s median CPU %6.2f s  (%s)" % (name, statistics.median(times), ", ".join("%.2f" % t for t in times)))
    print("  redirected with rotation / plain FileOutputStream throughput: %.3fx (wall), %.3fx (CPU)"
          % (rates["redirected"] / rates["plain"], statistics.median(cpu["plain"]) / statistics.median(cpu["redirected"])))


if __name__ == "__main__":
    main()
