#!/usr/bin/env python3
"""The Linux launcher without JvmPath finds the real OpenJDK where Debian installs it:
through JAVA_HOME, through the `java` on PATH (its alternatives links followed) and under
/usr/lib/jvm. %JAVA_HOME% at the end of the class path shows the home it chose."""
import os
import sys

import launcher_runs as runs
from launcher_runs import Launcher, check, expect_failed, expect_ran

HOME = os.path.dirname(os.path.dirname(os.path.realpath("/usr/bin/java")))


def launch(name, environment, **entries):
    """Runs a launcher with no JvmPath in the given environment (None removes a variable)."""
    launcher = Launcher(name, JvmPath="", ClassPath=[runs.ARGS.jar, "%JAVA_HOME%/marker"], **entries)
    saved = dict(os.environ)
    os.environ.pop("JAVA_HOME", None)
    os.environ.pop("VARNLET_TRACE", None)
    os.environ.update({k: v for k, v in environment.items() if v is not None})
    try:
        return launcher.run()
    finally:
        os.environ.clear()
        os.environ.update(saved)


def chosen_home(run):
    class_path = expect_ran(run)["java.class.path"]
    check(class_path.endswith("/marker"), "no %%JAVA_HOME%% entry in %s" % class_path, run)
    return class_path[len(runs.ARGS.jar) + 1:-len("/marker")]


def scenario_java_home_path_and_standard_folder():
    # JAVA_HOME naming a home through a link of its own: that name is the home.
    link = os.path.join(runs.ARGS.work, "my-jdk")
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(HOME, link)
    home = chosen_home(launch("from-java-home", {"JAVA_HOME": link, "PATH": "/nonexistent"}))
    check(home == link, "JAVA_HOME: home %s, expected %s" % (home, link))
    # /usr/bin/java leads through /etc/alternatives to the runtime.
    run = launch("from-path", {"PATH": "/nonexistent:/usr/bin", "VARNLET_TRACE": "1"})
    check(chosen_home(run) == HOME, "PATH: expected %s" % HOME, run)
    for place in ("JvmPath: empty", "registry: looking in", "JAVA_HOME: not set",
                  "PATH: /usr/bin/java is " + HOME + "/bin/java", "taken: " + HOME + "/lib/server/libjvm.so",
                  "class path: " + runs.ARGS.jar + ":" + HOME + "/marker"):
        check(place in run.stderr, "trace without %r" % place, run)
    # Nothing in the environment: a runtime under /usr/lib/jvm.
    home = chosen_home(launch("from-folder", {"PATH": "/nonexistent"}))
    check(home.startswith("/usr/lib/jvm/"), "folder: home %s" % home)


def scenario_minimum_skips_every_runtime():
    run = launch("above-every-runtime", {"JAVA_HOME": HOME, "PATH": "/usr/bin", "VARNLET_TRACE": "1"},
                 MinJavaVersion="0x00640000")
    version = expect_ran(launch("version", {"JAVA_HOME": HOME}))["java.version"]
    expect_failed(run, "Java runtimes found but not used:\n",
                  "  %s: Java %s does not meet MinJavaVersion 0x00640000\n" % (HOME, version),
                  "Unable to locate suitable Java Runtime Environment on this machine.")
    check("varnlet: /usr/lib/jvm: " in run.stderr, "the trace names no runtime under /usr/lib/jvm", run)
    check("argc=" not in run.stdout, "main must not run", run)


if __name__ == "__main__":
    runs.scenario_java_home_path_and_standard_folder = scenario_java_home_path_and_standard_folder
    runs.scenario_minimum_skips_every_runtime = scenario_minimum_skips_every_runtime
    sys.exit(runs.main())
