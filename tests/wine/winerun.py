#!/usr/bin/env python3
"""The wine tier's harness: `winerun.py setup | cleanup` makes the prefix and starts a persistent
wineserver | stops it; `winerun.py scenario MODULE NAME ARCH` runs scenario_NAME of
scenarios_MODULE.py with a Case for win32 or win64, which packs launchers with varnlet-pack as a
user does, lays out files, registry keys and drive mappings (undone at its end) and runs
programs. Failure fails the test, Skip skips it (exit code 77)."""
import contextlib
import fcntl
import functools
import importlib
import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import termios
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests"))
from toml_text import toml_text  # noqa: E402

MESSAGES = {m[1]: m[2] for m in re.finditer(r'^VARNLET_ENTRY\(\d+, *(\w+), *\w+, *\w+(?:\([^)]*\))?, *"([^"]*)"',
                                                 (ROOT / "resources/entries.def").read_text(), re.M)}
NO_RUNTIME = MESSAGES["MsgNoRuntime"]
NO_RUNTIME_HINT = ("Looked for Java 1.3 or later (MinJavaVersion 0x00010003). To see where the launcher looked for "
                   "Java, run it again with the environment variable VARNLET_TRACE set.\n")  # after MsgNoRuntime, by default
QUIET = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}

# Cases the i386 emulator cannot run (qemu-user 7.2, wine 8): a thread the service starts while
# it stops begins with an empty context at an address in its own stack ("Unhandled illegal
# instruction"), and the service never ends. Native 32-bit runs pass them.
EMULATOR_FAULTS = {scenario: "a thread started during the stop crashes in the emulator before it runs any code"
                   for scenario in ("service.ends", "service.ignored_stop_times_out",
                                    "service.uninstall_stops_the_running_service")}

class Failure(Exception):
    pass

class Skip(Exception):
    pass

def expect(condition, message):
    if not condition:
        raise Failure(message)

def expect_eq(actual, expected, what):
    expect(actual == expected, f"{what}: expected {expected!r}, got {actual!r}")

def until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        expect(time.monotonic() < deadline, f"{what}: not within {seconds} s")
        time.sleep(0.2)

def setting(name):
    return os.environ.get(name) or sys.exit(f"{name} is not set: run the wine tests through ctest")

def decode(data):
    return data.decode("utf-8", errors="surrogateescape").replace("\r\n", "\n")

