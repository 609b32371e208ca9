#!/usr/bin/env python3
"""The Maven plugin as a user runs it: Debian's Maven offline builds examples/maven (two
dependencies, the main class in the jar plugin's manifest settings, a launcher per target; the
Windows ones get JvmPath testjvm.dll, the test double) with `mvn -o package`. Here the Linux launcher runs the application with the real JDK 17 and is
varnlet-pack's for the same settings, and a misspelt key fails the build naming the key;
tests/wine/scenarios_maven.py runs the Windows launchers.

  maven_check.py REPO VERSION PACK LINUX-BODY JAVA-HOME WORK"""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from toml_text import toml_text  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# What a user of varnlet-pack writes for the same launchers: the POM's settings and the plugin's defaults.
COMMON = {"MainClass": "demo.Greeter", "ClassPath": "greeter.jar;lib"}
SAME = {"linux": dict(COMMON, target="linux", JvmOptions=["-Dgreeting=Hello there", "-Xmx64m"]),
        "win64": dict(COMMON, target="win64", JvmPath="testjvm.dll", gui=False, name="Greeter",
                      version={"CompanyName": "Example Ltd", "FileVersion": "2.5.1", "ProductVersion": "2.5.1"}),
        "win32": dict(COMMON, target="win32", JvmPath="testjvm.dll", ServiceName="Greeter", ServiceManualStart=True, name="Greeter",
                      version="2.5.1")}
OUTPUTS = {"linux": "greeter", "win64": "greeter.exe", "win32": "greeter-win32.exe"}


def build(repo, version, work, pom_edit=lambda pom: pom):
    """Copies the project and the repository into `work` and runs `mvn -o package`: (run, target dir)."""
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(os.path.join(ROOT, "examples/maven"), os.path.join(work, "app"))
    shutil.copytree(repo, os.path.join(work, "repo"), symlinks=True)
    pom = os.path.join(work, "app", "pom.xml")
    text = re.sub(r"(<target>win..</target>)", r"\1<JvmPath>testjvm.dll</JvmPath>", open(pom).read())
    open(pom, "w").write(pom_edit(text))
    run = subprocess.run(["mvn", "-o", "-B", "-Dmaven.repo.local=" + os.path.join(work, "repo"), "-Dvarnlet.version=" + version, "package"],
                         cwd=os.path.join(work, "app"), capture_output=True, text=True, timeout=300)
    return run, os.path.join(work, "app", "target")


def same_as_native(pack, body, target_dir, target):
    """Whether varnlet-pack makes the plugin's launcher from the same settings, byte for byte."""
    native = os.path.join(target_dir, "native")
    os.makedirs(native, exist_ok=True)
    config = os.path.join(native, target + ".toml")
    open(config, "w").write(toml_text(SAME[target]))
    out = os.path.join(native, OUTPUTS[target])
    run = subprocess.run([pack, "build", config, "--stub", body, "-o", out], capture_output=True, text=True)
    return run.returncode == 0 and open(out, "rb").read() == open(os.path.join(target_dir, OUTPUTS[target]), "rb").read()


def main(repo, version, pack, body, java_home, work):
    failures = []
    run, target = build(repo, version, os.path.join(work, "good"))
    if run.returncode != 0:
        print(run.stdout + run.stderr)
        return 1
    app = subprocess.run([os.path.join(target, "greeter"), "-n", "fred"], env=dict(os.environ, JAVA_HOME=java_home),
                         capture_output=True, text=True, timeout=120)
    if (app.returncode, app.stdout) != (0, "Hello there, Fred! (Java 17)\n"):
        failures.append(f"the Linux launcher: {app}")
    if not same_as_native(pack, body, target, "linux"):
        failures.append("the Linux launcher is not varnlet-pack's for the same settings")
    bad, _ = build(repo, version, os.path.join(work, "bad"), lambda pom: pom.replace("<gui>false</gui>", "<Gui>false</Gui>"))
    if bad.returncode == 0 or 'unknown key "Gui" (did you mean gui?)' not in bad.stdout:
        failures.append(f"a misspelt key: exit {bad.returncode}\n{bad.stdout[-3000:]}")
    print("\n".join("FAIL: " + f for f in failures) or "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
