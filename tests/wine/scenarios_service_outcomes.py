"""Wine scenarios of what operators rely on in a service: the settings -install writes, the
exit codes of the final stopped status and a configured stop time-out. Wine's service
manager refuses delayed start and the failure-actions flag ("Invalid level"), and its `sc`
has no qc or qfailure, so those settings are shown by the unit tier's fake manager."""
import re
import time

from service_support import STOPPED, service_message, service_scenario
from scenarios_service import install, start, stop, wait_for_record
from winerun import expect, expect_eq


def exit_codes(service):
    """(WIN32_EXIT_CODE, SERVICE_EXIT_CODE) as `sc query` prints them."""
    _, out, _ = service.tool("sc", "query", service.name)
    fields = dict(re.findall(r"([A-Z_0-9]+)\s*:\s*(\S+)", out))
    return int(fields.get("WIN32_EXIT_CODE", "-1")), int(fields.get("SERVICE_EXIT_CODE", "-1"))


@service_scenario
def scenario_install_settings(case, service):
    """Dependencies, a built-in account and the virtual account reach the service manager."""
    service.launcher({"ServiceDependencies": ["Tcpip", "EventLog"], "ServiceAccount": "NetworkService"})
    install(service)
    values = service.values(service.key)
    expect_eq((values.get("DependOnService"), values.get("ObjectName")),
              (("REG_MULTI_SZ", "Tcpip\\0EventLog"), ("REG_SZ", "NT AUTHORITY\\NetworkService")), "service key")
    service.tool("sc", "delete", service.name)
    service.launcher({"ServiceAccount": "nt service\\" + service.name.lower()})
    install(service)
    expect_eq(service.values(service.key).get("ObjectName"), ("REG_SZ", "NT SERVICE\\" + service.name),
              "virtual account")


@service_scenario(started_by_manager=True)
def scenario_exit_codes(case, service):
    """main throws: STOPPED with 1066 / 2 (JVM creation failing and System.exit are in
    scenarios_service)."""
    service.launcher({}, jvm_script={"main": "throw"})
    install(service)
    start(service, running=False)
    service.wait_for(STOPPED, 20)
    service.wait_for_exit(10)
    expect_eq(exit_codes(service), (1066, 2), "exit codes after main threw")


@service_scenario(started_by_manager=True)
def scenario_stop_timeout(case, service):
    """ServiceStopTimeout 5: the wait hint is 15000 ms, 1728 comes about 5 s after the stop,
    and the service stops with 1066 / 3."""
    service.launcher({"ServiceStopTimeout": 5, "ServiceStopOptions": "stop"},
                     jvm_script={"main": "linger=110000", "destroy_timeout": "110000"})
    install(service)
    mark = service.log.mark()
    start(service)
    wait_for_record(service, "linger-start")
    sent = time.monotonic()
    status = stop(service)
    expect_eq(status["wait_hint"], 15000, "wait hint")
    service.wait_for(STOPPED, 30)
    elapsed = time.monotonic() - sent
    expect(4 <= elapsed < 15, f"stopped {elapsed:.1f} s after the stop control")
    expect_eq(exit_codes(service), (1066, 3), "exit codes of a forced stop")
    expect_eq(service.log.events(mark)[1], ("error", service_message(1728, service.name)), "time-out report")


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
