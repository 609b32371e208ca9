"""A command-line tool as one ships: bin/ and lib/ of a bundle, started from another directory,
with the java command's option forms, against JDK 17 and the newer runtime where present."""
import os
import shutil
import subprocess

import launcher_runs as runs
from launcher_runs import check
from toml_text import toml_text

NEWER = "/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"

def scenario_command_line_tool():
    for libjvm in [runs.ARGS.libjvm] + ([NEWER] if os.path.exists(NEWER) else []):
        root = os.path.join(runs.ARGS.work, "cli-" + libjvm.split("/")[4])
        shutil.rmtree(root, ignore_errors=True)
        bin_dir, caller, exe = os.path.join(root, "bundle", "bin"), os.path.join(root, "caller"), os.path.join(root, "bundle", "bin", "tool")
        config = {"target": "linux", "MainClass": "varnlet.testapps.CommandTool", "ClassPath": "../lib", "JvmPath": libjvm,
                  "StayInStartupDir": True, "JavaCommandOptions": True, "LauncherProperties": True,
                  "WorkingDir": "not-entered", "UseStartupDir": True, "EarlyWorkingDir": True,
                  "JvmOptions": ["--add-opens", "java.base/java.lang=ALL-UNNAMED", "@jvm.options", "--add-modules", "java.sql", "-Dspaced=a b"]}
        for path, text in (("bundle/bin/jvm.options", '# the tool\'s options\n"-Dfile=x y" --enable-native-access\nALL-UNNAMED\n'),
                           ("caller/data/in.txt", "relative input\n"), ("tool.toml", toml_text(config)), ("bundle/lib/", None)):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            text is None or open(os.path.join(root, path), "w").write(text)
        shutil.copy(runs.ARGS.jar, os.path.join(root, "bundle", "lib"))
        packed = subprocess.run([runs.ARGS.pack, "build", os.path.join(root, "tool.toml"), "--stub", runs.ARGS.stub, "-o", exe],
                                capture_output=True, text=True)
        check(packed.returncode == 0 and "warning: UseStartupDir has no effect with EarlyWorkingDir" in packed.stderr and
              ":8:14: warning: WorkingDir has no effect with StayInStartupDir" in packed.stderr, "varnlet-pack: " + packed.stderr)
        run = subprocess.run([exe, "data/in.txt", "data/out.txt"], cwd=caller, capture_output=True, text=True, timeout=120,
                             env=dict(os.environ, JDK_JAVA_OPTIONS="-Denv=1", VARNLET_TRACE="1"))
        check(run.returncode == 0 and "NOTE: Picked up JDK_JAVA_OPTIONS: -Denv=1\n" in run.stderr, "run or trace failed", run)
        inputs = ["-Dvarnlet.exe.path=" + exe, "-Dvarnlet.exe.dir=" + bin_dir, "-Denv=1", "--add-opens=java.base/java.lang=ALL-UNNAMED",
                  "-Dfile=x y", "--enable-native-access=ALL-UNNAMED", "--add-modules=java.sql", "-Dspaced=a b"]
        properties = ["user.dir=" + caller, "sun.java.command=varnlet.testapps.CommandTool data/in.txt data/out.txt",
                      "varnlet.exe.path=" + exe, "varnlet.exe.dir=" + bin_dir]
        check(run.stdout.splitlines() == ["input=" + i for i in inputs] + properties, libjvm + ": input arguments, properties", run)
        check(open(os.path.join(caller, "data", "out.txt")).read() == "relative input\n", "the copy beside the input")
        for program, said in ((os.path.join(os.path.dirname(libjvm), "../../bin/java"), "working directory"), (exe, "CURRENT_DIR")):
            run = subprocess.run(["sh", "-c", 'mkdir gone && cd gone && rmdir ../gone && exec "$0" -version', program], cwd=caller,
                                 capture_output=True, text=True, timeout=120)  # from a deleted directory: 1 and a report, as java
            check(run.returncode == 1 and said in run.stdout + run.stderr, program + " from a deleted directory", run)
