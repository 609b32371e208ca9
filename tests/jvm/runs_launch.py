"""Applications started as they ship: an executable jar, a module path with a main module, a jlink
image, and the splash screen on an Xvfb display; with JDK 17 and, where present, Temurin 25."""
import os
import shutil
import subprocess
import time
import zipfile

from launcher_runs import Launcher, check, expect_failed

import launcher_runs

TEMURIN = "/usr/lib/jvm/temurin-25-jdk-amd64/lib/server/libjvm.so"

def runtimes():
    return [launcher_runs.ARGS.libjvm] + ([TEMURIN] if os.path.exists(TEMURIN) else [])

def built(path):
    return os.path.join(os.path.dirname(launcher_runs.ARGS.jar), "launch", path)

def shipped(name, copies, **entries):
    """A launcher whose application directory holds copies of the built files (app path -> build path)."""
    launcher = Launcher(name, **dict({"ClassPath": None, "MainClass": None}, **entries))
    for target, source in copies.items():
        os.makedirs(os.path.dirname(os.path.join(launcher.app, target)), exist_ok=True)
        shutil.copy(source, os.path.join(launcher.app, target))
    return launcher

def lines(run):
    check(run.returncode == 0, "exit code 0 expected", run)
    return dict(line.partition("=")[::2] for line in run.stdout.splitlines())

def scenario_executable_jar():
    jars = {"app.jar": built("jarapp.jar"), "lib/jarlib.jar": built("lib/jarlib.jar"), "bad.jar": launcher_runs.ARGS.libjvm}
    for libjvm in runtimes():
        # Class-Path brings the library; Launcher-Agent-Class ran before main; the other attributes start.
        # A command-line tool runs its own jar, not the app.jar where it is called.
        launcher = shipped("jar", jars, MainJar="app.jar", JvmPath=libjvm, StayInStartupDir=True)
        shutil.copy(built("lib/jarlib.jar"), os.path.join(launcher.start, "app.jar"))
        got = lines(launcher.run("a", "b c"))
        check(got == {"library": "jarlib", "agent": "true", "args": "a,b c"}, "%s: %r" % (libjvm, got))
    # MainClass wins over Main-Class; ClassPath follows the jar.
    launcher = shipped("jar-class", jars, MainJar="app.jar", MainClass="varnlet.testapps.PrintArgs", ClassPath=launcher_runs.ARGS.jar)
    check(lines(launcher.run("x"))["java.class.path"].startswith("app.jar:"), "the jar first on the class path")
    for name, jar, expected in (("missing", "none.jar", ["No such file or directory", "Error accessing file/directory: none.jar"]),
                                ("damaged", "bad.jar", ["Error accessing file/directory: bad.jar (not a jar that can be read)"]),
                                ("nomain", "lib/jarlib.jar", ["Error locating class: lib/jarlib.jar (its manifest names no Main-Class)"])):
        expect_failed(shipped("jar-" + name, jars, MainJar=jar).run(), *expected)

def scenario_modules():
    mods = {"mods/varnlet.modapp.jar": built("mods/varnlet.modapp.jar")}
    for libjvm in runtimes():
        for main, started in (("varnlet.modapp", "varnlet.modapp.ModMain"), ("varnlet.modapp/varnlet.modapp.Second", "varnlet.modapp.Second")):
            # Also as a command-line tool, its own modules, not those where it is called.
            launcher = shipped("module", mods, ModulePath=["none", "mods"], MainModule=main, JvmPath=libjvm, StayInStartupDir=True)
            os.makedirs(os.path.join(launcher.start, "mods"))
            open(os.path.join(launcher.start, "mods", "varnlet.modapp.jar"), "w").write("planted\n")
            got = lines(launcher.run("m"))
            check(got == {"module": "varnlet.modapp", "class": started, "args": "m"}, "%s %s: %r" % (libjvm, main, got))
    expect_failed(shipped("module-class", mods, ModulePath="mods", MainModule="varnlet.modapp/varnlet.modapp.None").run(),
                  "Error locating class: varnlet.modapp/varnlet.modapp.None")
    # A module the boot layer cannot find stops the runtime itself (on standard output), as `java -m` does.
    run = shipped("module-missing", mods, ModulePath="mods", MainModule="no.such.module").run()
    check(run.returncode == 1 and "Module no.such.module not found" in run.stdout, "the missing module named", run)

