"""The packages of scripts/release.sh, unpacked as users unpack them: the varnlet-pack each
holds, with nothing of a build tree in reach, prints the package's version and makes a Linux
launcher and this case's Windows launcher (the application's, from a body with the package's
version) that run. Each carries the user's guide with the pictures and files it links, and not the
README or docs/HACKING.md of the source; the Linux packages carry the manual page."""
import re
import subprocess
import zipfile
from pathlib import Path

from winerun import expect, expect_eq, setting

def check(case, pattern, unpack, tool):
    """Unpacks the package `pattern` names; tool(root) gives its varnlet-pack as pack(args, cwd)."""
    found = sorted(Path(setting("VARNLET_DIST")).glob(pattern))
    expect(len(found) == 1, f"{pattern} in {setting('VARNLET_DIST')}: {found} (run scripts/release.sh first)")
    root = case.directory("unpacked", found[0].name)
    unpack(str(found[0]), str(root))
    expect_guide(root)
    pack, version = tool(root), re.search(r"\d+\.\d+\.\d+", found[0].name).group(0)
    expect_eq(pack(["--version"], case.work), f"varnlet-pack {version}\n", "--version")
    for target in ("linux", case.arch):
        app = case.directory(found[0].name, target)
        if target == "linux":
            entries = f'JvmPath = "{setting("VARNLET_LIBJVM")}"\nClassPath = "{setting("VARNLET_TEST_JAR")}"'
        else:
            case.install("testjvm.dll", app / "jvm")
            case.write(app / "app.jar", "")
            entries = 'JvmPath = "jvm\\\\testjvm.dll"\nClassPath = "app.jar"'
        (app / "app.toml").write_text(f'target = "{target}"\nMainClass = "varnlet.testapps.PrintArgs"\n{entries}\n')
        pack(["build", "app.toml", "-o", "app.exe"], app)
        if target == "linux":
            run = subprocess.run([str(app / "app.exe"), "x"], cwd=app, capture_output=True, text=True, timeout=120)
            expect(run.returncode == 0 and "arg0=78\n" in run.stdout, f"Linux launcher: {run}")
            continue
        body = next(root.glob(f"**/{'varnlet.exe' if case.arch == 'win32' else 'varnlet64.exe'}"))
        expect(f"file version    {version}.0\n" in pack(["show", str(body)], app), "the body's version")
        expect('ProductName = "app"' in pack(["show", "app.exe"], app), "the application's name")
        run = case.run(app / "app.exe", ["x"], cwd=app, record=app / "record")
        expect_eq((run.code, run.record.one("main")[1]), (0, "varnlet/testapps/PrintArgs"), "Windows launcher")
    return found[0]

def expect_guide(root):
    guides = list(root.glob("**/GUIDE.md"))
    expect(len(guides) == 1, f"{root.name}: the user's guide GUIDE.md once, found {guides}")
    for link in re.findall(r"\]\(([^)#:]+)", guides[0].read_text()):  # pictures and files, not pages or anchors
        expect((guides[0].parent / link).is_file(), f"{root.name}: the guide's {link} is not beside it")
    stray = list(root.glob("**/README.md")) + list(root.glob("**/HACKING.md"))
    expect(not stray, f"{root.name} carries the source's documents: {stray}")

def on_linux(tool):
    def pack(args, cwd):
        run = subprocess.run([str(tool)] + args, cwd=cwd, env={"PATH": "/usr/bin:/bin"}, capture_output=True, text=True)
        expect(run.returncode == 0, f"{tool} {args}: {run.stdout}{run.stderr}")
        return run.stdout
    return pack

def scenario_linux_packages(case):
    check(case, "varnlet-*-linux-x86_64.tar.gz", lambda a, r: subprocess.run(["tar", "xzf", a, "-C", r]),
          lambda root: on_linux(next(root.glob("*/bin/varnlet-pack"))))
    deb = check(case, "varnlet_*_amd64.deb", lambda a, r: subprocess.run(["dpkg-deb", "-x", a, r]),
                lambda root: on_linux(root / "usr/bin/varnlet-pack"))
    for root in (case.work / "unpacked").iterdir():
        expect(len(list(root.glob("**/share/man/man1/varnlet-pack.1.gz"))) == 1, f"no manual page in {root.name}")
    lintian = subprocess.run(["lintian", str(deb)], capture_output=True, text=True)
    expect(lintian.returncode == 0, f"lintian: {lintian.stdout}{lintian.stderr}")

def scenario_windows_archive(case):
    def tool(root):
        def pack(args, cwd):
            run = case.run(next(root.glob("*/varnlet-pack.exe")), args, cwd=cwd)
            expect(run.code == 0, f"varnlet-pack.exe {args}: {run.stdout}{run.stderr}")
            return run.stdout
        return pack
    check(case, "varnlet-*-windows-x64.zip", lambda a, r: zipfile.ZipFile(a).extractall(r), tool)
