"""Wine scenarios of the launcher as a Windows service, against wine's own service control
manager: what -install and -uninstall write, a start by hand and in the console, and service
runs with testjvm.dll as the JVM started by `sc start`, stopped by a second main, by
System.exit or by the time-out, and failing. Wine's `sc qc` prints nothing, so the
configuration is read from the service's registry key; the event log is the eventlog debug
channel of the service process (service_support.ServiceLog); the double's settings reach a
service process as -Dtestjvm options, since it does not inherit the test's environment.
Wine refuses delayed start and the failure-actions flag, so the unit tier shows those.
"""
import time

from service_support import (RUNNING, SERVICE_SWITCH, STOP_PENDING, STOP_WAIT_HINT, STOPPED, parse_query,
                             service_message, service_scenario, until)
from winerun import expect, expect_eq

STOPPER = "Varnlet stopper thread"
BLANKS_DIRECTORY = "C:\\Program Files\\Varnlet Svc"


def install(service):
    run = service.run(["-install"])
    run.expect_exit(0)
    run.expect_lines("stdout", [service_message(1632, service.name)])
    run.expect_lines("stderr", [])
    return run


def control(service, verb):
    """`sc start` or `sc stop`: what it printed."""
    code, out, err = service.tool("sc", verb, service.name)
    expect(code == 0, f"sc {verb} {service.name} failed ({code}): {out}{err}")
    return out


def start(service, running=True):
    """Starts the service; returns once it runs (a service that ends at once may not)."""
    control(service, "start")
    if running:
        service.wait_for(RUNNING, 20)


def wait_for_record(service, event):
    until(lambda: service.record().all(event), 20, f"a {event!r} event in the record")
    return service.record()


def expect_service_start(record, arguments):
    """The JVM was created with a console: System.out and System.err were set to print
    streams on CONOUT$ (which opens only in a process that has a console), then main ran
    with `arguments` on the creating thread."""
    expect_eq(record.all("fileoutputstream"), [["CONOUT$", "truncate"], ["CONOUT$", "truncate"]],
              "streams opened")
    expect_eq(record.all("stream"), [["setOut", "CONOUT$", "main"], ["setErr", "CONOUT$", "main"]],
              "Java streams")
    calls = record.all("main")
    expect(calls, f"main was not called:\n{record.text()}")
    thread, _, _, count, *args = calls[0]
    expect_eq((thread, args), ("main", arguments), "first main call (thread, arguments)")


def expect_stop_pending(status, hint=STOP_WAIT_HINT, may_be_over=False):
    """The status the stop control returned. An application that ends its stop at once may
    already have reported STOPPED by then (may_be_over)."""
    if may_be_over and status["state"] == STOPPED:
        return
    expect_eq((status["state"], status["wait_hint"]), (STOP_PENDING, hint), "state and wait hint after the stop")


def expect_stopped(service, exit_codes):
    """The service stops with (WIN32_EXIT_CODE, SERVICE_EXIT_CODE) and its process ends."""
    service.wait_for(STOPPED, 30)
    service.wait_for_exit(10)
    status = service.query()
    expect_eq((status["exit_code"], status["service_exit_code"]), exit_codes, "exit codes")


