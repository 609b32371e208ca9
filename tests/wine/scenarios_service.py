"""Wine scenarios of the launcher as a Windows service, against wine's own service control
manager: installing and removing it, a start by hand, and full service runs with testjvm.dll as the JVM (started with `sc start`
or `net start`, stopped by a second main, by System.exit, by the 30-second time-out) and
a JVM that cannot be created.

Wine's `sc qc` prints nothing, so the service's configuration is read from its registry
key. The event log is the eventlog debug channel of the service process, which
service_support.ServiceLog collects; the double's settings reach a service process as
-Dtestjvm options, since it does not inherit the test's environment.
"""
import time

# service_support first: it makes "winerun" the running harness, whose Failure and Skip count.
from service_support import (RUNNING, SERVICE_SWITCH, STOP_PENDING, STOP_WAIT_HINT, STOPPED, parse_query,
                             service_message, service_scenario)
from winerun import Failure, expect, expect_eq

STOPPER = "Varnlet stopper thread"


def install(service):
    run = service.run(["-install"])
    run.expect_exit(0)
    run.expect_lines("stdout", [service_message(1632, service.name)])
    run.expect_lines("stderr", [])
    return run


def start(service, how="sc", running=True):
    """Starts the service with `sc start` or `net start`; returns once it runs (when
    `running`; a service that ends at once may already be stopped)."""
    code, out, err = service.tool(how, "start", service.name)
    expect(code == 0, f"{how} start {service.name} failed ({code}): {out}{err}")
    if running:
        service.wait_for(RUNNING, 20)


def stop(service, how="sc"):
    """Sends the stop control; returns the status `sc stop` printed (None for `net stop`)."""
    code, out, err = service.tool(how, "stop", service.name)
    expect(code == 0, f"{how} stop {service.name} failed ({code}): {out}{err}")
    return parse_query(out) if how == "sc" else None


def wait_for_record(service, event, seconds=20):
    deadline = time.monotonic() + seconds
    while True:
        record = service.record()
        if record.all(event):
            return record
        if time.monotonic() > deadline:
            raise Failure(f"testjvm record has no {event!r} after {seconds} s:\n{record.text()}")
        time.sleep(0.2)


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


def expect_stop_pending(status):
    expect_eq((status["state"], status["wait_hint"]), (STOP_PENDING, STOP_WAIT_HINT),
              "status after the stop control (state, wait hint)")


@service_scenario
def scenario_install_creates_service(case, service):
    """-install: the service key (quoted path and the service switch, own process, auto
    start, display name = service name, the description), the event-log source (message
    file, types 7), "Service installed: NAME", exit 0; the service is installed, not run."""
    exe = service.launcher({"ServiceDescription": "Varnlet service test"})
    install(service)
    values = service.values(service.key)
    expect(values is not None, f"no key {service.key}")
    expect_eq({name: values.get(name) for name in ("ImagePath", "DisplayName", "Type", "Start", "Description")},
              {"ImagePath": ("REG_SZ", f'"{exe}" {SERVICE_SWITCH}'), "DisplayName": ("REG_SZ", service.name),
               "Type": ("REG_DWORD", "0x10"), "Start": ("REG_DWORD", "0x2"),
               "Description": ("REG_EXPAND_SZ", "Varnlet service test")}, "service key")
    expect_eq(service.values(service.source_key),
              {"EventMessageFile": ("REG_EXPAND_SZ", exe), "TypesSupported": ("REG_DWORD", "0x7")},
              "event-log source key")
    expect_eq(service.query()["state"], STOPPED, "state after -install")
    expect(not service.processes(), "-install left a launcher process")


BLANKS_DIRECTORY = "C:\\Program Files\\Varnlet Svc"


