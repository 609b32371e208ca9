"""The wine service scenarios' test service: a launcher installed in wine's own service
manager, that manager's view of it (`sc`, `reg`) and the event log. A service process
inherits services.exe's WINEDEBUG and stderr (in setup's session "-all" and /dev/null), so
the first service scenario of a run restarts the session with a services.exe whose
eventlog channel is on and whose stderr goes to a log beside the prefix; later ones reuse it.
"""
import functools
import os
import re
import signal
import subprocess
import time
from pathlib import Path

from scenarios_spine import default_entries
from winerun import Failure, Record, Skip, event_reports, expect, parse_traces

SERVICE_SWITCH = "-startlauncherinservicemode"
SERVICES_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services"
EVENTLOG_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application"
LOG_CHANNELS = "-all,+eventlog"

STOPPED, STOP_PENDING, RUNNING = 1, 3, 4
STOP_WAIT_HINT = 40000


def service_message(message_id, name):
    """A default message format of the launcher, filled with the service's name."""
    return default_entries()[message_id].replace("%s", name)


def prefix_processes(wine, needle):
    """Ids of this prefix's wine processes whose command line holds `needle` (any case)."""
    found = []
    wanted = f"WINEPREFIX={wine.prefix}".encode()
    # Another mount namespace may hold another tree under the same path (the fault runner's copy).
    namespace = os.readlink("/proc/self/ns/mnt")
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            if os.readlink(entry / "ns" / "mnt") == namespace and needle.lower() in cmdline.lower() \
                    and wanted in (entry / "environ").read_bytes().split(b"\0"):
                found.append(int(entry.name))
        except OSError:
            continue
    return found


