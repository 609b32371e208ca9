"""The launcher as a service of wine's own service control manager, with testjvm.dll as the JVM.
Wine's `sc qc` prints nothing: the configuration is read from the service's registry key (wine
refuses delayed start and the failure-actions flag: the unit tier shows those). The event log
is what the service processes traced on wine's eventlog channel (see winerun.setup). A service
does not inherit the test's environment: the double's settings reach it as -Dtestjvm options."""
import contextlib
import functools
import os
import re
import signal
import time

from winerun import MESSAGES, Failure, Record, event_reports, expect, expect_eq, setup, split_traces, until

SWITCH = "-startlauncherinservicemode"
SERVICES = r"HKLM\SYSTEM\CurrentControlSet\Services"
STOPPED, STOP_PENDING, RUNNING = 1, 3, 4
STOPPER = "Varnlet stopper thread"
BLANKS = "C:\\Program Files\\Varnlet Svc"

def parse_query(text):
    fields = dict(re.findall(r"(?m)^[ \t]*([A-Z_0-9]+)[ \t]*:[ \t]*(\S+)", text))
    expect("STATE" in fields, f"sc query printed no state: {text!r}")
    return {"state": int(fields["STATE"]), "wait_hint": int(fields.get("WAIT_HINT", "0"), 16),
            "exit_codes": (int(fields.get("WIN32_EXIT_CODE", "0")), int(fields.get("SERVICE_EXIT_CODE", "0")))}

class Service:
    """The case's test service (a name per executable), its launcher and the manager's view of it."""

    def __init__(self, case):
        self.case, self.wine, self.log = case, case.wine, case.wine.event_log
        self.name, self.exe_name = f"VarnletSvc{case.bits}", f"varnlet-svc{case.bits}.exe"
        self.key, self.source = f"{SERVICES}\\{self.name}", f"{SERVICES}\\EventLog\\Application\\{self.name}"
        self.record_path = case.work / "testjvm.record"

    def message(self, name):
        return MESSAGES[name].replace("%s", self.name)

    def launcher(self, entries, directory=None, jvm_script=None):
        """Packs a launcher beside testjvm.dll, scripted by `jvm_script`; returns its Windows path."""
        if jvm_script is not None:
            script = {"record": self.case.dos_path(self.record_path), **jvm_script}
            entries = {"JvmOptions": " ".join(f'"-Dtestjvm.{key}={value}"' for key, value in script.items()), **entries}
        directory = directory or f"C:\\varnlet-svc{self.case.bits}"
        self.exe = self.case.app(self.case.drive_c(directory), self.exe_name[:-4], ServiceName=self.name, **entries)
        self.windows_exe = f"{directory}\\{self.exe_name}"
        return self.windows_exe

    def run(self, args, **options):
        return self.case.run(self.exe, args, cwd=self.exe.parent, program=self.windows_exe, **options)

    def control(self, verb):
        code, out, err = self.wine.tool(["sc", verb, self.name])
        expect(code == 0, f"sc {verb} {self.name} failed ({code}): {out}{err}")
        return out

    def query(self):
        """The status `sc query` prints, or None when there is no service."""
        # Wine's sc fails now and then while the manager is busy, printing nothing: the
        # service's key tells whether there is a service.
        for _ in range(3):
            code, out, _ = self.wine.tool(["sc", "query", self.name])
            if code == 0 or self.wine.tool(["reg", "query", self.key])[0] != 0:
                return parse_query(out) if code == 0 else None
            time.sleep(0.2)

    def wait_for(self, state, seconds):
        until(lambda: (self.query() or {}).get("state") == state, seconds, f"{self.name} in state {state}")

    def wait_for_exit(self, seconds):
        until(lambda: not self.wine.processes(self.exe_name), seconds, f"the end of {self.exe_name}")

    def values(self, key):
        """A registry key's values as {name: (type, data)}, or None without the key."""
        code, out, _ = self.wine.tool(["reg", "query", key])
        return None if code else {m[1]: (m[2], m[3] or "") for m in re.finditer(r"(?m)^    (\S.*?)    (REG_[A-Z_]+)(?:    (.*))?$", out)}

    def events(self, since):
        """What the service processes gave the event log after `since`, a size of the log."""
        with open(self.log, "rb") as log:
            log.seek(since)
            return event_reports(split_traces(log.read().decode("utf-8", "surrogateescape").replace("\0", ""))[0])

    def clean(self):
        """No service of this name, no process of its launcher, no event-log source."""
        status = self.query()
        if status and status["state"] != STOPPED and self.wine.processes(self.exe_name):
            self.wine.tool(["sc", "stop", self.name])
            with contextlib.suppress(Failure):
                self.wait_for_exit(10)
        for pid in self.wine.processes(self.exe_name):  # what a failed run left: the test's own processes
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGKILL)
        if status is not None:
            self.wine.tool(["sc", "delete", self.name])
        self.wine.tool(["reg", "delete", self.source, "/f"])
        expect(self.query() is None, f"service {self.name} could not be deleted")