class Wine:
    """The loaders, the wineserver and the prefix of this build tree."""

    def __init__(self):
        self.prefix = Path(setting("VARNLET_WINEPREFIX"))
        self.wine64, self.server = setting("VARNLET_WINE64"), setting("VARNLET_WINESERVER")
        self.event_log = self.prefix.parent / "services-eventlog.log"

    def env(self, debug="-all", extra=None):
        env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        if self.emulated:
            # The emulator gives a 32-bit process 4 GiB by default, and wine reserves the part above
            # 2 GiB page by page at every start (44 s of 46). 32-bit Windows gives a program that
            # is not large-address aware, as ours are not, 2 GiB: the same, in 2 s a start.
            env.setdefault("QEMU_RESERVED_VA", "0x81000000")
        return {**env, "WINEPREFIX": str(self.prefix), "WINESERVER": self.server, "WINEDEBUG": debug,
                "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d", **(extra or {})}

    @functools.cached_property
    def emulated(self):
        """Whether 32-bit programs run through an emulator registered for i386 ELF files (see
        scripts/setup.sh), which the kernel asks before it would execute them itself."""
        for entry in Path("/proc/sys/fs/binfmt_misc").glob("*"):
            with contextlib.suppress(OSError, UnicodeDecodeError):
                text = entry.read_text()
                if text.startswith("enabled") and "magic 7f454c4601010100000000000000000002000300" in text:
                    return True
        return False

    @functools.cached_property
    def wine32(self):
        """The 32-bit loader, where this kernel can execute it, itself or through the emulator."""
        with contextlib.suppress(OSError):
            loader = os.environ.get("VARNLET_WINE32", "")
            probe = subprocess.run([loader, "--version"], env=self.env(), timeout=60, **QUIET)
            return loader if probe.returncode == 0 else None

    def prefix_state(self):
        """What a prefix made now is good for: one made while no 32-bit program could run cannot
        load kernel32.dll for them later."""
        return f"prefix made by tests/wine/winerun.py setup; 32-bit programs: {'yes' if self.wine32 else 'no'}\n"

    def loader(self, bits):
        if bits == 32 and not self.wine32:
            raise Skip("wine's 32-bit loader cannot run on this machine")
        return [self.wine32 if bits == 32 else self.wine64]

    def skip_emulated(self, arch, scenario):
        """Where 32-bit programs are emulated (slowly), the default run takes the cases that matter
        most for width, listed in CMakeLists.txt; `scripts/test.sh win32` takes them all."""
        if arch != "win32" or not self.emulated:
            return
        if scenario in EMULATOR_FAULTS:
            raise Skip(f"{scenario} runs where 32-bit programs execute natively: {EMULATOR_FAULTS[scenario]}")
        if not os.environ.get("VARNLET_WIN32_WIDTH") and not os.environ.get("VARNLET_WIN32_ALL"):
            raise Skip("32-bit programs are emulated here: this case runs in the whole win32 tier (scripts/test.sh win32)")

    def processes(self, needle):
        """This prefix's processes whose command line holds `needle` (any case), in this mount
        namespace (the fault runner's copy of the tree lies at the same path in another)."""
        found, namespace = [], os.readlink("/proc/self/ns/mnt")
        for entry in Path("/proc").iterdir():
            with contextlib.suppress(OSError):
                if entry.name.isdigit() and os.readlink(entry / "ns/mnt") == namespace \
                        and needle.lower() in (entry / "cmdline").read_bytes().decode(errors="replace").lower() \
                        and f"WINEPREFIX={self.prefix}".encode() in (entry / "environ").read_bytes().split(b"\0"):
                    found.append(int(entry.name))
        return found

    def tool(self, args, timeout=60):
        """Runs a wine program (reg, sc, ...) with the 64-bit loader: (code, stdout, stderr)."""
        result = subprocess.run([self.wine64] + args, env=self.env(), capture_output=True, timeout=timeout)
        return result.returncode, decode(result.stdout), decode(result.stderr)

# A wine debug line: "0024:err:eventlog:ReportEventW L\"text\"" (thread, class, channel, function).
TRACE = re.compile(r'^(?:[0-9a-f]{4,8}:){1,2}(trace|err|warn|fixme):(\w+):(\w+):?(?: L?"((?:[^"\\]|\\.)*)"| [^"]*, (#[0-9a-f]+)$)?')

def unescape(text):
    """Undoes wine's quoting: \\n \\r \\t \\" \\\\, \\xHH (narrow text), \\HHHH (wide)."""
    def one(m):
        return {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]) if len(m[1]) == 1 else chr(int(m[1].lstrip("x"), 16))
    return re.sub(r"\\(x[0-9a-fA-F]{2}|[0-9a-fA-F]{4}|.)", one, text)

def split_traces(text):
    """(debug lines as (class, channel, function, their first quoted text or last resource number), the other lines)."""
    traces, other = [], []
    for line in text.split("\n"):
        m = TRACE.match(line.strip())
        traces.append((m[1], m[2], m[3], unescape(m[4] or "") or m[5] or "")) if m else other.append(line)
    return traces, "\n".join(other)

def event_reports(traces):
    """What the event log was given: (kind, text), kind "information", "warning" or "error"."""
    return [({"err": "error", "warn": "warning"}.get(kind, "information"), text)
            for kind, channel, function, text in traces if (channel, function) == ("eventlog", "ReportEventW")]