class ServiceLog:
    """The eventlog channel of every process wine's services.exe starts."""

    def __init__(self, wine):
        self.wine = wine
        self.path = wine.prefix.parent / "services-eventlog.log"

    def _logging(self):
        """True when this prefix's services.exe writes to the log with the eventlog channel."""
        for pid in prefix_processes(self.wine, "services.exe"):
            try:
                target = os.readlink(f"/proc/{pid}/fd/2")
                environ = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
            except OSError:
                continue
            if target == str(self.path) and f"WINEDEBUG={LOG_CHANNELS}".encode() in environ:
                return True
        return False

    def ensure(self):
        if self._logging():
            return
        started = time.monotonic()
        env = self.wine.env()
        quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
        subprocess.run([self.wine.wineserver, "-k"], env=env, timeout=60, **quiet)
        subprocess.run([self.wine.wineserver, "-w"], env=env, timeout=60, **quiet)
        subprocess.run([self.wine.wineserver, "-p"], env=env, timeout=60, check=True, **quiet)
        # Appended to, so lines written by an earlier session land after its own, not in a hole.
        with open(self.path, "ab") as log:
            # The first process of the session starts services.exe, which gets its
            # environment and stderr; it stays until the fixture's cleanup, as setup's does.
            subprocess.Popen([self.wine.wine64, "timeout", "/t", "86400", "/nobreak"],
                             env=self.wine.env(LOG_CHANNELS), start_new_session=True,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
        until(self._logging, 60, "services.exe with the event-log channel")
        # The manager answers once its pipe is up.
        until(lambda: self.wine.tool(["sc", "query", "eventlog"])[0] == 0, 60, "an answer of the service manager")
        print(f"services.exe restarted with its event log in {self.path} ({time.monotonic() - started:.1f} s)")

    def mark(self):
        return self.path.stat().st_size if self.path.exists() else 0

    def events(self, since):
        """ReportEventW calls logged after `since` (a mark): (type, text) with type
        "information", "warning" or "error"."""
        with open(self.path, "rb") as log:
            log.seek(since)
            data = log.read().decode("utf-8", errors="surrogateescape")
        return event_reports(parse_traces(data.replace("\0", ""))[0])


class Service:
    """The case's test service: its name (one per executable), its launcher copied to a
    Windows path, and the service manager's view of it."""

    def __init__(self, case):
        self.case, self.wine, self.log = case, case.wine, ServiceLog(case.wine)
        self.name, self.exe_name = f"VarnletSvc{case.bits}", f"varnlet-svc{case.bits}.exe"
        self.key, self.source_key = f"{SERVICES_KEY}\\{self.name}", f"{EVENTLOG_KEY}\\{self.name}"
        self.record_path = case.work / "testjvm.record"
        self.exe = self.windows_exe = None  # the installed launcher's Linux and Windows paths

    def launcher(self, entries, directory=None, jvm_script=None):
        """Packs a launcher with `entries` (ServiceName defaults to this service's name),
        copies it as DIRECTORY\\varnlet-svcNN.exe (default C:\\varnlet-svcNN) with
        testjvm.dll and an empty app.jar beside it, and returns its Windows path.
        jvm_script: testjvm settings ("main": "wait=60000", ...) given as -Dtestjvm options,
        since a service does not inherit the test's environment; the double's record goes
        to the scratch directory."""
        config = {"ServiceName": self.name, "JvmPath": "testjvm.dll", "ClassPath": "app.jar",
                  "MainClass": "org.varnlet.wine.ServiceMain", **entries}
        if jvm_script is not None:
            options = [f'"-Dtestjvm.record={self.case.dos_path(self.record_path)}"']
            options += [f'"-Dtestjvm.{key}={value}"' for key, value in jvm_script.items()]
            config["JvmOptions"] = " ".join(options)
        packed = self.case.pack(config, self.case.directory("packed"), name=self.exe_name[:-4])
        directory = directory or f"C:\\varnlet-svc{self.case.bits}"
        self.windows_exe = f"{directory}\\{self.exe_name}"
        self.exe = self.case.copy_to_drive_c(packed, self.windows_exe)
        self.case.copy_to_drive_c(self.case.artifact("testjvm.dll"), f"{directory}\\testjvm.dll")
        self.case.copy_to_drive_c(self.case.write(self.case.work / "packed/app.jar", ""), f"{directory}\\app.jar")
        return self.windows_exe

    def run(self, args, **options):
        """Runs the installed launcher by hand (its Windows path, from drive C:)."""
        return self.case.run(self.exe, args, cwd=self.exe.parent, program=self.windows_exe, **options)

    def record(self):
        return Record(self.record_path)

    def tool(self, *args, timeout=60):
        return self.wine.tool(list(args), timeout=timeout)

    def query(self):
        """`sc query`: {"state", "wait_hint", "exit_code", "service_exit_code"} or None when there is no service."""
        # Wine's sc fails now and then while the manager is busy with another request; its
        # failures print nothing, so the service's key tells whether there is a service.
        for attempt in range(3):
            code, out, _ = self.tool("sc", "query", self.name)
            if code == 0:
                return parse_query(out)
            if self.tool("reg", "query", self.key)[0] != 0:
                return None
            time.sleep(0.2)
        return None

    def wait_for(self, state, seconds):
        until(lambda: (self.query() or {}).get("state") == state, seconds, f"{self.name} in state {state}")

    def processes(self):
        return prefix_processes(self.wine, self.exe_name)

    def wait_for_exit(self, seconds):
        until(lambda: not self.processes(), seconds, f"the end of the service process {self.exe_name}")

    def values(self, key):
        """The values of a registry key as {name: (type, data)}, or None without the key."""
        code, out, _ = self.tool("reg", "query", key)
        return None if code != 0 else {m.group(1): (m.group(2), m.group(3) or "") for m in
                                       re.finditer(r"(?m)^    (\S.*?)    (REG_[A-Z_]+)(?:    (.*))?$", out)}

    def clean(self):
        """No service of this name, no process of its launcher, no event-log source."""
        status = self.query()
        if status and status["state"] != STOPPED and self.processes():
            self.tool("sc", "stop", self.name)
            try:
                self.wait_for_exit(10)
            except Failure:
                pass
        # Whatever a failed run left running: these are the test's own launcher processes.
        for pid in self.processes():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        if status is not None:
            self.tool("sc", "delete", self.name)
        self.tool("reg", "delete", self.source_key, "/f")
        expect(self.query() is None, f"service {self.name} could not be deleted")


def until(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not within {seconds} s")
        time.sleep(0.2)


def parse_query(text):
    fields = dict(re.findall(r"(?m)^[ \t]*([A-Z_0-9]+)[ \t]*:[ \t]*(\S+)", text))
    expect("STATE" in fields, f"sc query output without a state: {text!r}")
    return {"state": int(fields["STATE"]), "wait_hint": int(fields.get("WAIT_HINT", "0"), 16),
            "exit_code": int(fields.get("WIN32_EXIT_CODE", "0")),
            "service_exit_code": int(fields.get("SERVICE_EXIT_CODE", "0"))}


def service_scenario(function=None, *, started_by_manager=False):
    """A scenario with the test service: skipped for an executable this machine cannot run
    (or, with `started_by_manager`, one that wine's services.exe cannot start as its child);
    the event log is made readable, and the service and its event-log source are gone
    before and after the scenario."""
    if function is None:
        return lambda f: service_scenario(f, started_by_manager=started_by_manager)

    @functools.wraps(function)
    def scenario(case):
        problem = case.wine.child_processes_problem(case.bits) if started_by_manager else None
        if problem:
            raise Skip(f"the service manager cannot start this launcher: {problem}")
        service = Service(case)
        service.log.ensure()
        service.clean()
        try:
            function(case, service)
        finally:
            service.clean()
    return scenario