def service_scenario(function):
    """A scenario with the test service, which is gone before and after it."""
    @functools.wraps(function)
    def scenario(case):
        service = Service(case)
        service.clean()
        try:
            function(case, service)
        finally:
            service.clean()
    return scenario

def start(service, running=True):
    """Starts the service; returns once it runs (a service that ends at once may never be seen so)."""
    service.control("start")
    if running:
        service.wait_for(RUNNING, 20)

def wait_for_record(service, event):
    until(lambda: Record(service.record_path).all(event), 20, f"a {event!r} event in the record")
    return Record(service.record_path)

def expect_stopped(service, exit_codes):
    """The service stops with (WIN32_EXIT_CODE, SERVICE_EXIT_CODE) and its process ends."""
    service.wait_for(STOPPED, 30)
    service.wait_for_exit(10)
    expect_eq(service.query()["exit_codes"], exit_codes, "exit codes")

@service_scenario
def scenario_switches(case, service):
    """The console switch, -install, the service switch started by hand, a second -install and
    -uninstall (wine delivers no Ctrl+C without a terminal: the unit tier stops the console run)."""
    entries = {"ServiceConsoleSwitch": "-console", "ServiceStartOptions": "start", "ServiceDescription": "Varnlet test",
               "ServiceDependencies": ["Tcpip", "EventLog"], "ServiceAccount": "nt service\\" + service.name.lower()}
    exe = service.launcher(entries, jvm_script={})
    run = service.run(["-console"], record=service.record_path)
    run.expect(0, f"{service.message('MsgServiceStarted')}\n{service.message('MsgServiceStopped')}\n")
    expect_eq(([main[3:] for main in run.record.all("main")], service.query()), ([["start"]], None), "main's arguments")

    service.run(["-install"]).expect(0, service.message("MsgServiceInstalled") + "\n", "")
    expected = {"ImagePath": ("REG_SZ", f'"{exe}" {SWITCH}'), "DisplayName": ("REG_SZ", service.name),
                "Type": ("REG_DWORD", "0x10"), "Start": ("REG_DWORD", "0x2"),
                "Description": ("REG_SZ", "Varnlet test"), "DependOnService": ("REG_MULTI_SZ", "Tcpip\\0EventLog"),
                "ObjectName": ("REG_SZ", "NT SERVICE\\" + service.name)}
    values = service.values(service.key) or {}
    expect_eq({name: values.get(name) for name in expected}, expected, "service key")
    setup()  # a new wineserver: the manager reads its database again, and must not skip the service
    expect_eq((service.values(service.key) or {}).get("Description"), expected["Description"], "description, restarted")
    expect(service.query() is not None, "the service is lost once the manager reads its database again")
    source = {"EventMessageFile": ("REG_EXPAND_SZ", exe), "TypesSupported": ("REG_DWORD", "0x7")}
    expect_eq(service.values(service.source), source, "event-log source key")
    run = service.run([SWITCH], trace="+eventlog", record=service.record_path)
    run.expect(0, "", "")
    expect(not run.record.exists, "a start by hand created the JVM")
    # Wine's text for ERROR_FAILED_SERVICE_CONTROLLER_CONNECT (1063).
    expect_eq((event_reports(run.traces), service.query()["state"]),
              ([("error", "Service controller connect failed.\r\n")], STOPPED), "event log, state of the service")

    service.launcher(entries, jvm_script={"main": "throw"})
    run = service.run(["-console"])
    expect(run.code == 2 and service.message("MsgServiceFailed") in run.stderr, f"exit code {run.code}, stderr {run.stderr!r}")
    # Wine hands its Linux parent the exit code's low byte: ERROR_SERVICE_EXISTS, ERROR_SERVICE_DOES_NOT_EXIST.
    service.run(["-install"]).expect(1073 & 0xFF, "", service.message("MsgServiceExists") + "\n")
    service.run(["-uninstall"]).expect(0, service.message("MsgServiceUninstalled") + "\n", "")
    expect(service.query() is None, "the service is still there after -uninstall")
    # The system's text brings its own CR LF, which the C runtime's text mode writes as CR CR LF.
    service.run(["-uninstall"]).expect(1060 & 0xFF, "", "Service does not exist.\r\n\n")
    expect_eq(service.values(service.source), source, "event-log source key after the removal")

@service_scenario
def scenario_uninstall_stops_the_running_service(case, service):
    """-uninstall stops a running service first and ends with 0 once it is gone: it can be installed again."""
    service.launcher({"ServiceStartOptions": "start", "ServiceStopOptions": "stop"}, jvm_script={"main": "wait=60000"})
    service.run(["-install"]).expect(0, service.message("MsgServiceInstalled") + "\n", "")
    start(service)
    wait_for_record(service, "main")
    service.run(["-uninstall"]).expect(0, service.message("MsgServiceUninstalled") + "\n", "")
    expect(service.query() is None, "the service is still there after -uninstall")
    service.wait_for_exit(10)
    expect_eq([main[0] for main in Record(service.record_path).all("main")], ["main", STOPPER], "main calls")
    service.run(["-install"]).expect(0, service.message("MsgServiceInstalled") + "\n", "")

