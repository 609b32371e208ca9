"""A Linux launcher without JvmPath finds OpenJDK where Debian puts it (%JAVA_HOME% shows where)."""
import os
import shutil

import launcher_runs as runs
from launcher_runs import Launcher, check, expect_failed, expect_ran

HOME = os.path.dirname(os.path.dirname(os.path.realpath("/usr/bin/java")))

def launch(name, environment, **entries):
    launcher = Launcher(name, JvmPath="", ClassPath=[runs.ARGS.jar, "%JAVA_HOME%/marker"], **entries)
    return launcher.run(environment=dict({k: v for k, v in os.environ.items() if k != "JAVA_HOME"}, **environment))

def chosen_home(run):
    return expect_ran(run)["java.class.path"][len(runs.ARGS.jar) + 1:-len("/marker")]

def scenario_installed_runtimes():
    if not os.path.exists("/usr/bin/java"):
        return print("skipped: no /usr/bin/java")
    link = os.path.join(runs.ARGS.work, "my-jdk")  # a JAVA_HOME of the user's own naming
    if not os.path.lexists(link):
        os.symlink(HOME, link)
    check(chosen_home(launch("java-home", {"JAVA_HOME": link, "PATH": "/none"})) == link, "JAVA_HOME not taken")
    run = launch("path", {"PATH": "/none:/usr/bin", "VARNLET_TRACE": "1"})  # through /etc/alternatives
    check(chosen_home(run) == HOME, "PATH: expected " + HOME, run)
    places = ["JvmPath: empty", "JAVA_HOME: not set", "PATH: /usr/bin/java is " + HOME,
              "taken: " + HOME + "/lib/server/libjvm.so", "class path: " + runs.ARGS.jar + ":" + HOME]
    check(all(p in run.stderr for p in places) and "registry" not in run.stderr, "the trace lacks one of %r" % places, run)
    check(chosen_home(launch("folder", {"PATH": "/none"})).startswith("/usr/lib/jvm/"), "/usr/lib/jvm not searched")
    # A minimum above every runtime: each is named before the usual message.
    run = launch("too-old", {"JAVA_HOME": HOME, "PATH": "/usr/bin", "VARNLET_TRACE": "1"}, MinJavaVersion="0x00640000")
    expect_failed(run, "varnlet: /usr/lib/jvm: ", "Java runtimes found but not used:\n", "  %s: Java 1" % HOME,
                  " does not meet MinJavaVersion 0x00640000\n", "Unable to locate suitable Java Runtime Environment on this machine.\n"
                  "Looked for Java 100 or later (MinJavaVersion 0x00640000). To see where the launcher looked for Java, "
                  "run it again with the environment variable VARNLET_TRACE set.\n")
    # A JAVA_HOME that says it is Java 8: every form of "at least 17" passes it over for /usr/lib/jvm.
    fake = os.path.join(runs.ARGS.work, "java8")
    os.makedirs(fake, exist_ok=True)
    open(os.path.join(fake, "release"), "w").write('JAVA_VERSION="1.8.0_392"\n')
    os.path.lexists(os.path.join(fake, "lib")) or os.symlink(os.path.join(HOME, "lib"), os.path.join(fake, "lib"))
    for minimum in ("0x0", "17", 17, "21", "17.0"):
        home = chosen_home(launch("minimum", {"JAVA_HOME": fake, "PATH": "/none"}, MinJavaVersion=minimum))
        check((home == fake) == (minimum == "0x0"), "MinJavaVersion %r took %s" % (minimum, home))

def scenario_java8_layouts():
    # A JRE 8 of its own (lib/amd64/server) and a kit's jre folder as JAVA_HOME, its release file one folder
    # up: each library, a copy of the real one, is taken (it cannot start a JVM from there).
    root = os.path.join(runs.ARGS.work, "java8-homes")
    for home in ("jre1.8.0_392", "jdk1.8.0_392/jre"):
        library = os.path.join(root, home, "lib/amd64/server/libjvm.so")
        os.makedirs(os.path.dirname(library), exist_ok=True)
        shutil.copy(runs.ARGS.libjvm, library)
        open(os.path.join(root, home.split("/")[0], "release"), "w").write('JAVA_VERSION="1.8.0_392"\n')
        run = launch("java8", {"JAVA_HOME": os.path.join(root, home), "PATH": "/none", "VARNLET_TRACE": "1"}, MinJavaVersion="1.8")
        check("taken: " + library in run.stderr, "not taken: " + library, run)