def scenario_jlink_image():
    # An image linked from the module holds it: the main module and JvmPath into it are all it needs.
    # It has no splash library: a splash image is then left out, with a trace line.
    for libjvm in runtimes():
        home = os.path.dirname(os.path.dirname(os.path.dirname(libjvm)))
        launcher = shipped("jlink", {}, MainModule="varnlet.modapp", JvmPath="image/lib/server/libjvm.so", SplashImage="none.png")
        linked = subprocess.run([os.path.join(home, "bin", "jlink"), "--module-path", built("mods"), "--add-modules", "varnlet.modapp",
                                 "--output", os.path.join(launcher.app, "image")], capture_output=True, text=True)
        check(linked.returncode == 0, "jlink failed: " + linked.stderr)
        run = launcher.run("i", environment=dict(os.environ, VARNLET_TRACE="1"))
        check(lines(run) == {"module": "varnlet.modapp", "class": "varnlet.modapp.ModMain", "args": "i"}, "the image's module ran", run)
        check("varnlet: no splash screen: cannot load " in run.stderr, "no trace of the missing splash library", run)

def center_pixel(display, shot):
    subprocess.run(["import", "-window", "root", shot], env={"DISPLAY": display}, check=True, timeout=30)
    text = subprocess.run(["convert", shot, "-crop", "1x1+320+200", "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    return tuple(int(v) for v in text.split("(")[1].split(")")[0].split(",")[:3])

def until_pixel(display, shot, wanted, what, process):
    deadline = time.time() + 20
    while time.time() < deadline:
        pixel = center_pixel(display, shot)
        if all(abs(a - b) < 40 for a, b in zip(pixel, wanted)):
            return
        time.sleep(0.2)
    process.kill()
    check(False, "%s: the screen's center is %r, not %r" % (what, pixel, wanted))

def scenario_splash():
    n = next(n for n in range(300, 400) if not os.path.exists("/tmp/.X%d-lock" % n))
    display = ":%d" % n
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "640x400x24", "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        while not os.path.exists("/tmp/.X11-unix/X%d" % n):
            time.sleep(0.1)
        work = os.path.join(launcher_runs.ARGS.work, "splash-images")
        os.makedirs(work, exist_ok=True)
        colors = {"png": (255, 0, 0), "gif": (0, 255, 0), "jpg": (0, 0, 255)}
        for kind, color in colors.items():
            subprocess.run(["convert", "-size", "200x100", "xc:rgb(%d,%d,%d)" % color, os.path.join(work, "splash." + kind)], check=True)
        # The image from the file SplashImage names, or the jar's SplashScreen-Image entry, stored or deflated.
        for i, (kind, source, libjvm) in enumerate([("png", "file", launcher_runs.ARGS.libjvm), ("gif", zipfile.ZIP_DEFLATED, runtimes()[-1]),
                                                    ("jpg", zipfile.ZIP_STORED, launcher_runs.ARGS.libjvm)]):
            entries = {"MainClass": "varnlet.testapps.SplashWait", "JvmPath": libjvm}
            if source == "file":
                launcher = Launcher("splash%d" % i, SplashImage="splash.png", **entries)
            else:
                launcher = Launcher("splash%d" % i, MainJar="splash.jar", **entries)
                with zipfile.ZipFile(os.path.join(launcher.app, "splash.jar"), "w", source) as jar:
                    jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nSplashScreen-Image: images/splash.%s\r\n\r\n" % kind)
                    jar.write(os.path.join(work, "splash." + kind), "images/splash." + kind)
            shutil.copy(os.path.join(work, "splash." + kind), launcher.app)
            process = subprocess.Popen([launcher.exe], cwd=launcher.start, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                       env=dict(os.environ, DISPLAY=display))
            first = process.stdout.readline()
            check(first == "splash=200x100\n", "%s: the application saw %r" % (kind, first))
            shot = os.path.join(launcher.root, "splash-%s.png" % kind)  # kept
            until_pixel(display, shot, colors[kind], kind + " splash while main waits", process)
            out, _ = process.communicate("\n", timeout=60)
            check(out == "closed=true\n" and process.returncode == 0, "%s: %r, exit %s" % (kind, out, process.returncode))
            until_pixel(display, os.path.join(launcher.root, "closed.png"), (0, 0, 0), kind + " splash closed", process)
    finally:
        server.terminate()
        server.wait(10)
