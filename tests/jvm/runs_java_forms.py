"""`java` as the judge: every input of java_forms.txt runs through `java` and through a launcher set up to
match (JavaCommandOptions, LauncherProperties, StayInStartupDir) on every runtime present; both must agree on
whether the start succeeded, what main and the JVM received, the properties and packages PrintArgs shows and,
for a start that succeeded, the error stream. Only the guide's table of documented differences may differ."""
import os
import re
import subprocess
import zipfile
from concurrent.futures import ThreadPoolExecutor

import launcher_runs as runs
from launcher_runs import Launcher, check

HERE = os.path.dirname(os.path.abspath(__file__))
HOMES = ["/usr/lib/jvm/java-17-openjdk-amd64", "/usr/lib/jvm/temurin-25-jdk-amd64"]
QUICK = ["-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-XX:-UsePerfData"]  # on both sides, left out of the comparison
MAIN, ARGUMENTS = "varnlet.testapps.PrintArgs", ["x", "y z"]
hexed = lambda text: text.encode().hex()  # noqa: E731

def case_of(text):
    return eval(text, {"__builtins__": {}, "range": range})  # the repository's own data: a dict, with "a" * n and joins

def outcome(run):
    """The probe's lines in order (the input arguments without QUICK and the launcher's varnlet.exe properties), the
    JVM's own lines sorted and without their times, the error stream; or "refused"."""
    if run.returncode != 0 or "out-marker" not in run.stdout:
        return "refused"
    lines = [re.sub(r"^jvmarg\d+=", "jvmarg=", line) for line in run.stdout.splitlines() if not line.startswith("jvmargc=")]
    probe = [line for line in lines if re.match(r"[\w.-]+=", line) and line[7:] not in map(hexed, QUICK)
             and not line.startswith("jvmarg=" + hexed("-Dvarnlet.exe."))]
    other = sorted(re.sub(r"^\[[\d.]+s\]", "", line) for line in lines if not re.match(r"[\w.-]+=", line))
    return "\n".join(probe + other) + "\n--- stderr\n" + run.stderr

def differential(home, number, case):
    name, mods = "forms/%s/%d" % (os.path.basename(home), number), os.path.join(os.path.dirname(runs.ARGS.jar), "launch", "mods")
    app, opts = os.path.join(runs.ARGS.work, name, "app"), QUICK + case.get("opts", [])
    entries = dict({"JvmPath": home + "/lib/server/libjvm.so", "JavaCommandOptions": True, "LauncherProperties": True,
                    "StayInStartupDir": True, "JvmOptions": opts + ["@args"] * ("file" in case)}, **case.get("entries", {}))
    java = [home + "/bin/java"] + opts + ["@" + app + "/args"] * ("file" in case)
    if "jar" in case:
        entries.update(MainJar=app + "/app.jar", ClassPath=None, MainClass=None)
        java += ["-jar", app + "/app.jar"]
    elif "mod" in case:
        entries.update(ModulePath=mods, MainModule=case["mod"], ClassPath=None, MainClass=None)
        java += ["-p", mods, "-m", case["mod"]]
    else:
        java += ["-cp", runs.ARGS.jar, MAIN]
    launcher = Launcher(name, **entries)
    for path, text in dict(case.get("start", {}), **{"../app/args": case.get("file", "")}).items():
        open(os.path.join(launcher.start, path), "wb").write(text.encode("utf-8", "surrogateescape"))
    if "jar" in case:  # PrintArgs, under a manifest shaped as the case says
        with zipfile.ZipFile(runs.ARGS.jar) as built, zipfile.ZipFile(app + "/app.jar", "w", zipfile.ZIP_DEFLATED) as jar:
            for text in [case.get("first"), case["jar"]]:
                if text is not None:
                    jar.writestr("meta-inf/manifest.mf" if case.get("lower") else "META-INF/MANIFEST.MF",
                                 text.replace("$M", MAIN).encode("utf-8", "surrogateescape"))
            jar.writestr(MAIN.replace(".", "/") + ".class", built.read(MAIN.replace(".", "/") + ".class"))
        if case.get("crc"):  # the manifest's checksum, in the central directory and in the local header
            data = bytearray(open(app + "/app.jar", "rb").read())
            data[data.find(b"PK\x01\x02") + 16] ^= 0xFF
            data[data.find(b"PK\x03\x04") + 14] ^= 0xFF
            open(app + "/app.jar", "wb").write(data)
    environment = {k: v for k, v in dict(os.environ, LC_ALL="C.UTF-8", JDK_JAVA_OPTIONS=case.get("env")).items() if v is not None}
    judged = subprocess.run(java + ARGUMENTS, cwd=launcher.start, capture_output=True, timeout=120, env=environment,
                            encoding="utf-8", errors="surrogateescape")
    return outcome(judged), outcome(launcher.run(*ARGUMENTS, environment=environment))

def scenario_java_command_forms():
    cases = [case_of(line) for line in open(os.path.join(HERE, "java_forms.txt"), encoding="utf-8") if line.startswith("{")]
    guide = open(os.path.join(HERE, "..", "..", "docs", "GUIDE.md"), encoding="utf-8").read()
    listed = [case_of(text) for text in re.findall(r"^\| `(\{.*?\})` \|", guide, re.M)]
    jobs = [(home, number, case) for number, case in enumerate(cases) for home in HOMES
            if os.path.exists(home) and os.environ.get("VARNLET_FORMS_ONLY", "") in str(case)]
    with ThreadPoolExecutor(3) as pool:
        results = list(pool.map(lambda job: differential(*job), jobs))
    differing = {number for (_, number, _), (judged, ours) in zip(jobs, results) if judged != ours}
    failures = ["%s, %s:\n--- java\n%s\n--- launcher\n%s" % (os.path.basename(home), case, judged, ours)
                for (home, number, case), (judged, ours) in zip(jobs, results)
                if judged != ours and case not in listed]
    print("%d inputs, %d runs, %d documented differences; differing: %s" % (
        len(cases), 2 * len(jobs), len(listed), [cases[n] for n in sorted(differing) if cases[n] in listed]))
    check(len(cases) >= 150 and all(case in cases for case in listed), "fewer than 150 inputs, or a listed case not in the data")
    check(not [case for case in listed if cases.index(case) not in differing and "VARNLET_FORMS_ONLY" not in os.environ],
          "a listed case no longer differs: take it off the guide's table")
    check(not failures, "%d runs differ from java:\n%s" % (len(failures), "\n".join(failures)))