class Record:
    """testjvm.dll's record: events as lists of fields, the event's name first."""

    def __init__(self, path):
        self.path, self.exists = path, bool(path) and Path(path).exists()
        data = Path(path).read_bytes().decode("utf-8", "surrogateescape") if self.exists else ""
        self.events = [event.split("\x1f")[:-1] for event in data.split("\x1e")[:-1]]

    def all(self, name):
        return [event[1:] for event in self.events if event[0] == name]

    def one(self, name):
        found = self.all(name)
        expect(len(found) == 1, f"record: expected one {name!r} event, got {found!r}\n{self.text()}")
        return found[0]

    def text(self):
        return "\n".join(" | ".join(event) for event in self.events)

class Result:
    """One run: exit code, stdout, stderr without wine's debug lines, those lines, the record."""

    def __init__(self, argv, code, stdout, stderr, record):
        self.argv, self.code, self.stdout, self.record = argv, code, stdout, Record(record)
        self.traces, self.stderr = split_traces(stderr)

    def jvm(self):
        """The record of a run in which the double created a JVM."""
        expect(self.record.all("create"), f"no JVM was created (exit code {self.code}, stderr {self.stderr!r})")
        return self.record

    def expect(self, code, stdout=None, stderr=None):
        """The exit code, and stdout and stderr where given."""
        for what, actual, wanted in (("exit code", self.code, code), ("stdout", self.stdout, stdout), ("stderr", self.stderr, stderr)):
            expect(wanted is None or actual == wanted, f"{what}: expected {wanted!r}, got {actual!r}")

    def describe(self):
        return f"$ {' '.join(self.argv)}\nexit code {self.code}\n--- stdout\n{self.stdout}--- stderr\n{self.stderr}\n" + \
            (f"--- record {self.record.path}\n{self.record.text()}\n" if self.record.exists else "")