@service_scenario
def scenario_manual_start_path_with_blanks(case, service):
    """ServiceManualStart and a path with blanks: the path stays quoted in the command line
    and bare in the message file, demand start, no Description without ServiceDescription."""
    exe = service.launcher({"ServiceManualStart": True}, directory=BLANKS_DIRECTORY)
    expect(" " in exe, exe)
    install(service)
    values = service.values(service.key)
    expect_eq((values.get("ImagePath"), values.get("Start")),
              (("REG_SZ", f'"{exe}" {SERVICE_SWITCH}'), ("REG_DWORD", "0x3")), "ImagePath and Start")
    expect("Description" not in values, f"Description written without ServiceDescription: {values}")
    expect_eq(service.values(service.source_key).get("EventMessageFile"), ("REG_EXPAND_SZ", exe),
              "EventMessageFile")


@service_scenario(started_by_manager=True)
def scenario_net_start_from_path_with_blanks(case, service):
    """A service installed from a path with blanks starts with `net start`; with
    ServiceStartOptions and ServiceStopOptions empty both main calls receive AppOptions;
    `net stop` ends it: 1680, 1696."""
    service.launcher({"ServiceManualStart": True, "AppOptions": "app-one \"app two\""},
                     directory=BLANKS_DIRECTORY, jvm_script={"main": "wait=60000"})
    install(service)
    mark = service.log.mark()
    start(service, "net")
    expect_service_start(wait_for_record(service, "main"), ["app-one", "app two"])
    stop(service, "net")
    service.wait_for(STOPPED, 20)
    service.wait_for_exit(10)
    record = service.record()
    # ServiceStopOptions is empty too: the stop call also gets AppOptions.
    expect_eq([(call[0], call[4:]) for call in record.all("main")],
              [("main", ["app-one", "app two"]), (STOPPER, ["app-one", "app two"])], "main calls (thread, arguments)")
    expect_eq(service.log.events(mark), [("information", service_message(1680, service.name)),
                                         ("information", service_message(1696, service.name))], "event log")


