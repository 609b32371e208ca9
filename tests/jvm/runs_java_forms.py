"""`java` as the judge: every input of java_forms.txt runs through `java` and through a launcher set up to
match (JavaCommandOptions, LauncherProperties, StayInStartupDir), on every runtime present. Both must agree
on whether the start succeeded, what main and the JVM received and the properties that matter, and on the
error stream of a run that succeeded. A case may differ only when the guide's table of documented
differences lists it."""
import os
import re
import subprocess
import zipfile
from concurrent.futures import ThreadPoolExecutor

import launcher_runs as runs
from launcher_runs import Launcher, check

HERE = os.path.dirname(os.path.abspath(__file__))
HOMES = ["/usr/lib/jvm/java-17-openjdk-amd64", "/usr/lib/jvm/temurin-25-jdk-amd64"]
QUICK = ["-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-XX:-UsePerfData"]  # both sides; left out of the comparison
MAIN, ARGUMENTS = "varnlet.testapps.PrintArgs", ["x", "y z"]

def case_of(text):
    return eval(text, {"__builtins__": {}, "range": range})  # the repository's own data: a dict, with "a" * n and joins

def documented():
    """The cases of the guide's table of documented differences (its first column, a case as written in the data)."""
    guide = open(os.path.join(HERE, "..", "..", "docs", "GUIDE.md"), encoding="utf-8").read()
    return [case_of(m) for m in re.findall(r"^\| `(\{.*?\})` \|", guide, re.M)]

def jar(path, case):
    """An executable jar holding PrintArgs, its manifest shaped as the case says."""
    with zipfile.ZipFile(runs.ARGS.jar) as built:
        main = built.read(MAIN.replace(".", "/") + ".class")
    name = "meta-inf/manifest.mf" if case.get("lower") else "META-INF/MANIFEST.MF"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED if case.get("stored") else zipfile.ZIP_DEFLATED) as z:
        for text in ([case["first"]] if "first" in case else []) + ([case["jar"]] if case["jar"] is not None else []):
            z.writestr(name, text.replace("$M", MAIN).encode("utf-8", "surrogateescape"))
        z.writestr(MAIN.replace(".", "/") + ".class", main)
    if case.get("crc"):  # the manifest's checksum, in the central directory and the local header
        data = bytearray(open(path, "rb").read())
        data[data.find(b"PK\x01\x02") + 16] ^= 0xFF
        data[data.find(b"PK\x03\x04") + 14] ^= 0xFF
        open(path, "wb").write(data)

def outcome(run):
    """What is compared: the start's success and, for a start that succeeded, the probe's lines (the JVM's input
    arguments without the common quick options and the launcher's own varnlet.exe properties), the JVM's own lines
    (sorted, without their times) and the error stream."""
    if run.returncode != 0 or "out-marker" not in run.stdout:
        return "refused"
    probe, other = [], []
    for line in run.stdout.splitlines():
        key, _, value = line.partition("=")
        if re.fullmatch(r"jvmarg\d+", key):
            option = bytes.fromhex(value).decode("utf-8", "surrogateescape")
            if option not in QUICK and not option.startswith("-Dvarnlet.exe."):
                probe.append("jvmarg=" + option)
        elif re.fullmatch(r"[\w.-]+", key) and key != "jvmargc":
            probe.append(line)
        elif key != "jvmargc":
            other.append(re.sub(r"^\[[\d.]+s\]", "", line))
    return "\n".join(probe + sorted(other)) + "\n--- stderr\n" + run.stderr

def differential(home, number, case):
    MODS = os.path.join(os.path.dirname(runs.ARGS.jar), "launch", "mods")
    launcher_name = "forms/%s/%d" % (os.path.basename(home), number)
    entries = {"JvmPath": home + "/lib/server/libjvm.so", "JavaCommandOptions": True, "LauncherProperties": True,
               "StayInStartupDir": True, "JvmOptions": QUICK + case.get("opts", []) + (["@args"] if "file" in case else [])}
    java = [home + "/bin/java"] + QUICK + case.get("opts", [])
    if "jar" in case:
        entries.update(MainJar=os.path.join(runs.ARGS.work, launcher_name, "app", "app.jar"), ClassPath=None, MainClass=None)
    elif "mod" in case:
        entries.update(ModulePath=MODS, MainModule=case["mod"], ClassPath=None, MainClass=None)
    launcher = Launcher(launcher_name, **dict(entries, **case.get("entries", {})))
    if "file" in case:
        open(os.path.join(launcher.app, "args"), "wb").write(case["file"].encode("utf-8", "surrogateescape"))
        java.append("@" + os.path.join(launcher.app, "args"))
    for name, text in case.get("start", {}).items():
        open(os.path.join(launcher.start, name), "w").write(text)
    if "jar" in case:
        jar(os.path.join(launcher.app, "app.jar"), case)
        java += ["-jar", os.path.join(launcher.app, "app.jar")]
    elif "mod" in case:
        java += ["-p", MODS, "-m", case["mod"]]
    else:
        java += ["-cp", runs.ARGS.jar, MAIN]
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    environment.pop("JDK_JAVA_OPTIONS", None)
    if "env" in case:
        environment["JDK_JAVA_OPTIONS"] = case["env"]
    judged = subprocess.run(java + ARGUMENTS, cwd=launcher.start, capture_output=True, timeout=120, env=environment,
                            encoding="utf-8", errors="surrogateescape")
    return outcome(judged), outcome(launcher.run(*ARGUMENTS, environment=environment))

def scenario_java_command_forms():
    cases = [case_of(line) for line in open(os.path.join(HERE, "java_forms.txt"), encoding="utf-8")
             if line.startswith("{")]
    listed, homes = documented(), [home for home in HOMES if os.path.exists(home)]
    jobs = [(home, number, case) for number, case in enumerate(cases) for home in homes
            if os.environ.get("FORMS_ONLY", "") in str(case)]
    with ThreadPoolExecutor(3) as pool:
        results = list(pool.map(lambda job: differential(*job), jobs))
    failures, differing = [], set()
    for (home, number, case), (judged, ours) in zip(jobs, results):
        if judged != ours:
            differing.add(number)
            if case not in listed and "pending" not in case:
                failures.append("%s, %s:\n--- java\n%s\n--- launcher\n%s" % (os.path.basename(home), case, judged, ours))
    stale = [case for case in listed if case in cases and cases.index(case) not in differing]
    print("%d inputs, %d runs on %d runtimes, %d differ as documented" % (
        len(cases), 2 * len(jobs), len(homes), len([c for c in listed if c in cases]) - len(stale)))
    check(len(cases) >= 150 and not [c for c in listed if c not in cases], "fewer than 150 inputs, or a listed case not in the data")
    check(not stale, "listed as differing, but the same now: %s" % stale)
    check(not failures, "%d runs differ from java:\n%s" % (len(failures), "\n".join(failures)))