@service_scenario
def scenario_install_and_uninstall(case, service):
    """-install writes the service key (quoted path and the service switch, own process, auto
    start, display name, description, dependencies, account) and the event-log source, says
    so and runs nothing; a second -install changes nothing and says so on stderr; -uninstall
    removes the service but not the source, a second one prints the system's text. From a
    path with blanks with ServiceManualStart: demand start, the path quoted, no Description."""
    exe = service.launcher({"ServiceDescription": "Varnlet service test", "ServiceAccount": "NetworkService",
                            "ServiceDependencies": ["Tcpip", "EventLog"]})
    install(service)
    expected = {"ImagePath": ("REG_SZ", f'"{exe}" {SERVICE_SWITCH}'), "DisplayName": ("REG_SZ", service.name),
                "Type": ("REG_DWORD", "0x10"), "Start": ("REG_DWORD", "0x2"),
                "Description": ("REG_EXPAND_SZ", "Varnlet service test"),
                "DependOnService": ("REG_MULTI_SZ", "Tcpip\\0EventLog"),
                "ObjectName": ("REG_SZ", "NT AUTHORITY\\NetworkService")}
    values = service.values(service.key) or {}
    expect_eq({name: values.get(name) for name in expected}, expected, "service key")
    source = {"EventMessageFile": ("REG_EXPAND_SZ", exe), "TypesSupported": ("REG_DWORD", "0x7")}
    expect_eq(service.values(service.source_key), source, "event-log source key")
    expect(service.query()["state"] == STOPPED and not service.processes(), "-install ran the service")
    before = service.values(service.key)
    service.launcher({"ServiceDescription": "second", "ServiceManualStart": True})
    run = service.run(["-install"])
    expect_eq((run.code, run.stdout, run.stderr), (0, "", service_message(1664, service.name) + "\n"), "again")
    expect_eq((service.values(service.key), service.values(service.source_key)), (before, source), "keys")

    run = service.run(["-uninstall"])
    expect_eq((run.code, run.stdout, run.stderr), (0, service_message(1648, service.name) + "\n", ""), "-uninstall")
    expect(service.query() is None, "the service is still there after -uninstall")
    run = service.run(["-uninstall"])
    # The system's text brings its own CR LF, which the C runtime's text mode writes as CR CR LF.
    expect_eq((run.code, run.stdout, [line.rstrip("\r") for line in run.stderr.split("\n")]),
              (0, "", ["Service does not exist.", "", ""]), "second -uninstall")
    expect_eq(service.values(service.source_key), source, "event-log source key after removal")

    exe = service.launcher({"ServiceManualStart": True, "ServiceAccount": "nt service\\" + service.name.lower()},
                           directory=BLANKS_DIRECTORY)
    install(service)
    values = service.values(service.key)
    expect_eq([values.get(name) for name in ("ImagePath", "Start", "Description", "ObjectName")],
              [("REG_SZ", f'"{exe}" {SERVICE_SWITCH}'), ("REG_DWORD", "0x3"), None,
               ("REG_SZ", "NT SERVICE\\" + service.name)], "ImagePath, Start, Description, virtual account")
    expect_eq(service.values(service.source_key).get("EventMessageFile"), ("REG_EXPAND_SZ", exe), "message file")


@service_scenario
def scenario_started_by_hand(case, service):
    """The service switch outside the service manager: nothing on stdout or stderr, no
    JVM, the dispatcher's error text in the event log, exit 0."""
    service.launcher({}, jvm_script={})
    install(service)
    run = service.run([SERVICE_SWITCH], trace="+eventlog", record=service.record_path)
    run.expect_exit(0)
    run.expect_lines("stdout", [])
    run.expect_lines("stderr", [])
    expect(not run.record.exists, "the JVM was created by a start by hand")
    # Wine's text for ERROR_FAILED_SERVICE_CONTROLLER_CONNECT (1063).
    expect_eq(run.events(), [("error", "Service controller connect failed.\r\n")], "event log")
    expect_eq(service.query()["state"], STOPPED, "the installed service's state")


@service_scenario(started_by_manager=True)
def scenario_full_run_stop_by_second_main(case, service):
    """From a path with blanks, sc start: main gets ServiceStartOptions with the streams on
    the console; sc stop: STOP_PENDING with the 40000 ms hint, main again with
    ServiceStopOptions on the "Varnlet stopper thread", STOPPED with 0 / 0; 1680 then 1696."""
    service.launcher({"ServiceStartOptions": "start one", "ServiceStopOptions": "stop now",
                      "AppOptions": "not-for-services"}, directory=BLANKS_DIRECTORY,
                     jvm_script={"main": "wait=60000"})
    install(service)
    mark = service.log.mark()
    start(service)
    record = wait_for_record(service, "main")
    expect_service_start(record, ["start", "one"])
    expect(not record.all("main-end"), f"main ended before the stop:\n{record.text()}")

    expect_stop_pending(parse_query(control(service, "stop")), may_be_over=True)
    expect_stopped(service, (0, 0))
    record = service.record()
    expect_eq([(call[0], call[4:]) for call in record.all("main")],
              [("main", ["start", "one"]), (STOPPER, ["stop", "now"])], "main calls (thread, arguments)")
    expect_eq(record.one("main-stopped"), ["main"], "the waiting main released by the stop")
    expect_eq(service.log.events(mark), [("information", service_message(1680, service.name)),
                                         ("information", service_message(1696, service.name))], "event log")


