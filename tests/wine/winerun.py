#!/usr/bin/env python3
"""The wine tier's harness: runs the Windows launcher bodies under wine.

  winerun.py setup | cleanup                create the prefix and a persistent wineserver | stop it
  winerun.py scenario MODULE NAME ARCH      run scenario_NAME of scenarios_MODULE.py for win32/win64

A scenario is a function `scenario_<name>(case)` in tests/wine/scenarios_<module>.py; CMake
registers every such function for both executables. `case` (class Case) packs launchers
with varnlet-pack, copies test artifacts into a scratch directory, runs them and writes
registry keys, drive mappings and files, all undone when the case ends. Failure fails the
test; Skip ends it as skipped (exit code 77).
"""
import importlib
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from toml_text import toml_text  # noqa: E402

SKIP_CODE = 77


class Failure(Exception):
    """A scenario's check failed."""


class Skip(Exception):
    """A scenario cannot run here (exit code 77)."""


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_eq(actual, expected, what):
    if actual != expected:
        raise Failure(f"{what}: expected {expected!r}, got {actual!r}")


def setting(name):
    value = os.environ.get(name, "")
    if not value:
        raise Failure(f"{name} is not set (run the wine tests through ctest)")
    return value


def decode(data):
    return data.decode("utf-8", errors="surrogateescape").replace("\r\n", "\n")


