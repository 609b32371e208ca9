"""One instance per user and executable file: a user's lock neither blocks another user nor is
blocked by one (each user's locks lie in a folder of their own), and every path to the file, a
link included, and every XDG_RUNTIME_DIR lead to the same lock."""
import os
import shutil
import subprocess

from launcher_runs import Launcher, check, expect_failed

def scenario_single_instance_per_user():
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        print("skipped: needs root and setpriv")
        return
    launcher = Launcher("single", MainClass="varnlet.testapps.NonDaemon", SingleInstance=True)
    exe, link, xdg = (os.path.join(launcher.root, name) for name in ("app/testlauncher", "app/hardlink", "xdg"))
    os.link(exe, link)
    os.makedirs(xdg, mode=0o777)
    os.chmod(xdg, 0o777)
    environment = {k: v for k, v in os.environ.items() if k != "XDG_RUNTIME_DIR"}

    def start(nobody, path, pause, **extra):
        user = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if nobody else []
        return subprocess.Popen(user + [path, pause], cwd=launcher.start, env=dict(environment, **extra), text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def finish(process):
        out, err = process.communicate(timeout=120)
        return subprocess.CompletedProcess(process.args, process.returncode, out, err)

    for nobody in (False, True):  # root's lock stays behind, and nobody still runs
        run = finish(start(nobody, exe, "0"))
        check(run.returncode == 0 and run.stdout.endswith("worker-finished\n"), "refused while nothing runs", run)
    held = start(True, exe, "60000")
    try:
        check(held.stdout.readline() == "main-returned\n", "the first instance did not start")
        expect_failed(finish(start(True, link, "0", XDG_RUNTIME_DIR=xdg)), "An instance of this program is already running.")
        run = finish(start(False, exe, "0"))
        check(run.returncode == 0, "another user's instance blocks root", run)
    finally:
        held.kill()
        held.wait()