@service_scenario(started_by_manager=True)
def scenario_stop_by_exit(case, service):
    """ServiceStopByExit: the stopper thread calls System.exit(0) instead of a second main;
    the JVM's exit hook logs 1696 and reports STOPPED before the process ends, and the
    service starts again at once."""
    service.launcher({"ServiceStartOptions": "start", "ServiceStopOptions": "never used",
                      "ServiceStopByExit": True}, jvm_script={"main": "wait=60000"})
    install(service)
    mark = service.log.mark()
    for run in (1, 2):
        start(service)
        record = wait_for_record(service, "main")
        expect_eq(len(record.all("create")), run, "JVMs created")
        control(service, "stop")  # its status may already be the stopped one
        service.wait_for_exit(20)
        record = service.record()
        expect_eq([line[-1] for line in record.all("attach")], [STOPPER] * run, "names of the attached stoppers")
        expect_eq(record.all("exit"), [["0", STOPPER]] * run, "System.exit calls (status, thread)")
        expect_eq([call[0] for call in record.all("main")], ["main"] * run, "main calls")
        expect(not record.all("main-end"), f"main returned although the process exited:\n{record.text()}")
        status = service.query()
        expect_eq((status["state"], status["exit_code"]), (STOPPED, 0), "state and exit code after the exit")
    expect_eq(service.log.events(mark), [("information", service_message(1680, service.name)),
                                         ("information", service_message(1696, service.name))] * 2, "event log")


@service_scenario(started_by_manager=True)
def scenario_ignored_stop_times_out(case, service):
    """An application that ignores the stop, ServiceStopTimeout 5: STOP_PENDING with the
    15000 ms hint, 1728 about 5 s after the control, then 1696 (both main calls returned) or
    1712, STOPPED with 1066 / 3, and the process ends although an application thread runs."""
    service.launcher({"ServiceStopTimeout": 5, "ServiceStartOptions": "start", "ServiceStopOptions": "stop"},
                     jvm_script={"main": "linger=110000", "destroy_timeout": "110000"})
    install(service)
    mark = service.log.mark()
    start(service)
    wait_for_record(service, "linger-start")
    sent = time.monotonic()
    expect_stop_pending(parse_query(control(service, "stop")), 15000)
    expect_stopped(service, (1066, 3))
    elapsed = time.monotonic() - sent
    expect(4 <= elapsed < 15, f"stopped {elapsed:.1f} s after the stop control")
    events = service.log.events(mark)
    expect_eq(events[:2], [("information", service_message(1680, service.name)),
                           ("error", service_message(1728, service.name))], "event log up to the time-out")
    expect(events[2:] in ([("information", service_message(1696, service.name))],
                          [("error", service_message(1712, service.name))]), f"event log after it: {events[2:]}")
    record = service.record()
    expect_eq([call[0] for call in record.all("main")], ["main", STOPPER], "main calls")
    expect(not record.all("linger-end"), "the lingering application thread ended by itself")


@service_scenario(started_by_manager=True)
def scenario_failures(case, service):
    """main throws: STOPPED with 1066 / 2. JNI_CreateJavaVM failing: 1680, the creation error,
    1712, STOPPED with 1066; a JvmPath naming a file that is no DLL: 1680, the system's text
    and 1488, 1712."""
    service.launcher({}, jvm_script={"main": "throw"})
    install(service)
    start(service, running=False)
    expect_stopped(service, (1066, 2))
    service.launcher({}, jvm_script={"create": "-6"})
    mark = service.log.mark()
    start(service, running=False)
    expect_stopped(service, (1066, 1))
    expect_eq(service.record().one("create-failed"), ["-6"], "scripted creation result")
    started = ("information", service_message(1680, service.name))
    failed = ("error", service_message(1712, service.name))
    expect_eq(service.log.events(mark), [started, ("error", "Unable to create JVM instance using testjvm.dll"), failed],
              "event log")

    service.exe.parent.joinpath("testjvm.dll").write_bytes(b"MZ this is no library\n")
    mark = service.log.mark()
    start(service, running=False)
    expect_stopped(service, (1066, 1))
    events = service.log.events(mark)
    expect(len(events) >= 4 and events[0] == started and events[-1] == failed
           and events[-2] == ("error", "Unable to load JVM: testjvm.dll")
           and all(kind == "error" and text.strip() for kind, text in events[1:-2]),
           f"event log for a library that does not load: {events}")


@service_scenario
def scenario_console_switch(case, service):
    """The console switch runs the service in the console and its streams, installing
    nothing: 1680, main with the start options, 1696, exit 0; a main that throws: 1712 and
    exit code 2. (Wine delivers no Ctrl+C without a terminal: the unit tier stops it.)"""
    service.launcher({"ServiceConsoleSwitch": "-console", "ServiceStartOptions": "start"}, jvm_script={})
    run = service.run(["-console"], record=service.record_path)
    run.expect_exit(0)
    expect_eq([call[4:] for call in run.record.all("main")], [["start"]], "main's arguments")
    run.expect_lines("stdout", [service_message(1680, service.name), service_message(1696, service.name)])
    service.launcher({"ServiceConsoleSwitch": "-console"}, jvm_script={"main": "throw"})
    run = service.run(["-console"])
    run.expect_exit(2)
    expect(service_message(1712, service.name) in run.stderr and service.query() is None, run.stderr)
