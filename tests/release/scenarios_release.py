"""The packages of scripts/release.sh, unpacked as users unpack them: the varnlet-pack each
holds, run with nothing of a build tree in reach, makes a Linux launcher and this case's
Windows launcher from the bodies the package carries, and both run."""
import subprocess
import zipfile
from pathlib import Path

from winerun import expect, expect_eq, setting


def package(pattern):
    found = sorted(Path(setting("VARNLET_DIST")).glob(pattern))
    expect(len(found) == 1, f"{pattern} in {setting('VARNLET_DIST')}: {found} (run scripts/release.sh first)")
    return found[0]


def on_linux(tool):
    def pack(args, cwd):
        run = subprocess.run([str(tool)] + args, cwd=cwd, env={"PATH": "/usr/bin:/bin"}, capture_output=True, text=True)
        expect(run.returncode == 0, f"{tool} {args}: {run.stdout}{run.stderr}")
        return run.stdout
    return pack


def make_and_run(case, pack):
    for target in ("linux", case.arch):
        app = case.directory("app-" + target)
        config = f'target = "{target}"\nMainClass = "varnlet.testapps.PrintArgs"\n'
        if target == "linux":
            config += f'JvmPath = "{setting("VARNLET_LIBJVM")}"\nClassPath = "{setting("VARNLET_TEST_JAR")}"\n'
        else:
            case.install("testjvm.dll", app / "jvm")
            (app / "app.jar").write_bytes(b"")
            config += 'JvmPath = "jvm\\\\testjvm.dll"\nClassPath = "app.jar"\n'
        (app / "app.toml").write_text(config)
        pack(["build", "app.toml", "-o", "app.exe"], app)
        if target == "linux":
            run = subprocess.run([str(app / "app.exe"), "x"], cwd=app, capture_output=True, text=True, timeout=120)
            expect(run.returncode == 0 and "arg0=78\n" in run.stdout, f"Linux launcher: {run}")
        else:
            run = case.run(app / "app.exe", ["x"], cwd=app, record=app / "record")
            expect_eq((run.code, run.record.one("main")[1]), (0, "varnlet/testapps/PrintArgs"), "Windows launcher")


def scenario_linux_archive(case):
    archive = package("varnlet-*-linux-x86_64.tar.gz")
    root = case.directory("unpacked")
    subprocess.run(["tar", "-xzf", str(archive), "-C", str(root)], check=True)
    tool = next(root.glob("*/bin/varnlet-pack"))
    version = archive.name.split("-")[1]
    expect_eq(on_linux(tool)(["--version"], root), f"varnlet-pack {version}\n", "--version")
    make_and_run(case, on_linux(tool))


def scenario_windows_archive(case):
    archive = package("varnlet-*-windows-x64.zip")
    root = case.directory("unpacked")
    zipfile.ZipFile(archive).extractall(root)
    tool = next(root.glob("*/varnlet-pack.exe"))

    def pack(args, cwd):
        run = case.run(tool, args, cwd=cwd)
        expect(run.code == 0, f"varnlet-pack.exe {args}: {run.stdout}{run.stderr}")
        return run.stdout
    version = archive.name.split("-")[1]
    expect_eq(pack(["--version"], root), f"varnlet-pack {version}\n", "--version")
    shown = pack(["show", "varnlet.exe"], tool.parent)
    expect(f"file version    {version}.0\n" in shown, f"the body's version information: {shown}")
    make_and_run(case, pack)


def scenario_deb(case):
    deb = package("varnlet_*_amd64.deb")
    root = case.directory("root")
    subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    make_and_run(case, on_linux(root / "usr/bin/varnlet-pack"))
    lintian = subprocess.run(["lintian", str(deb)], capture_output=True, text=True)
    expect(lintian.returncode == 0, f"lintian: {lintian.stdout}{lintian.stderr}")