class Wine:
    """The loaders, the wineserver and the prefix of this build tree. 32-bit programs run
    with the 32-bit loader where the kernel executes it, otherwise with that loader under
    qemu-i386, which needs the 32-bit DLLs copied into the prefix's syswow64 and cannot
    start 32-bit child processes (services.exe starting a service, cmd.exe a program)."""

    QEMU_RESERVE = "0x81000000"  # a smaller guest reserve keeps the emulator faster
    QEMU_SLOWDOWN = 4  # a run under qemu takes seconds where a native one takes a fraction

    def __init__(self):
        self.prefix = Path(setting("VARNLET_WINEPREFIX"))
        self.wine64 = setting("VARNLET_WINE64")
        self.wine32 = os.environ.get("VARNLET_WINE32", "")
        self.wine32_loader = os.environ.get("VARNLET_WINE32_LOADER", "")
        self.qemu_i386 = os.environ.get("VARNLET_QEMU_I386", "")
        self.wine32_dlls = Path(os.environ.get("VARNLET_WINE32_DLLS", "/usr/lib/i386-linux-gnu/wine/i386-windows"))
        self.wineserver = setting("VARNLET_WINESERVER")
        self._wine32_mode = None

    def env(self, debug="-all", extra=None):
        env = dict(os.environ, WINEPREFIX=str(self.prefix), WINESERVER=self.wineserver, WINEDEBUG=debug,
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        env.update(extra or {})
        return env

    def loader(self, bits):
        """The command line that starts a program of `bits` bits; Skip where none can."""
        if bits == 64:
            return [self.wine64]
        mode, detail = self.wine32_mode()
        if mode == "native":
            return [self.wine32]
        if mode == "qemu":
            return [self.qemu_i386, "-R", self.QEMU_RESERVE, self.wine32_loader]
        raise Skip(detail)

    def slowdown(self, bits):
        return self.QEMU_SLOWDOWN if bits == 32 and self.wine32_mode()[0] == "qemu" else 1

    def child_processes_problem(self, bits):
        """Why another wine process cannot start a program of `bits` bits here, or None."""
        if bits == 64:
            return None
        mode, detail = self.wine32_mode()
        if mode == "qemu":
            return ("32-bit programs run under qemu-i386 here, and wine starts a 32-bit child by executing "
                    "its 32-bit loader, which this kernel cannot execute")
        return None if mode == "native" else detail

    def wine32_mode(self):
        """("native" | "qemu" | "none", detail)."""
        if self._wine32_mode is None:
            why = "no 32-bit wine loader (`wine`) was found"
            if self.wine32:
                ok, detail = self._probe([self.wine32, "--version"])
                if ok:
                    self._wine32_mode = ("native", f"run with {self.wine32}")
                    return self._wine32_mode
                why = f"the 32-bit wine loader cannot execute here ({detail})"
            if not (self.qemu_i386 and self.wine32_loader):
                self._wine32_mode = ("none", why + "; qemu-i386 (package qemu-user) or its loader is missing")
            else:
                ok, detail = self._probe([self.qemu_i386, "-R", self.QEMU_RESERVE, self.wine32_loader, "--version"])
                self._wine32_mode = ("qemu", f"run under {self.qemu_i386} ({why})") if ok else \
                    ("none", f"{why}; under qemu-i386 neither ({detail})")
        return self._wine32_mode

    def _probe(self, argv):
        try:
            probe = subprocess.run(argv, env=self.env(), capture_output=True, timeout=60)
        except (OSError, subprocess.TimeoutExpired) as error:
            return False, str(error)
        return probe.returncode == 0, (probe.stderr or probe.stdout).decode(errors="replace").strip()

    def fill_syswow64(self):
        """Copies (never links: wine writes there) the 32-bit DLLs into an empty syswow64."""
        target = self.prefix / "drive_c" / "windows" / "syswow64"
        if not self.wine32_dlls.is_dir():
            raise Failure(f"{self.wine32_dlls} is missing: install the 32-bit wine libraries (wine32)")
        target.mkdir(parents=True, exist_ok=True)
        for source in sorted(self.wine32_dlls.iterdir()):
            destination = target / source.name
            if source.is_file() and not destination.exists():
                shutil.copyfile(source, destination.with_name(destination.name + ".part"))
                destination.with_name(destination.name + ".part").replace(destination)

    def tool(self, args, timeout=60):
        """Runs a wine program (reg, sc, ...) with the 64-bit loader: (code, stdout, stderr)."""
        result = subprocess.run([self.wine64] + args, env=self.env(), capture_output=True, timeout=timeout)
        return result.returncode, decode(result.stdout), decode(result.stderr)


# A wine debug line: "0024:trace:eventlog:ReportEventW L\"text\"" (thread id, class, channel).
TRACE_LINE = re.compile(r"^(?:[0-9a-f]{4,8}:){1,2}(trace|err|warn|fixme):([A-Za-z0-9_]+):(\S+) ?(.*)$")
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def unescape_debugstr(text):
    """Undoes wine's debugstr quoting: \\n \\r \\t \\" \\\\, \\xHH (narrow), \\HHHH (wide)."""
    def one(m):
        s = m.group(0)
        return ESCAPES.get(s[1]) or chr(int(s[2:] if s[1] == "x" else s[1:], 16))
    return re.sub(r'\\(?:[nrt"\\]|x[0-9a-fA-F]{2}|[0-9a-fA-F]{4})', one, text)


def event_reports(traces):
    """Event-log reports among `traces`, as (type, text): "information", "warning" or "error"."""
    kinds = {"trace": "information", "err": "error", "warn": "warning"}
    return [(kinds.get(cls, cls), (strings or [""])[0])
            for cls, channel, function, strings in traces if (channel, function) == ("eventlog", "ReportEventW")]


def parse_traces(text):
    """(traces as (class, channel, function, the line's quoted texts), the other lines)."""
    traces, lines = [], []
    for line in text.split("\n"):
        m = TRACE_LINE.match(line.strip())
        if m:
            quoted = re.finditer(r'L?"((?:[^"\\]|\\.)*)"', m.group(4))
            traces.append((m.group(1), m.group(2), m.group(3).rstrip(":"), [unescape_debugstr(q[1]) for q in quoted]))
        else:
            lines.append(line)
    return traces, lines


class Result:
    """One run: exit code, the program's stdout and stderr, wine's debug lines, the record."""

    def __init__(self, argv, code, stdout, stderr, record_path):
        self.argv, self.code, self.stdout = argv, code, stdout
        self.traces, lines = parse_traces(stderr)
        self.stderr = "\n".join(lines)
        self.record = Record(record_path)

    def texts(self, function):
        """The first quoted text of each debug line of `function`."""
        return [strings[0] for _, _, name, strings in self.traces if name == function]

    def events(self):
        return event_reports(self.traces)

    def expect_exit(self, code):
        expect_eq(self.code, code, "exit code")

    def expect_lines(self, stream, lines):
        text = self.stdout if stream == "stdout" else self.stderr
        expect_eq(text.split("\n")[:-1] if text.endswith("\n") else ([text] if text else []), lines, stream)

    def describe(self):
        return (f"$ {' '.join(self.argv)}\nexit code {self.code}\n--- stdout\n{self.stdout}--- stderr\n{self.stderr}"
                f"\n--- {len(self.traces)} trace lines\n")


class Record:
    """The record file of testjvm.dll: one event a line, tab-separated escaped fields."""

    def __init__(self, path):
        self.path = path
        self.lines = []
        if self.exists:
            for raw in Path(path).read_bytes().split(b"\n"):
                if raw:
                    fields = raw.decode("utf-8", errors="surrogateescape").split("\t")
                    self.lines.append([unescape_debugstr(f) for f in fields])

    @property
    def exists(self):
        return bool(self.path) and Path(self.path).exists()

    def all(self, event):
        return [line[1:] for line in self.lines if line[0] == event]

    def one(self, event):
        found = self.all(event)
        expect(len(found) == 1, f"record: expected one {event!r} event, got {found!r}\n{self.text()}")
        return found[0]

    def text(self):
        return "\n".join("\t".join(line) for line in self.lines)


class Case:
    """One Windows executable's build tree, a scratch directory and the wine prefix."""

    def __init__(self, arch, wine):
        self.arch, self.bits, self.wine = arch, 32 if arch == "win32" else 64, wine
        self.work = Path(setting("VARNLET_WINE_WORK"))
        self.runs, self._undo = [], []

    def artifact(self, name, other_arch=False):
        """A built file: "launcher" (the body), "testjvm.dll",
        "testjvm_runtime.dll"."""
        bits = (96 - self.bits) if other_arch else self.bits
        tree = Path(setting(f"VARNLET_WIN{bits}_TREE"))
        path = tree / ("varnlet.exe" if bits == 32 else "varnlet64.exe") if name == "launcher" else \
            tree / "tests/wine/testjvm" / name
        if not path.exists():
            raise Failure(f"{path} is missing: build the win{bits} preset first")
        return path

    def pack(self, config, directory=None, name="app"):
        """Makes DIRECTORY/NAME.exe (the scratch directory by default) with varnlet-pack, as a
        user does, from a dict of entries (tables as nested dicts)."""
        target_dir = Path(directory or self.work)
        target_dir.mkdir(parents=True, exist_ok=True)
        text = toml_text(config)
        config_file = self.directory("pack") / f"{name}.toml"  # outside the application's directory
        config_file.write_bytes(text.encode("utf-8"))
        output = target_dir / f"{name}.exe"
        argv = [setting("VARNLET_PACK"), "build", str(config_file), "--target", self.arch,
                "--stub", str(self.artifact("launcher")), "-o", str(output)]
        result = subprocess.run(argv, capture_output=True, timeout=60)
        if result.returncode != 0 or not output.exists():
            raise Failure(f"{' '.join(argv)} failed ({result.returncode}):\n{decode(result.stdout)}"
                          f"{decode(result.stderr)}\n--- {config_file}\n{text}")
        return output

    @staticmethod
    def runtime_folder(parts):
        """Where the double's runtime library goes for a double at path `parts`: the runtime's
        bin folder for a bin\\server (client, classic) layout, else beside the double."""
        folder = list(parts[:-1])
        return folder[:-1] if folder and folder[-1].lower() in ("server", "client", "classic") else folder

    def install(self, name, directory=None, as_name=None, other_arch=False):
        """Copies a built file into the scratch directory (or a directory below it); a copy
        of the double brings its runtime library along."""
        source = self.artifact(name, other_arch)
        target = Path(directory or self.work) / (as_name or source.name)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        if name.startswith("testjvm"):
            shutil.copyfile(self.artifact("testjvm_runtime.dll", other_arch),
                            Path(*self.runtime_folder(target.parts)) / "testjvm_runtime.dll")
        return target

    def directory(self, *parts):
        path = self.work.joinpath(*parts)
        path.mkdir(parents=True, exist_ok=True)
        return path

    def write(self, path, text):
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(text.replace("\n", "\r\n").encode("latin-1"))
        return path

    @staticmethod
    def dos_path(path):
        """The Windows name of a Linux path: drive Z: maps the Linux root."""
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def map_drive(self, letter, directory):
        link = self.wine.prefix / "dosdevices" / f"{letter.lower()}:"
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(Path(directory).resolve())
        self._undo.append(lambda: link.unlink() if link.is_symlink() else None)
        return f"{letter.upper()}:\\"

    def copy_to_drive_c(self, source, windows_path):
        """Copies a file to "C:\\..."; what it had to create goes when the case ends."""
        expect(windows_path[:3].upper() == "C:\\", f"{windows_path} is not on drive C:")
        target = (self.wine.prefix / "drive_c").joinpath(*windows_path[3:].split("\\"))
        top = target
        while not top.parent.exists():
            top = top.parent
        if not top.exists():
            self._undo.append(lambda: shutil.rmtree(top, ignore_errors=True) if top.is_dir() else top.unlink())
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        if Path(source).name.startswith("testjvm") and Path(source).name != "testjvm_runtime.dll":
            runtime = Path(source).with_name("testjvm_runtime.dll")
            self.copy_to_drive_c(runtime, "\\".join(self.runtime_folder(windows_path.split("\\")) + [runtime.name]))
        return target

    # A 32-bit process sees the 32-bit registry view.
    def reg_own(self, key, view=None):
        """Makes `key` the case's own: what an earlier run left goes now, the whole key at the end.
        reg_add writes only below such a key."""
        view = view or f"/reg:{self.bits}"
        self.reg_delete(key, view)
        self._undo.append(lambda: self.reg_delete(key, view))

    def reg_add(self, key, value, data, view=None):
        code, out, err = self.wine.tool(["reg", "add", key, "/f", view or f"/reg:{self.bits}", "/v", value, "/d", data])
        expect(code == 0, f"reg add {key} failed ({code}): {out}{err}")

    def reg_delete(self, key, view=None):
        self.wine.tool(["reg", "delete", key, "/f", view or f"/reg:{self.bits}"])

    def run(self, exe, args=(), cwd=None, env=None, trace=None, timeout=60, record=None, program=None):
        """Runs a Windows executable: `exe` its Linux path, or `program` a Windows path to start
        instead; cwd a Linux directory (the scratch directory); trace wine debug channels
        ("+eventlog"); record a path for testjvm.dll's record, read into the result."""
        debug = "-all," + trace if trace else "-all"
        extra = dict(env or {})
        if self.wine.slowdown(self.bits) > 1:  # under qemu the loader must not execute itself again
            extra["WINELOADERNOEXEC"] = "1"
        record_path = Path(record) if record else None
        if record_path:
            record_path.unlink(missing_ok=True)
            extra["TESTJVM_RECORD"] = self.dos_path(record_path)
        argv = self.wine.loader(self.bits) + [program or str(exe)] + list(args)
        timeout *= self.wine.slowdown(self.bits)
        try:
            result = subprocess.run(argv, cwd=str(cwd or self.work), env=self.wine.env(debug, extra),
                                    capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise Failure(f"{' '.join(argv)} did not end within {timeout} s; stdout {expired.stdout!r}, "
                          f"stderr {expired.stderr!r}")
        run = Result(argv, result.returncode, decode(result.stdout), decode(result.stderr), record_path)
        self.runs.append(run)
        return run

    def close(self):
        for undo in reversed(self._undo):
            try:
                undo()
            except Exception as error:  # an undo step must not hide the test's own result
                print(f"cleanup step failed: {error}")
        self._undo.clear()


def setup():
    wine = Wine()
    ready = wine.prefix / ".varnlet-ready"
    env = wine.env()
    quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    if not ready.exists():
        shutil.rmtree(wine.prefix, ignore_errors=True)
        wine.prefix.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([wine.wineserver, "-k"], env=env, **quiet)
        boot = subprocess.run([wine.wine64, "wineboot", "-i"], env=env, capture_output=True, timeout=300)
        if boot.returncode != 0:
            print(f"wineboot -i failed with {boot.returncode}\n{decode(boot.stderr)}")
            return 1
        # No crash debugger: a crashing program ends with its exception code at once.
        for view in ("/reg:64", "/reg:32"):
            wine.tool(["reg", "delete", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug",
                       "/v", "Debugger", "/f", view])
        subprocess.run([wine.wineserver, "-w"], env=env, timeout=120, **quiet)
        ready.write_text("prefix created by tests/wine/winerun.py setup\n")
    # A persistent server, and a program that stays until cleanup so that wine's own system
    # processes are not restarted for every run and do not inherit a run's debug channels.
    subprocess.run([wine.wineserver, "-k"], env=env, **quiet)
    subprocess.run([wine.wineserver, "-p"], env=env, check=True, timeout=60, **quiet)
    subprocess.Popen([wine.wine64, "timeout", "/t", "86400", "/nobreak"], env=env, start_new_session=True, **quiet)
    mode, detail = wine.wine32_mode()
    if mode == "qemu":
        wine.fill_syswow64()
    print("32-bit programs: " + (detail if mode != "none" else f"skipped, {detail}"))
    return 0


def cleanup():
    wine = Wine()
    subprocess.run([wine.wineserver, "-k"], env=wine.env(), capture_output=True, timeout=60)
    return 0


def run_scenario(module, name, arch):
    sys.path.insert(0, str(Path(__file__).parent))
    function = getattr(importlib.import_module(f"scenarios_{module}"), f"scenario_{name}")
    work = Path(setting("VARNLET_WINE_WORK"))
    if work.exists():
        shutil.rmtree(work)  # what an earlier run left must go, or the case is not its own
    work.mkdir(parents=True)
    case = Case(arch, Wine())
    code = 0
    try:
        case.wine.loader(case.bits)  # skip before any set-up where the loader cannot run
        function(case)
        print(f"{module}.{name} on {arch}: passed ({len(case.runs)} runs)")
    except Skip as skip:
        print(f"SKIPPED: {skip}")
        code = SKIP_CODE
    except Failure as failure:
        for run in case.runs:
            print(run.describe())
            if run.record.exists:
                print(f"--- record {run.record.path}\n{run.record.text()}\n")
        print(f"FAILED: {failure}")
        code = 1
    finally:
        case.close()
    return code


def main(argv):
    if argv[1:] in (["setup"], ["cleanup"]):
        return {"setup": setup, "cleanup": cleanup}[argv[1]]()
    if len(argv) == 5 and argv[1] == "scenario":
        return run_scenario(*argv[2:])
    print(__doc__)
    return 2


if __name__ == "__main__":
    # The scenarios import this file as `winerun`: one module, so its Failure and Skip are caught.
    sys.modules.setdefault("winerun", sys.modules[__name__])
    sys.exit(main(sys.argv))
