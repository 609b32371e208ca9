#!/usr/bin/env python3
"""The wine tier's harness: runs the Windows launcher bodies under wine.

CTest calls it in three ways (tests/wine/CMakeLists.txt sets the environment):
  winerun.py setup                     create the prefix once, start a persistent wineserver
  winerun.py cleanup                   stop that wineserver
  winerun.py scenario MODULE NAME ARCH run scenario_NAME of scenarios_MODULE.py for win32/win64

A scenario is a function `scenario_<name>(case)` in a file tests/wine/scenarios_<module>.py;
CMake registers every such function as two tests, one per Windows executable. `case`
(class Case below) makes launchers with varnlet-pack (Case.pack), copies the test
artifacts into a scratch directory, runs them, and writes registry keys, drive mappings
and files. Failures raise Failure; Skip ends the test as skipped (exit code 77).
"""
import importlib
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

SKIP_CODE = 77


class Failure(Exception):
    pass


class Skip(Exception):
    pass


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


# ---------------------------------------------------------------------------
# Wine processes

class Wine:
    """The loaders, the wineserver and the prefix of this build tree.

    64-bit programs run with wine64. 32-bit programs run with the 32-bit loader `wine` where
    this machine executes it; where the kernel cannot execute 32-bit ELF binaries, they run
    with the same loader under qemu-i386 (user-mode emulation), which needs the 32-bit
    Windows DLLs in the prefix's syswow64 (setup copies them). Under qemu a 32-bit program
    cannot start another 32-bit program: wine starts a child by executing the 32-bit loader
    itself, which this kernel refuses, so runs that need that (a 32-bit service started by
    services.exe, cmd.exe starting the launcher) are skipped there."""

    # The part of the guest address space qemu reserves up front: the 32-bit loader maps
    # its shared user data high up, and a smaller reserve keeps the emulator faster.
    QEMU_RESERVE = "0x81000000"
    # A run under qemu takes 3 to 20 s where a native one takes a fraction of a second; a
    # run that hangs still ends (60 s x 4) before the test's own 300 s limit.
    QEMU_SLOWDOWN = 4

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
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": str(self.prefix),
            "WINESERVER": self.wineserver,
            "WINEDEBUG": debug,
            # No installer prompts for the .NET and HTML engines, no desktop menu entries.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        })
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        if extra:
            env.update(extra)
        return env

    def loader(self, bits):
        """The command line that starts a program of `bits` bits, up to the program's name.
        Raises Skip where no 32-bit loader can run."""
        if bits == 64:
            return [self.wine64]
        mode, detail = self.wine32_mode()
        if mode == "native":
            return [self.wine32]
        if mode == "qemu":
            return [self.qemu_i386, "-R", self.QEMU_RESERVE, self.wine32_loader]
        raise Skip(detail)

    def loader_env(self, bits):
        """What the loader of `bits` bits needs in its environment besides the prefix's."""
        if bits == 32 and self.wine32_mode()[0] == "qemu":
            # The loader would otherwise execute itself again through the 32-bit
            # preloader, which the kernel cannot run.
            return {"WINELOADERNOEXEC": "1"}
        return {}

    def slowdown(self, bits):
        """How many times longer a program of `bits` bits may take than a native one."""
        return self.QEMU_SLOWDOWN if bits == 32 and self.wine32_mode()[0] == "qemu" else 1

    def wine32_problem(self):
        """Why 32-bit programs cannot run here, or None when they can."""
        mode, detail = self.wine32_mode()
        return None if mode in ("native", "qemu") else detail

    def child_processes_problem(self, bits):
        """Why a program of `bits` bits cannot be started by another wine process here
        (services.exe, cmd.exe), or None when it can."""
        if bits == 64:
            return None
        mode, detail = self.wine32_mode()
        if mode == "qemu":
            return ("32-bit programs run under qemu-i386 here, and wine starts a 32-bit child process by "
                    "executing its 32-bit loader, which this machine's kernel cannot execute "
                    "(only an i386 binfmt_misc registration for qemu would allow it, a machine-wide change)")
        return None if mode == "native" else detail

    def wine32_mode(self):
        """How 32-bit programs run: ("native", detail), ("qemu", detail) or ("none", why not)."""
        if self._wine32_mode is None:
            self._wine32_mode = self._probe_wine32()
        return self._wine32_mode

    def _probe_wine32(self):
        native_detail = "no 32-bit wine loader (`wine`) was found"
        if self.wine32:
            ok, detail = self._probe([self.wine32, "--version"], self.env())
            if ok:
                return "native", f"run with {self.wine32}"
            native_detail = f"the 32-bit wine loader cannot execute on this machine ({self.wine32}: {detail})"
        if not self.qemu_i386:
            return "none", native_detail + "; qemu-i386 (package qemu-user) was not found either"
        if not self.wine32_loader:
            return "none", native_detail + "; the 32-bit loader binary for qemu-i386 was not found"
        # Without WINELOADERNOEXEC the loader answers --version before it starts anything.
        env = self.env()
        env.pop("WINELOADERNOEXEC", None)
        ok, detail = self._probe([self.qemu_i386, "-R", self.QEMU_RESERVE, self.wine32_loader, "--version"], env)
        if not ok:
            return "none", (f"{native_detail}; {self.wine32_loader} under {self.qemu_i386} does not run "
                            f"either ({detail})")
        return "qemu", f"run with {self.wine32_loader} under {self.qemu_i386} ({native_detail})"

    @staticmethod
    def _probe(argv, env):
        try:
            probe = subprocess.run(argv, env=env, capture_output=True, timeout=60)
        except (OSError, subprocess.TimeoutExpired) as error:
            return False, str(error)
        return probe.returncode == 0, (probe.stderr or probe.stdout).decode(errors="replace").strip()

    def fill_syswow64(self):
        """Copies the 32-bit Windows DLLs and programs into the prefix's syswow64, which a
        prefix made by wine64 leaves empty and the 32-bit loader under qemu cannot fill:
        without them a 32-bit program ends with "could not load kernel32.dll". Copies, not
        links: nothing wine writes there may reach the installed package's files. Files
        already there stay as they are. Returns the number of files copied."""
        target = self.prefix / "drive_c" / "windows" / "syswow64"
        if not self.wine32_dlls.is_dir():
            raise Failure(f"{self.wine32_dlls} is missing: install the 32-bit wine libraries (wine32)")
        target.mkdir(parents=True, exist_ok=True)
        copied = 0
        for source in sorted(self.wine32_dlls.iterdir()):
            destination = target / source.name
            if source.is_file() and not destination.exists():
                partial = destination.with_name(destination.name + ".part")
                shutil.copyfile(source, partial)
                partial.replace(destination)
                copied += 1
        return copied

    def tool(self, args, timeout=60):
        """Runs a wine program (reg, sc, ...) with the 64-bit loader; returns the result."""
        result = subprocess.run([self.wine64] + args, env=self.env(), capture_output=True, timeout=timeout)
        return result.returncode, decode(result.stdout), decode(result.stderr)