@service_scenario
def scenario_second_install_and_uninstall_twice(case, service):
    """A second -install changes nothing and says so on stderr; -uninstall removes the
    service; a second -uninstall prints the system's text; the event-log source stays."""
    service.launcher({"ServiceDescription": "first"})
    install(service)
    before = (service.values(service.key), service.values(service.source_key))
    # Another description: a second install that rewrote anything would show it.
    service.launcher({"ServiceDescription": "second", "ServiceManualStart": True})
    run = service.run(["-install"])
    run.expect_exit(0)
    run.expect_lines("stdout", [])
    run.expect_lines("stderr", [service_message(1664, service.name)])
    expect_eq((service.values(service.key), service.values(service.source_key)), before,
              "service and source keys after the second -install")

    run = service.run(["-uninstall"])
    run.expect_exit(0)
    run.expect_lines("stdout", [service_message(1648, service.name)])
    run.expect_lines("stderr", [])
    expect(service.query() is None, "the service is still there after -uninstall")

    run = service.run(["-uninstall"])
    run.expect_exit(0)
    run.expect_lines("stdout", [])
    # The system's text for ERROR_SERVICE_DOES_NOT_EXIST, then an empty line. The text brings
    # its own CR LF, which the C runtime's text mode writes as CR CR LF.
    expect_eq([line.rstrip("\r") for line in run.stderr.split("\n")], ["Service does not exist.", "", ""],
              "stderr of the second -uninstall")
    expect_eq(service.values(service.source_key), before[1], "event-log source key after removal")


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
    """sc start: main gets ServiceStartOptions with the streams on the console; sc stop:
    STOP_PENDING with the 40000 ms hint, main again with ServiceStopOptions on the
    attached "Varnlet stopper thread", the application ends, STOPPED; 1680 then 1696."""
    service.launcher({"ServiceStartOptions": "start one", "ServiceStopOptions": "stop now",
                      "AppOptions": "not-for-services"}, jvm_script={"main": "wait=60000"})
    install(service)
    mark = service.log.mark()
    start(service)
    record = wait_for_record(service, "main")
    expect_service_start(record, ["start", "one"])
    expect(not record.all("main-end"), f"main ended before the stop:\n{record.text()}")

    expect_stop_pending(stop(service))
    service.wait_for(STOPPED, 20)
    service.wait_for_exit(10)
    expect_eq(service.query()["exit_code"], 0, "WIN32_EXIT_CODE")
    record = service.record()
    # A JVM names an attached thread only when the request's version is one it accepts;
    # the double does the same, so the name in the last field is the one Java sees.
    expect_eq(record.one("attach"), ["0x00010002", STOPPER, "<null>", STOPPER], "stopper's attach request")
    calls = record.all("main")
    expect_eq([(call[0], call[4:]) for call in calls], [("main", ["start", "one"]), (STOPPER, ["stop", "now"])],
              "main calls (thread, arguments)")
    expect_eq(record.one("main-stopped"), ["main"], "the waiting main released by the stop")
    expect_eq(sorted(line[0] for line in record.all("detach")), sorted(["main", STOPPER]), "detached threads")
    expect_eq(record.one("destroy"), ["0"], "DestroyJavaVM with no thread left")
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
        stop(service)  # its status may already be the stopped one
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
    """An application that ignores the stop: STOP_PENDING with the 40000 ms hint until,
    30 s after the control, 1728; then 1696 (both main calls returned normally) and
    STOPPED, and the process ends although an application thread still runs."""
    service.launcher({"ServiceStartOptions": "start", "ServiceStopOptions": "stop"},
                     jvm_script={"main": "linger=110000", "destroy_timeout": "110000"})
    install(service)
    mark = service.log.mark()
    start(service)
    wait_for_record(service, "linger-start")
    timeout_text = service_message(1728, service.name)
    sent = time.monotonic()
    expect_stop_pending(stop(service))
    while True:
        # The status first: the time-out is reported before the service reports STOPPED, so
        # a status read before the log can be pending only if the log lacks the time-out.
        status = service.query()
        events = service.log.events(mark)
        elapsed = time.monotonic() - sent
        if ("error", timeout_text) in events:
            break
        expect(elapsed < 40, f"no time-out report 40 s after the stop: {events}")
        expect_stop_pending(status)
        time.sleep(1)
    expect(elapsed >= 29, f"time-out reported {elapsed:.1f} s after the stop")
    service.wait_for(STOPPED, 10)
    service.wait_for_exit(10)
    events = service.log.events(mark)
    expect_eq(events[:2], [("information", service_message(1680, service.name)), ("error", timeout_text)],
              "event log up to the time-out")
    expect(events[2:] in ([("information", service_message(1696, service.name))],
                          [("error", service_message(1712, service.name))]),
           f"event log after the time-out: {events[2:]}")
    record = service.record()
    expect_eq([call[0] for call in record.all("main")], ["main", STOPPER], "main calls")
    expect(not record.all("linger-end"), "the lingering application thread ended by itself")


@service_scenario(started_by_manager=True)
def scenario_jvm_creation_fails(case, service):
    """JNI_CreateJavaVM failing: 1680, the creation error, 1712, STOPPED with exit code 1066;
    a JvmPath naming a file that is no DLL: 1680, the system's text and 1488, 1712."""
    service.launcher({}, jvm_script={"create": "-6"})
    install(service)
    mark = service.log.mark()
    start(service, running=False)
    service.wait_for(STOPPED, 20)
    service.wait_for_exit(10)
    expect_eq(service.query()["exit_code"], 1066, "WIN32_EXIT_CODE")
    expect_eq(service.record().one("create-failed"), ["-6"], "scripted creation result")
    started = ("information", service_message(1680, service.name))
    failed = ("error", service_message(1712, service.name))
    expect_eq(service.log.events(mark), [started, ("error", "Unable to create JVM instance using testjvm.dll"), failed],
              "event log")

    service.exe.parent.joinpath("testjvm.dll").write_bytes(b"MZ this is no library\n")
    mark = service.log.mark()
    start(service, running=False)
    service.wait_for(STOPPED, 20)
    service.wait_for_exit(10)
    events = service.log.events(mark)
    expect(len(events) >= 4 and events[0] == started and events[-1] == failed
           and events[-2] == ("error", "Unable to load JVM: testjvm.dll")
           and all(kind == "error" and text.strip() for kind, text in events[1:-2]),
           f"event log for a library that does not load: {events}")
