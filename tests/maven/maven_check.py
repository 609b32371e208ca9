#!/usr/bin/env python3
"""The Maven plugin as a user runs it: `mvn -o package` on examples/maven (Windows launchers with JvmPath testjvm.dll,
the test double). The Linux launcher runs the application on JDK 17 and is varnlet-pack's for the same settings, and a
misspelt key fails the build naming it; tests/wine/scenarios_maven.py runs the Windows ones.
  maven_check.py REPO VERSION PACK LINUX-BODY JAVA-HOME WORK"""
import os, re, shutil, subprocess, sys  # noqa: E401

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from toml_text import toml_text  # noqa: E402

# What a user of varnlet-pack writes for the same launchers: the POM's settings and the plugin's defaults.
COMMON = {"MainClass": "demo.Greeter", "ClassPath": "greeter.jar;lib"}
SAME = {"linux": dict(COMMON, target="linux", JvmOptions=["-Dgreeting=Hello there", "-Xmx64m"]),
        "win64": dict(COMMON, target="win64", JvmPath="testjvm.dll", gui=False, name="Greeter", version={"CompanyName": "Example Ltd", "FileVersion": "2.5.1-SNAPSHOT", "ProductVersion": "2.5.1-SNAPSHOT"}),
        "win32": dict(COMMON, target="win32", JvmPath="testjvm.dll", ServiceName="Greeter", ServiceManualStart=True, name="Greeter", version="2.5.1-SNAPSHOT")}
OUTPUTS = {"linux": "greeter", "win64": "greeter.exe", "win32": "greeter-win32.exe"}

def build(repo, version, work, edit=lambda pom: pom):
    """`mvn -o package` on copies of the project and the repository in `work`: (run, target directory)."""
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(os.path.join(ROOT, "examples/maven"), os.path.join(work, "app"))
    shutil.copytree(repo, os.path.join(work, "repo"), symlinks=True)
    text = edit(re.sub(r"(<target>win..</target>)", r"\1<JvmPath>testjvm.dll</JvmPath>", open(pom := os.path.join(work, "app", "pom.xml")).read()))
    open(pom, "w").write(text)
    run = subprocess.run(["mvn", "-o", "-B", f"-Dmaven.repo.local={work}/repo", f"-Dvarnlet.version={version}", "package"],
                         cwd=os.path.join(work, "app"), capture_output=True, text=True, timeout=300)
    return run, os.path.join(work, "app", "target")

def same_as_native(pack, body, target_dir, target):
    """Whether varnlet-pack makes the plugin's launcher from the same settings, byte for byte."""
    os.makedirs(native := os.path.join(target_dir, "native"), exist_ok=True)
    open(config := os.path.join(native, target + ".toml"), "w").write(toml_text(SAME[target]))
    out = os.path.join(native, OUTPUTS[target])
    run = subprocess.run([pack, "build", config, "--stub", body, "-o", out], capture_output=True, text=True)
    return run.returncode == 0 and open(out, "rb").read() == open(os.path.join(target_dir, OUTPUTS[target]), "rb").read()

def main(repo, version, pack, body, java_home, work):
    run, target = build(repo, version, os.path.join(work, "good"))
    if run.returncode != 0:
        return print(run.stdout + run.stderr) or 1
    app = subprocess.run([os.path.join(target, "greeter"), "-n", "fred"], env=dict(os.environ, JAVA_HOME=java_home),
                         capture_output=True, text=True, timeout=120)
    bad, _ = build(repo, version, os.path.join(work, "bad"), lambda pom: pom.replace("<gui>false</gui>", "<Gui>false</Gui>"))
    failures = [what for what, ok in ((f"the Linux launcher: {app}", (app.returncode, app.stdout) == (0, "Hello there, Fred! (Java 17)\n")),
                                      ("the Linux launcher is not varnlet-pack's for the same settings", same_as_native(pack, body, target, "linux")),
                                      (f"a misspelt key: exit {bad.returncode}\n{bad.stdout[-3000:]}",
                                       bad.returncode != 0 and 'unknown key "Gui" (did you mean gui?)' in bad.stdout)) if not ok]
    print("\n".join("FAIL: " + f for f in failures) or "passed")
    return 1 if failures else 0

if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
