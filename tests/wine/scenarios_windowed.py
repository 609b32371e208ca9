"""Windowed launchers on an Xvfb display of their own: a box's text from wine's +msgbox channel, its icon from +cursor,
its window found by title and answered with keys (forced focus would make it stop responding)."""
import subprocess
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

from winerun import NO_RUNTIME, expect, expect_eq, until

class Screen:
    def __init__(self, case):
        self.case = case
        n = next(n for n in range(140, 240) if not Path(f"/tmp/.X{n}-lock").exists())
        self.env = {"DISPLAY": f":{n}"}
        server = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "640x400x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        case._undo.append(lambda: (server.terminate(), server.wait(10)))
        until(Path(f"/tmp/.X11-unix/X{n}").exists, 30, "the display")
        # Without a window manager, a managed window's close waits 2 s.
        case.wine.tool(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"])

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, timeout=20).stdout.decode()

    def answer(self, title, key=None, known=frozenset(), screenshot=None):
        """Waits for a new window `title` and presses `key` in it until it is gone."""
        windows = lambda: set(self.xdotool("search", "--name", f"^{title}$").split()) - known  # noqa: E731
        until(windows, 30, f"a window {title!r}")
        found = windows()
        time.sleep(0.3)
        if screenshot:
            subprocess.run(["import", "-window", "root", str(screenshot)], env=self.env, check=True, timeout=30)
        if key:
            until(lambda: not [self.xdotool("key", "--window", w, key) for w in found & windows()], 30, f"the end of {title!r}")
        return found

    def start(self, exe, cwd):  # result() waits for the run's Result
        return ThreadPoolExecutor(1).submit(self.case.run, exe, cwd=cwd, env=self.env, trace="+msgbox,+cursor")

def texts(run):
    return [text for _, _, function, text in run.traces if function == "MSGBOX_OnInit"]

def icons(run):
    """The icon each box loads after its text: the system's error, question or information icon."""
    names, loaded = {"#7f01": "error", "#7f02": "question", "#7f04": "information"}, [(f, t) for _, _, f, t in run.traces]
    return [next((names[t] for f, t in loaded[n:] if t in names), None) for n, (f, _) in enumerate(loaded) if f == "MSGBOX_OnInit"]

def scenario_report_dialogs(case):
    """No [version] table. No Java: the runtime passed over, message 1472 and the page offer in one
    box titled with the application's name; No leaves the page, Yes opens it. A failed system call:
    its text and the message in one box, titled with the executable's name when no name is given.
    The console: empty."""
    screen, app, url = Screen(case), case.directory("app"), "varnlet-test:java-download"
    exe = case.app(app, gui=True, JavaDownloadUrl=url, name="Helix Desk")
    opened, scheme = app / "opened.txt", r"HKLM\Software\Classes\varnlet-test"
    case.reg_own(scheme)
    case.reg_add(scheme, "URL Protocol", "")
    case.reg_add(scheme + r"\shell\open\command", None, f'cmd /c echo %1> "{case.dos_path(opened)}"')
    (app / "testjvm.dll").unlink()
    screen.env["JAVA_HOME"] = r"C:\no-such-jdk"
    for key in ("n", "Return"):
        run = screen.start(exe, app)
        screen.answer("Helix Desk", key, screenshot=case.work / "report-dialog.png")
        run = run.result()
        expect_eq((texts(run), run.code, run.stdout + run.stderr.strip()),
                  ([f"Java runtimes found but not used:\n  C:\\no-such-jdk: no such folder\n\n{NO_RUNTIME}\n\n"
                    f"Open the download page now?\n{url}"], 255, ""), "box, exit code, console")
        until(lambda: key == "n" or opened.exists() and opened.read_text().strip() == url, 30, "the page")
        expect(opened.exists() == (key == "Return"), f"{key} and the page")
    case.write(app / "bad" / "jvm.dll", "not a library")
    exe = case.app(app, "helixdesk", gui=True, JvmPath="bad\\jvm.dll")
    run = screen.start(exe, app)
    screen.answer("helixdesk", "Return")
    run = run.result()
    expect(len(texts(run)) == 1 and texts(run)[0].endswith(".\n\nUnable to load JVM: bad\\jvm.dll"), texts(run))
    expect_eq(icons(run), ["error"], "the failure's icon")

def scenario_single_instance(case):
    """While the first instance runs (held in a box: no JVM beside it), a second start shows
    1440 and ends with 255; a copy in another folder runs, without a console and from cmd,
    where the application's output appears."""
    screen, first, other = Screen(case), case.directory("first"), case.directory("other")
    exe = case.app(first, gui=True, SingleInstance=True, version={"FileDescription": "Helix"})
    case.app(other, gui=True, SingleInstance=True, version={"FileDescription": "Helix"})
    (first / "testjvm.dll").unlink()
    held = screen.start(exe, first)
    boxes = screen.answer("Helix")
    second = screen.start(exe, first)
    screen.answer("Helix", "Return", known=boxes)
    second = second.result()
    expect_eq((second.code, texts(second), icons(second)), (255, ["An instance of this program is already running."], ["information"]),
              "second")
    run = case.run(other / exe.name, cwd=other, trace="+msgbox", record=other / "testjvm.record")
    expect_eq((run.code, run.record.one("main-end")[1], texts(run)), (0, "return", []), "the copy in another folder")
    run = case.run(exe, ["/c", exe.name], cwd=other, env={"TESTJVM_MAIN": "print"}, program="cmd")
    expect_eq((run.code, "testjvm main: out" in run.stdout), (0, True), "run from cmd")
    screen.xdotool("windowkill", *boxes)  # keys would go to the box in front, which has gone
    expect_eq(texts(held.result()), [NO_RUNTIME], "first instance")

def scenario_native_output_in_the_log(case):
    """With no console, what the JVM writes to the process's streams (through its C runtime's stdout, in
    text mode, and the standard error handle) lands in the log beside System.out's and System.err's
    lines, and follows the log when it rolls over at 30 bytes."""
    app = case.directory("app")
    exe = case.app(app, gui=True, SystemOutFile="app.log", SystemErrFile="app.log", LogRotateSize="30 B", LogRotateKeep=1)
    run = case.run(exe, cwd=app, env={"TESTJVM_MAIN": "native"})
    expect_eq(((app / "app.log.1").read_bytes(), (app / "app.log").read_bytes(), run.stdout + run.stderr, run.code),
              (b"testjvm main: out\ntestjvm native: out\r\ntestjvm native: err\n",
               b"testjvm main: err\ntestjvm native: after\r\n", "", 0), "rolled file, log, console, exit code")
