"""Wine scenarios of windowed launchers (gui = true) on a virtual X display: the report
dialog (title, text, icon's kind by its buttons), the download page offer, the console that
started the launcher, and single instance.

A dialog's text is read from wine's +msgbox channel, its window found by its title with
xdotool and dismissed with a key sent to it (forcing focus makes the box stop responding).
Wine's windows are unmanaged (no window manager), so closing one does not wait for one.
"""
import subprocess
import threading
import time
from pathlib import Path

from winerun import Failure, expect, expect_eq, setting

NO_RUNTIME = "Unable to locate suitable Java Runtime Environment on this machine."
ALREADY = "An instance of this program is already running."


class Screen:
    """An Xvfb display for one case; wine's runs given `env` show their windows there."""

    def __init__(self, case):
        self.case = case
        number = next(n for n in range(140, 240) if not Path(f"/tmp/.X11-unix/X{n}").exists()
                      and not Path(f"/tmp/.X{n}-lock").exists())
        self.display = f":{number}"
        self.server = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "640x400x24", "-nolisten", "tcp"],
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        case._undo.append(self.close)
        self.until(lambda: Path(f"/tmp/.X11-unix/X{number}").exists(), 10, "the virtual display's socket")
        code, out, err = case.wine.tool(["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                                         "/t", "REG_SZ", "/d", "N", "/f"])
        expect(code == 0, f"reg add Managed=N failed: {out}{err}")
        self.env = {"DISPLAY": self.display}

    def close(self):
        self.server.terminate()
        self.server.wait(10)

    def until(self, condition, seconds, what):
        deadline = time.monotonic() + seconds * self.case.wine.slowdown(self.case.bits)
        while not condition():
            if time.monotonic() > deadline:
                raise Failure(f"{what}: not within {seconds} s")
            time.sleep(0.1)

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + list(args), env={"DISPLAY": self.display},
                                capture_output=True, timeout=20)
        return result.stdout.decode().split()

    def windows(self, title):
        return set(self.xdotool("search", "--name", f"^{title}$"))

    def answer(self, title, key=None, known=(), screenshot=None):
        """Waits for a new window titled `title`, optionally saves the screen, sends `key`
        (none: the window stays); returns the windows found."""
        found = set()
        self.until(lambda: found.update(self.windows(title) - set(known)) or found, 30, f"a window titled {title!r} to appear")
        time.sleep(0.3)  # drawn before the picture is taken
        if screenshot:
            subprocess.run(["import", "-display", self.display, "-window", "root", str(screenshot)], check=True,
                           timeout=30)
        if key:
            # Sent again while the box stays: a key that arrives before the box has the focus is lost.
            def gone():
                for window in found & self.windows(title):
                    self.xdotool("key", "--window", window, key)
                time.sleep(0.5)
                return not found & self.windows(title)
            self.until(gone, 30, f"the end of the window titled {title!r}")
        return found

    def start(self, exe, args=(), cwd=None, record=None):
        """Runs the launcher in the background; join() gives its Result."""
        outcome = {}

        def body():
            try:
                outcome["run"] = self.case.run(exe, args, cwd=cwd, env=self.env, trace="+msgbox", record=record)
            except Failure as failure:
                outcome["failure"] = failure
        thread = threading.Thread(target=body)
        thread.start()

        def join():
            thread.join()
            if "failure" in outcome:
                raise outcome["failure"]
            return outcome["run"]
        join.running = thread.is_alive
        return join

    def click_ok(self, windows, join):
        """Clicks the one button of boxes no longer in front (keys would go to another
        window) until their run ends."""
        def clicked():
            for window in windows:
                geometry = dict(line.split("=") for line in subprocess.run(
                    ["xdotool", "getwindowgeometry", "--shell", window], env={"DISPLAY": self.display},
                    capture_output=True, timeout=20).stdout.decode().split())
                if "WIDTH" in geometry:
                    x, y = int(geometry["WIDTH"]) // 2, int(geometry["HEIGHT"]) - 22
                    self.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")
            time.sleep(0.5)
            return not join.running()
        self.until(clicked, 30, "the end of the run behind the box")


def dialog_texts(run):
    return [t.strings[0] for t in run.calls("MSGBOX_OnInit") if t.strings]


def windowed(case, app, name="app", **entries):
    config = {"gui": True, "JvmPath": "testjvm.dll", "ClassPath": "run.jar", "MainClass": "org.varnlet.wine.RunMain"}
    config.update(entries)
    case.write(app / "run.jar", "")
    return case.pack(config, app, name=name)


def scenario_report_dialogs(case):
    """Java not found: one box with message 1472 and the download page offer, titled by the
    version information; No leaves the page alone, Yes opens it with the system's handler. A
    failed system call: the system's text and the message in one box, titled by the
    executable's name when the version information names nothing. Nothing on the console."""
    screen = Screen(case)
    app = case.directory("app")
    url = "varnlet-test:java-download"
    exe = windowed(case, app, JavaDownloadUrl=url, version={"FileDescription": "Helix Desk"})
    # The page's scheme opens with a handler that leaves a file behind.
    opened = app / "opened.txt"
    classes = r"HKLM\Software\Classes\varnlet-test"
    case.reg_own(classes)
    case.reg_add(classes, "URL Protocol", "")
    code, out, err = case.wine.tool(["reg", "add", classes + r"\shell\open\command", "/ve", "/t", "REG_SZ", "/f",
                                     "/d", f'cmd /c echo %1> "{case.dos_path(opened)}"', case.reg_view()])
    expect(code == 0, f"reg add failed: {out}{err}")

    join = screen.start(exe, cwd=app)
    screen.answer("Helix Desk", "n", screenshot=case.work / "report-dialog.png")
    run = join()
    expect_eq(dialog_texts(run), [f"{NO_RUNTIME}\n\nOpen the download page now?\n{url}"], "dialog")
    expect_eq((run.code, run.stdout, run.stderr.strip()), (255, "", ""), "exit code and console")
    expect(not opened.exists(), "No opened the page")
    if not case.wine.child_processes_problem(case.bits):
        join = screen.start(exe, cwd=app)
        screen.answer("Helix Desk", "Return")
        join().expect_exit(255)
        screen.until(opened.exists, 20, "the page's handler to write its file")
        time.sleep(0.5)
        expect_eq(opened.read_text().strip(), url, "the page opened")

    case.write(app / "broken" / "jvm.dll", "not a library")
    exe = windowed(case, app, name="helixdesk", JvmPath="broken\\jvm.dll",
                   version={"FileDescription": "", "ProductName": ""})
    join = screen.start(exe, cwd=app)
    screen.answer("helixdesk", "Return")
    run = join()
    texts = dialog_texts(run)
    expect(len(texts) == 1 and texts[0].endswith("\n\nUnable to load JVM: broken\\jvm.dll")
           and len(texts[0]) > len("\n\nUnable to load JVM: broken\\jvm.dll") + 5,
           f"one box with the system's text and the message, got {texts!r}")
    run.expect_exit(255)


def scenario_console_output(case):
    """Started from a console (cmd), the application's output appears there; started without
    one it runs and exits cleanly. No dialog either way."""
    app = case.directory("app")
    exe = windowed(case, app)
    shown = subprocess.run([setting("VARNLET_PACK"), "show", str(exe)], capture_output=True, timeout=60)
    expect(f"{case.arch} launcher, windowed" in shown.stdout.decode(), f"show: {shown.stdout!r}")
    case.install("testjvm.dll", app)
    env = {"TESTJVM_MAIN": "print"}
    run = case.run(exe, cwd=app, env=env, trace="+msgbox", record=app / "testjvm.record")
    expect_eq((run.code, run.record.one("main-end")[1], dialog_texts(run)), (0, "return", []), "run without a console")
    case.require_wine_child_processes_32()
    run = case.run(exe, ["/c", exe.name], cwd=app, env=env, trace="+msgbox", program="cmd")
    expect("testjvm main: out" in run.stdout, f"output on the console: {run.stdout!r}")
    expect_eq((run.code, dialog_texts(run)), (0, []), "exit code and dialogs")


def scenario_single_instance(case):
    """While the first instance runs (held in its report dialog), a second start of the same
    executable shows 1440 and ends with 255; a copy in another folder runs."""
    screen = Screen(case)
    first, other = case.directory("first"), case.directory("other")
    # No testjvm.dll in the first folder: the first instance stops in its dialog.
    exe = windowed(case, first, SingleInstance=True, version={"FileDescription": "Helix"})
    copy = other / exe.name
    copy.write_bytes(exe.read_bytes())
    case.write(other / "run.jar", "")
    case.install("testjvm.dll", other)

    join_first = screen.start(exe, cwd=first)
    held = screen.answer("Helix")
    join_second = screen.start(exe, cwd=first)
    screen.answer("Helix", "Return", known=held)
    second = join_second()
    expect_eq((second.code, dialog_texts(second)), (255, [ALREADY]), "second start")
    run = case.run(copy, cwd=other, env=screen.env, trace="+msgbox", record=other / "testjvm.record")
    expect_eq((run.code, run.record.one("main-end")[1]), (0, "return"), "the copy in another folder")
    screen.click_ok(held, join_first)
    first_run = join_first()
    expect_eq((first_run.code, dialog_texts(first_run)), (255, [NO_RUNTIME]), "first instance")