@service_scenario
def scenario_ends(case, service):
    """sc start and sc stop from a path with blanks, by a second main and by System.exit (then
    again at once), and the ends by a throwing main and a failed creation. The streams go to
    CONOUT$, which opens only in a process that has a console."""
    service.launcher({"ServiceStartOptions": "start one", "ServiceStopOptions": "stop now",
                      "AppOptions": "not-for-services"}, directory=BLANKS, jvm_script={"main": "wait=60000"})
    service.run(["-install"]).expect(0, service.message("MsgServiceInstalled") + "\n", "")
    mark = service.log.stat().st_size
    start(service)
    record = wait_for_record(service, "main")
    expect_eq((record.all("fileoutputstream"), record.all("stream"), record.all("main-end")),
              ([["CONOUT$", "truncate"]] * 2, [["setOut", "CONOUT$", "main"], ["setErr", "CONOUT$", "main"]], []),
              "streams opened and set, before the stop")
    service.control("stop")
    expect_stopped(service, (0, 0))
    expect_eq([(main[0], main[3:]) for main in Record(service.record_path).all("main")],
              [("main", ["start", "one"]), (STOPPER, ["stop", "now"])], "main calls (thread, arguments)")

    service.launcher({"ServiceStopOptions": "never used", "ServiceStopByExit": True}, directory=BLANKS, jvm_script={"main": "wait=60000"})
    service.record_path.unlink()
    for runs in (1, 2):
        start(service)
        expect_eq(len(wait_for_record(service, "main").all("create")), runs, "JVMs created")
        service.control("stop")  # its status may already be the stopped one
        service.wait_for_exit(20)
        record = Record(service.record_path)
        expect_eq((record.all("attach"), record.all("exit"), [main[0] for main in record.all("main")],
                   record.all("main-end"), service.query()["state"], service.query()["exit_codes"][0]),
                  ([[STOPPER]] * runs, [["0", STOPPER]] * runs, ["main"] * runs, [], STOPPED, 0),
                  "stoppers attached, System.exit calls, main calls, main ends, state, exit code")
    expect_eq(service.events(mark), [("information", service.message("MsgServiceStarted")),
                                     ("information", service.message("MsgServiceStopped"))] * 3, "event log")

    service.launcher({}, directory=BLANKS, jvm_script={"main": "throw"})
    start(service, running=False)
    expect_stopped(service, (1066, 2))
    service.launcher({}, directory=BLANKS, jvm_script={"create": "-6"})
    mark = service.log.stat().st_size
    start(service, running=False)
    expect_stopped(service, (1066, 1))
    expect_eq(service.events(mark), [("information", service.message("MsgServiceStarted")), ("error", "Unable to create JVM instance "
              "using testjvm.dll"), ("error", service.message("MsgServiceFailed"))], "event log after a failed creation")

    # The JVM's native output lands in the service's file beside the application's lines.
    service.launcher({"SystemOutFile": "svc.log", "SystemErrFile": "SVC.log"}, directory=BLANKS, jvm_script={"main": "native"})
    start(service, running=False)
    expect_stopped(service, (0, 0))
    expect_eq((service.exe.parent / "svc.log").read_bytes(), b"testjvm main: out\ntestjvm native: out\r\n"
              b"testjvm native: err\ntestjvm main: err\ntestjvm native: after\r\n", "the service's log")

@service_scenario
def scenario_ignored_stop_times_out(case, service):
    """ServiceStopTimeout 5 honoured: the process ends although an application thread runs. The end
    is told by 1696 when both main calls have returned by then, else by 1712."""
    service.launcher({"ServiceStopTimeout": 5, "ServiceStartOptions": "start", "ServiceStopOptions": "stop"},
                     jvm_script={"main": "linger=110000", "destroy_timeout": "110000"})
    service.run(["-install"]).expect(0, service.message("MsgServiceInstalled") + "\n", "")
    mark = service.log.stat().st_size
    start(service)
    wait_for_record(service, "linger-start")
    sent = time.monotonic()
    status = parse_query(service.control("stop"))
    expect_eq((status["state"], status["wait_hint"]), (STOP_PENDING, 15000), "state and wait hint after the stop")
    expect_stopped(service, (1066, 3))
    expect(4 <= time.monotonic() - sent < 15, f"stopped {time.monotonic() - sent:.1f} s after the stop control")
    events = service.events(mark)
    started, stopped, failed = (service.message(m) for m in ("MsgServiceStarted", "MsgServiceStopped", "MsgServiceFailed"))
    expect(events[:2] == [("information", started), ("error", service.message("MsgServiceTimeout"))] and
           events[2:] in ([("information", stopped)], [("error", failed)]), events)
    record = Record(service.record_path)
    expect_eq(([main[0] for main in record.all("main")], record.all("linger-end")),
              (["main", STOPPER], []), "main calls, the lingering thread's end")