def decode(data):
    return data.decode("utf-8", errors="surrogateescape").replace("\r\n", "\n")


def toml_string(text):
    escapes = {"\\": "\\\\", '"': '\\"', "\n": "\\n", "\r": "\\r", "\t": "\\t"}
    return '"' + "".join(escapes.get(c, c if c >= " " and c != "\x7f" else f"\\u{ord(c):04X}")
                         for c in text) + '"'


def toml_value(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(toml_value(v) for v in value) + "]"
    return toml_string(str(value))


def toml_text(config):
    """A varnlet-pack configuration: plain keys first, then one table per nested dict."""
    lines = [f"{key} = {toml_value(value)}" for key, value in config.items() if not isinstance(value, dict)]
    for table, values in config.items():
        if isinstance(values, dict):
            lines.append(f"\n[{table}]")
            lines += [f"{toml_string(str(key))} = {toml_value(value)}" for key, value in values.items()]
    return "\n".join(lines) + "\n"


# A wine debug line: "0024:trace:eventlog:ReportEventW L\"text\"" (thread id, class, channel).
TRACE_LINE = re.compile(r"^(?:[0-9a-f]{4,8}:){1,2}(trace|err|warn|fixme):([A-Za-z0-9_]+):(\S+) ?(.*)$")


def unescape_debugstr(text):
    """Undoes wine's debugstr quoting: \\n \\r \\t \\" \\\\, \\xHH (narrow), \\HHHH (wide)."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 >= len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        simple = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
        if n in simple:
            out.append(simple[n])
            i += 2
        elif n == "x" and re.match(r"[0-9a-fA-F]{2}", text[i + 2:i + 4]):
            out.append(chr(int(text[i + 2:i + 4], 16)))
            i += 4
        elif re.match(r"[0-9a-fA-F]{4}", text[i + 1:i + 5]):
            out.append(chr(int(text[i + 1:i + 5], 16)))
            i += 5
        else:
            out.append(c)
            i += 1
    return "".join(out)


def quoted_strings(text):
    """The debugstr texts of a trace line, in order (L"..." and "..." forms)."""
    return [unescape_debugstr(m.group(1)) for m in re.finditer(r'L?"((?:[^"\\]|\\.)*)"', text)]


class Trace:
    def __init__(self, cls, channel, function, text):
        self.cls, self.channel, self.function, self.text = cls, channel, function, text

    @property
    def strings(self):
        return quoted_strings(self.text)

    def __repr__(self):
        return f"{self.cls}:{self.channel}:{self.function} {self.text}"


class Result:
    """One run: exit code, the program's own stdout and stderr, and wine's debug lines."""

    def __init__(self, argv, code, stdout, stderr, record_path):
        self.argv, self.code, self.stdout = argv, code, stdout
        lines, self.traces = [], []
        for line in stderr.split("\n"):
            m = TRACE_LINE.match(line)
            if m:
                function = m.group(3).rstrip(":")
                self.traces.append(Trace(m.group(1), m.group(2), function, m.group(4)))
            else:
                lines.append(line)
        self.stderr = "\n".join(lines)
        self.record = Record(record_path)

    def calls(self, function):
        return [t for t in self.traces if t.function == function]

    def events(self):
        """Event-log reports, as (type, text): type "information" or "error"."""
        kinds = {"trace": "information", "err": "error", "warn": "warning"}
        return [(kinds.get(t.cls, t.cls), (t.strings or [""])[0])
                for t in self.traces if t.channel == "eventlog" and t.function == "ReportEventW"]

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
        if path and Path(path).exists():
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

    def events(self):
        return [line[0] for line in self.lines]

    def text(self):
        return "\n".join("\t".join(line) for line in self.lines)


# ---------------------------------------------------------------------------
# One test case

class Case:
    """What a scenario works with: one Windows executable's build tree, a scratch directory
    and the wine prefix. Everything a case changes outside its scratch directory (registry
    keys, drive mappings, files in drive C:) is undone when it ends."""

    def __init__(self, arch, wine):
        self.arch = arch
        self.bits = 32 if arch == "win32" else 64
        self.wine = wine
        trees = {"win32": setting("VARNLET_WIN32_TREE"), "win64": setting("VARNLET_WIN64_TREE")}
        self.tree = Path(trees[arch])
        self.other_tree = Path(trees["win64" if arch == "win32" else "win32"])
        self.source = Path(setting("VARNLET_SOURCE_DIR"))
        self.work = Path(setting("VARNLET_WINE_WORK"))
        self.runs = []
        self._undo = []
        self._reg_owned = []

    # -- artifacts ---------------------------------------------------------
    def artifact(self, name, other_arch=False):
        """A built file of this executable's tree: "launcher" (varnlet.exe / varnlet64.exe),
        "testjvm.dll", "testjvm_noinit.dll", "jnidriver.exe"."""
        tree = self.other_tree if other_arch else self.tree
        bits = (64 if self.bits == 32 else 32) if other_arch else self.bits
        if name == "launcher":
            path = tree / ("varnlet.exe" if bits == 32 else "varnlet64.exe")
        else:
            path = tree / "tests/wine/testjvm" / name
        if not path.exists():
            raise Failure(f"{path} is missing: build the {'win32' if bits == 32 else 'win64'} preset first")
        return path

    def pack(self, config, directory=None, name="app"):
        """Makes an application's launcher from this case's body with varnlet-pack, as a
        user does: `config` is a dict of entries (plus [messages] / [version] tables as
        nested dicts) or the text of a TOML file. Writes DIRECTORY/NAME.exe (the scratch
        directory by default) and returns its path."""
        target_dir = Path(directory) if directory else self.work
        target_dir.mkdir(parents=True, exist_ok=True)
        text = config if isinstance(config, str) else toml_text(config)
        # The configuration lives outside the application's directory, which some scenarios list.
        config_file = self.directory("pack") / f"{name}.toml"
        config_file.write_bytes(text.encode("utf-8"))
        output = target_dir / f"{name}.exe"
        argv = [setting("VARNLET_PACK"), "build", str(config_file), "--target", self.arch,
                "--stub", str(self.artifact("launcher")), "-o", str(output)]
        result = subprocess.run(argv, capture_output=True, timeout=60)
        if result.returncode != 0 or not output.exists():
            raise Failure(f"{' '.join(argv)} failed ({result.returncode}):\n{decode(result.stdout)}"
                          f"{decode(result.stderr)}\n--- {config_file}\n{text}")
        return output

    def install(self, name, directory=None, as_name=None, other_arch=False):
        """Copies a built file into the scratch directory (or a directory below it)."""
        source = self.artifact(name, other_arch)
        target_dir = Path(directory) if directory else self.work
        target_dir.mkdir(parents=True, exist_ok=True)
        target = target_dir / (as_name or source.name)
        shutil.copyfile(source, target)
        return target

    def directory(self, *parts):
        path = self.work.joinpath(*parts)
        path.mkdir(parents=True, exist_ok=True)
        return path

    def write(self, path, text, encoding="latin-1"):
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(text.replace("\n", "\r\n").encode(encoding))
        return path

    # -- paths -------------------------------------------------------------
    @staticmethod
    def dos_path(path):
        """The Windows name of a Linux path: drive Z: maps the Linux root."""
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    @property
    def drive_c(self):
        return self.wine.prefix / "drive_c"

    def map_drive(self, letter, directory):
        """Maps drive letter (e.g. "m") to a directory for the rest of the case."""
        link = self.wine.prefix / "dosdevices" / f"{letter.lower()}:"
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(Path(directory).resolve())
        self._undo.append(lambda: link.unlink() if link.is_symlink() else None)
        return f"{letter.upper()}:\\"

    def file_in_drive_c(self, name, text):
        path = self.write(self.drive_c / name, text)
        self._undo.append(lambda: path.unlink() if path.exists() else None)
        return path

    def copy_to_drive_c(self, source, windows_path):
        """Copies a file to a path on drive C: ("C:\\Program Files\\..."); the directories
        it had to create go again when the case ends."""
        expect(windows_path[:3].upper() == "C:\\", f"{windows_path} is not on drive C:")
        target = self.drive_c.joinpath(*windows_path[3:].split("\\"))
        top = target
        while not top.parent.exists():
            top = top.parent
        if top != target and not top.exists():
            self._undo.append(lambda: shutil.rmtree(top, ignore_errors=True))
        elif not target.exists():
            self._undo.append(lambda: target.unlink() if target.exists() else None)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, target)
        return target

    # -- registry ----------------------------------------------------------
    def reg_view(self):
        """A 32-bit process sees the 32-bit registry view."""
        return f"/reg:{self.bits}"

    def reg_own(self, key, view=None):
        """Makes `key` the case's own: whatever a crashed earlier run left there goes now,
        and the whole key goes again when the case ends (so keys added below it need no
        undo step of their own)."""
        view = view or self.reg_view()
        self.reg_delete(key, view)
        self._reg_owned.append((key.lower(), view))
        self._undo.append(lambda: self.reg_delete(key, view))

    def reg_add(self, key, value=None, data=None, kind="REG_SZ", view=None):
        view = view or self.reg_view()
        args = ["reg", "add", key, "/f", view]
        if value is not None:
            args += ["/v", value, "/t", kind, "/d", data if data is not None else ""]
        code, out, err = self.wine.tool(args)
        expect(code == 0, f"reg add {key} failed ({code}): {out}{err}")
        lowered = key.lower()
        if not any(v == view and (lowered == k or lowered.startswith(k + "\\")) for k, v in self._reg_owned):
            self._undo.append(lambda: self.reg_delete(key, view))

    def reg_delete(self, key, view=None):
        self.wine.tool(["reg", "delete", key, "/f", view or self.reg_view()])

    def reg_query(self, key, value):
        code, out, _ = self.wine.tool(["reg", "query", key, "/v", value, self.reg_view()])
        if code != 0:
            return None
        for line in out.split("\n"):
            parts = line.split(None, 2)
            if len(parts) >= 2 and parts[0] == value:
                return parts[2] if len(parts) == 3 else ""
        return None

    # -- running -----------------------------------------------------------
    def require_wine_child_processes_32(self):
        """Skips the case where its executable cannot be started by another wine process
        (services.exe starting a service, cmd.exe starting a program): a 32-bit one under
        qemu-i386. Call it before the first such start."""
        problem = self.wine.child_processes_problem(self.bits)
        if problem:
            raise Skip(problem)

    def run(self, exe, args=(), cwd=None, env=None, trace=None, timeout=60, record=None, program=None):
        """Runs a Windows executable.

        exe: the Linux path of the executable (the scratch copy), or with `program` a
        Windows path to start instead (e.g. on a mapped drive). cwd: the Linux directory to
        start in (the scratch directory by default). trace: wine debug channels to turn on,
        e.g. "+eventlog" or "+profile". record: a path for testjvm.dll's record file
        (TESTJVM_RECORD); the result's .record reads it after the run. timeout: seconds
        for a native run; a run under qemu-i386 gets QEMU_SLOWDOWN times as long."""
        exe = Path(exe)
        debug = "-all" if not trace else "-all," + ",".join(
            c if c[0] in "+-" or ":" in c else "+" + c for c in trace.split(","))
        extra = dict(env or {})
        record_path = None
        if record:
            record_path = Path(record)
            if record_path.exists():
                record_path.unlink()
            extra["TESTJVM_RECORD"] = self.dos_path(record_path)
        argv = self.wine.loader(self.bits) + [program or str(exe)] + list(args)
        extra.update(self.wine.loader_env(self.bits))
        timeout *= self.wine.slowdown(self.bits)
        started = time.monotonic()
        try:
            result = subprocess.run(argv, cwd=str(cwd or self.work), env=self.wine.env(debug, extra),
                                    capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired as expired:
            raise Failure(f"{' '.join(argv)} did not end within {timeout} s; stdout {expired.stdout!r}, "
                          f"stderr {expired.stderr!r}")
        run = Result(argv, result.returncode, decode(result.stdout), decode(result.stderr), record_path)
        run.seconds = time.monotonic() - started
        self.runs.append(run)
        return run

    def close(self):
        for undo in reversed(self._undo):
            try:
                undo()
            except Exception as error:  # an undo step must not hide the test's own result
                print(f"cleanup step failed: {error}")
        self._undo.clear()


# ---------------------------------------------------------------------------
# Fixtures and the command line

def setup():
    wine = Wine()
    ready = wine.prefix / ".varnlet-ready"
    env = wine.env()
    if not ready.exists():
        started = time.monotonic()
        if wine.prefix.exists():
            shutil.rmtree(wine.prefix)
        wine.prefix.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run([wine.wineserver, "-k"], env=env, capture_output=True)
        boot = subprocess.run([wine.wine64, "wineboot", "-i"], env=env, capture_output=True, timeout=300)
        print(f"wineboot -i: {time.monotonic() - started:.1f} s")
        if boot.returncode != 0:
            print(decode(boot.stderr))
            print(f"wineboot -i failed with {boot.returncode}")
            return 1
        # No crash debugger: a crashing program ends with its exception code instead of
        # waiting for a debugger that has no one to talk to.
        for view in ("/reg:64", "/reg:32"):
            wine.tool(["reg", "delete", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug",
                       "/v", "Debugger", "/f", view])
        print(f"crash debugger off: {time.monotonic() - started:.1f} s")
        subprocess.run([wine.wineserver, "-w"], env=env, timeout=120, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ready.write_text("prefix created by tests/wine/winerun.py setup\n")
        print(f"created wine prefix {wine.prefix} in {time.monotonic() - started:.1f} s")
    else:
        print(f"using wine prefix {wine.prefix}")
    # A persistent server keeps every later run to a fraction of a second.
    subprocess.run([wine.wineserver, "-k"], env=env, capture_output=True)
    # Its own standard streams: the server outlives this process and must not hold ctest's pipes.
    subprocess.run([wine.wineserver, "-p"], env=env, check=True, timeout=60, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # A program that stays until cleanup keeps wine's own system processes (services,
    # explorer, device drivers) running: they are not restarted for every run, and they do
    # not inherit a run's debug channels, so a run's traces are its own.
    subprocess.Popen([wine.wine64, "timeout", "/t", "86400", "/nobreak"], env=env, start_new_session=True,
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mode, detail = wine.wine32_mode()
    if mode == "qemu":
        started = time.monotonic()
        copied = wine.fill_syswow64()
        if copied:
            print(f"copied {copied} 32-bit DLLs and programs to syswow64 in {time.monotonic() - started:.1f} s")
    print("32-bit programs: " + (detail if mode != "none" else f"skipped, {detail}"))
    return 0


def cleanup():
    wine = Wine()
    subprocess.run([wine.wineserver, "-k"], env=wine.env(), capture_output=True, timeout=60)
    return 0


def run_scenario(module, name, arch):
    sys.path.insert(0, str(Path(__file__).parent))
    scenarios = importlib.import_module(f"scenarios_{module}")
    function = getattr(scenarios, f"scenario_{name}")
    work = Path(setting("VARNLET_WINE_WORK"))
    if work.exists():
        shutil.rmtree(work)
    work.mkdir(parents=True)
    case = Case(arch, Wine())
    code = 0
    try:
        # Every scenario runs its executable: where the loader cannot run, skip before any
        # set-up (registry keys, files in drive C:) is spent on it.
        case.wine.loader(case.bits)
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
    if len(argv) >= 2 and argv[1] == "setup":
        return setup()
    if len(argv) >= 2 and argv[1] == "cleanup":
        return cleanup()
    if len(argv) == 5 and argv[1] == "scenario":
        return run_scenario(argv[2], argv[3], argv[4])
    print(__doc__)
    return 2


if __name__ == "__main__":
    # The scenarios import this file as `winerun`: without this they would get a second
    # copy whose Failure and Skip the handlers here do not catch.
    sys.modules.setdefault("winerun", sys.modules[__name__])
    sys.exit(main(sys.argv))