def on_terminal(argv, timeout, capture_output, **kwargs):
    """subprocess.run on a terminal wide enough for any line: stdout is what it shows, with the
    console's cursor movements undone (a blank is a step right, \\e[nC)."""
    ours, theirs = pty.openpty()
    fcntl.ioctl(ours, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 9999, 0, 0))
    process, shown = subprocess.Popen(argv, stdin=theirs, stdout=theirs, stderr=theirs, **kwargs), b""
    os.close(theirs)
    with contextlib.suppress(OSError):  # EIO: the terminal's last writer has gone
        while select.select([ours], [], [], timeout)[0] and (chunk := os.read(ours, 65536)):
            shown += chunk
    os.close(ours)
    shown = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m[1] or 1), shown)
    return subprocess.CompletedProcess(argv, process.wait(timeout), re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", shown), b"")

class Case:
    """One Windows executable's build tree, a scratch directory and the wine prefix."""

    def __init__(self, arch, wine):
        self.arch, self.bits, self.wine = arch, 32 if arch == "win32" else 64, wine
        self.work = Path(setting("VARNLET_WINE_WORK"))
        self.runs, self._undo = [], []

    def artifact(self, name, other_arch=False):
        """A built file: "launcher" (the body), "testjvm.dll" or "testjvm_runtime.dll"."""
        bits = 96 - self.bits if other_arch else self.bits
        tree = Path(setting(f"VARNLET_WIN{bits}_TREE"))
        path = tree / ("varnlet.exe" if bits == 32 else "varnlet64.exe") if name == "launcher" else tree / "tests/wine/testjvm" / name
        expect(path.exists(), f"{path} is missing: build the win{bits} preset first")
        return path

    def pack(self, config, directory=None, name="app"):
        """DIRECTORY/NAME.exe made by varnlet-pack from a dict of entries (tables as dicts)."""
        text, output = toml_text(config), Path(directory or self.work) / f"{name}.exe"
        config_file = self.directory("pack") / f"{name}.toml"  # outside the application's directory
        config_file.write_text(text, encoding="utf-8")
        argv = [setting("VARNLET_PACK"), "build", str(config_file), "--target", self.arch,
                "--stub", str(self.artifact("launcher")), "-o", str(output)]
        result = subprocess.run(argv, capture_output=True, timeout=60)
        expect(result.returncode == 0, f"{argv} failed:\n{decode(result.stdout + result.stderr)}\n{text}")
        return output

    def install(self, name, directory, as_name=None, other_arch=False):
        """Copies a built file into `directory`; the double brings its runtime library along,
        into the runtime's bin folder when it lies in bin\\server (or client), else beside it."""
        source = self.artifact(name, other_arch)
        target = Path(directory) / (as_name or source.name)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        if name == "testjvm.dll":
            folder = target.parent.parent if target.parent.name.lower() in ("server", "client") else target.parent
            shutil.copyfile(self.artifact("testjvm_runtime.dll", other_arch), folder / "testjvm_runtime.dll")
        return target

    def app(self, directory, name="app", **entries):
        """DIRECTORY/NAME.exe running testjvm.dll beside it, with an empty run.jar."""
        self.install("testjvm.dll", directory)
        self.write(Path(directory) / "run.jar", "")
        return self.pack({"JvmPath": "testjvm.dll", "ClassPath": "run.jar", "MainClass": "org.varnlet.wine.RunMain",
                          **entries}, directory, name)

    def directory(self, *parts):
        path = self.work.joinpath(*parts)
        path.mkdir(parents=True, exist_ok=True)
        return path

    def write(self, path, text):
        Path(path).parent.mkdir(parents=True, exist_ok=True)
        Path(path).write_bytes(text.replace("\n", "\r\n").encode("latin-1"))

    @staticmethod
    def dos_path(path):
        """The Windows name of a Linux path: drive Z: maps the Linux root."""
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def drive_c(self, windows_path):
        """An empty directory C:\\..., removed when the case ends: its Linux path."""
        path = (self.wine.prefix / "drive_c").joinpath(*windows_path[3:].split("\\"))
        shutil.rmtree(path, ignore_errors=True)
        path.mkdir(parents=True)
        self._undo.append(lambda: shutil.rmtree(path, ignore_errors=True))
        return path

    def map_drive(self, letter, directory):
        link = self.wine.prefix / "dosdevices" / f"{letter}:"
        link.unlink(missing_ok=True)
        link.symlink_to(Path(directory).resolve())
        self._undo.append(lambda: link.unlink(missing_ok=True))
        return f"{letter.upper()}:\\"

    def reg_own(self, key, view=None):
        """Makes `key` the case's own: what an earlier run left goes now, the whole key at the end."""
        self.reg_delete(key, view)
        self._undo.append(lambda: self.reg_delete(key, view))

    def reg_add(self, key, value, data, view=None):
        # A 32-bit process sees the registry's 32-bit view.
        code, out, err = self.wine.tool(["reg", "add", key, "/f", view or f"/reg:{self.bits}"] +
                                        (["/ve"] if value is None else ["/v", value]) + ["/d", data])
        expect(code == 0, f"reg add {key} failed ({code}): {out}{err}")

    def reg_delete(self, key, view=None):
        self.wine.tool(["reg", "delete", key, "/f", view or f"/reg:{self.bits}"])

    def run(self, exe, args=(), cwd=None, env=None, trace=None, timeout=60, record=None, program=None, terminal=False):
        """Runs `exe` (a Linux path) or `program` (a Windows name) in `cwd`, with wine's debug
        channels `trace` on ("+eventlog") and testjvm.dll's record at `record`. cmd, which shows
        a program's whole exit code where wine hands Linux its low byte, is the 64-bit one: it
        starts the case's executable as it is, and costs no emulated start. With `terminal`, on a
        terminal, where wine gives the program a console: stdout is what the terminal shows."""
        extra = dict(env or {})
        if record:
            Path(record).unlink(missing_ok=True)
            extra["TESTJVM_RECORD"] = self.dos_path(record)
        argv = self.wine.loader(64 if program == "cmd" else self.bits) + [program or str(exe)] + list(args)
        try:
            result = (on_terminal if terminal else subprocess.run)(
                argv, cwd=str(cwd or self.work), env=self.wine.env("-all," + (trace or ""), extra), capture_output=True,
                timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise Failure(f"{argv} did not end within {timeout} s: {expired.stdout!r} {expired.stderr!r}")
        self.runs.append(Result(argv, result.returncode, decode(result.stdout), decode(result.stderr), record))
        return self.runs[-1]

    def close(self):
        for undo in reversed(self._undo):
            with contextlib.suppress(Exception):  # a failed clean-up step must not hide the test's result
                undo()

def setup():
    wine = Wine()
    ready, env = wine.prefix / ".varnlet-ready", wine.env()
    if not ready.exists() or ready.read_text() != wine.prefix_state():
        shutil.rmtree(wine.prefix, ignore_errors=True)
        wine.prefix.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([wine.server, "-k"], env=env, **QUIET)
        subprocess.run([wine.wine64, "wineboot", "-i"], env=env, timeout=300, check=True, **QUIET)
        # No crash debugger: a crashing program ends with its exception code at once.
        for view in ("/reg:64", "/reg:32"):
            wine.tool(["reg", "delete", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug", "/v", "Debugger", "/f", view])
        subprocess.run([wine.server, "-w"], env=env, timeout=120, **QUIET)
        ready.write_text(wine.prefix_state())
    # A persistent server, and a program that stays until cleanup so that wine's system processes
    # are not started for every run. They take its environment and stderr, and a service takes
    # services.exe's: so the event log (wine's eventlog channel) goes to a file, for all sessions.
    subprocess.run([wine.server, "-k"], env=env, **QUIET)
    subprocess.run([wine.server, "-p"], env=env, check=True, timeout=60, **QUIET)
    with open(wine.event_log, "ab") as log:
        subprocess.Popen([wine.wine64, "timeout", "/t", "86400", "/nobreak"], env=wine.env("-all,+eventlog"),
                         start_new_session=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
    # The service manager answers once services.exe runs (a tool started before would start it).
    until(lambda: wine.processes("services.exe"), 60, "services.exe")
    until(lambda: wine.tool(["sc", "query", "eventlog"])[0] == 0, 60, "an answer of the service manager")
    print(f"32-bit loader: {wine.wine32 or 'none, the win32 cases are skipped'}"
          f"{' (emulated: the default run takes the width cases)' if wine.wine32 and wine.emulated else ''}")
    return 0

def run_scenario(module, name, arch):
    sys.modules.setdefault("winerun", sys.modules[__name__])  # one module, so one Failure class
    sys.path.insert(0, str(Path(__file__).parent))
    function = getattr(importlib.import_module(f"scenarios_{module}"), f"scenario_{name}")
    case = Case(arch, Wine())
    shutil.rmtree(case.work, ignore_errors=True)  # what an earlier run left would not be the case's own
    case.work.mkdir(parents=True)
    try:
        case.wine.loader(case.bits)  # skips before any set-up where the loader cannot run
        case.wine.skip_emulated(arch, f"{module}.{name}")
        function(case)
        print(f"{module}.{name} on {arch}: passed ({len(case.runs)} runs)")
        return 0
    except Skip as skip:
        print(f"SKIPPED: {skip}")
        return 77
    except Failure as failure:
        print("\n".join(run.describe() for run in case.runs) + f"\nFAILED: {failure}")
        return 1
    finally:
        case.close()

if __name__ == "__main__":
    if sys.argv[1:] == ["setup"]:
        sys.exit(setup())
    if sys.argv[1:] == ["cleanup"]:
        subprocess.run([Wine().server, "-k"], env=Wine().env(), timeout=60, **QUIET)
        sys.exit(0)
    if len(sys.argv) == 5 and sys.argv[1] == "scenario":
        sys.exit(run_scenario(*sys.argv[2:]))
    sys.exit(__doc__)
