"""The Linux launcher as a systemd service with the real JVM: the unit file -install writes into a scratch
root (VARNLET_SYSTEMD_ROOT), and service runs with a test-owned notify socket and stop signals."""
import atexit
import os
import re
import shlex
import shutil
import signal
import socket
import subprocess
import time

import launcher_runs as runs
from launcher_runs import check

SWITCH = "-startlauncherinservicemode"

def verify(unit):
    result = subprocess.run(["systemd-analyze", "verify", unit], capture_output=True, text=True)
    check(result.returncode == 0 and not result.stderr, "systemd-analyze verify: %s\n%s" % (result.stderr, open(unit).read()))

def scratch_root():
    root = os.path.join(runs.ARGS.work, "root")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root + "/etc/systemd/system")
    os.environ["VARNLET_SYSTEMD_ROOT"] = root
    return root, root + "/etc/systemd/system"

def scenario_unit_file_install_and_uninstall():
    root, units = scratch_root()
    unit, wants = units + "/demo-svc.service", units + "/multi-user.target.wants/demo-svc.service"
    # Installed from a directory with a blank, as people do.
    launcher = runs.Launcher("my app", ServiceName="demo-svc", ServiceDescription="Demo service",
                             ServiceRestartDelay=5, ServiceStopTimeout=20)
    run = launcher.run("-install")
    check(run.returncode == 0 and "Service installed: demo-svc" in run.stdout and os.path.islink(wants), "install, enabled", run)
    verify(unit)
    settings = dict(line.split("=", 1) for line in open(unit).read().splitlines() if "=" in line)
    check((settings["Type"], settings["TimeoutStopSec"], settings["Restart"], settings["RestartSec"],
           settings["StartLimitIntervalSec"], settings["WorkingDirectory"]) ==
          ("notify", "30", "on-failure", "5", "0", launcher.app), "unit: %r" % settings)
    for switch, code, text in (("-install", 3, "Service is already installed: demo-svc"), ("-uninstall", 0,
                               "Service uninstalled: demo-svc"), ("-uninstall", 4, "does not exist as an installed service")):
        run = launcher.run(switch)
        check(run.returncode == code and text in run.stdout + run.stderr, switch, run)
    check(not os.path.lexists(unit) and not os.path.lexists(wants), "uninstalled")
    manual = runs.Launcher("manual", ServiceName="demo-manual", ServiceManualStart=True)
    check("Service installed" in manual.run("-install").stdout, "manual install")
    text = open(units + "/demo-manual.service").read()
    check(not os.path.lexists(units + "/multi-user.target.wants/demo-manual.service") and "Restart=" not in text
          and "TimeoutStopSec=40\n" in text, "manual start, no restart: %r" % text)
    run = runs.Launcher("badname", ServiceName="../../../escape").run("-install")
    check(run.returncode == 5 and "not a valid systemd unit name" in run.stderr and sorted(os.listdir(root)) == ["etc"],
          "name refused", run)
    # A unit folder it may not write (as root, only another user cannot).
    os.chmod(units, 0o555)
    run = subprocess.run([launcher.exe, "-install"], cwd=launcher.start, capture_output=True, text=True,
                         user=65534 if os.geteuid() == 0 else None)
    os.chmod(units, 0o755)
    check(run.returncode == 2 and "Permission denied." in run.stderr and not os.path.lexists(unit), "unwritable", run)

def scenario_refused_install_leaves_nothing():
    # A Windows-only setting is refused before anything is written; a unit that cannot be enabled is removed again.
    root, units = scratch_root()
    run = runs.Launcher("delayed", ServiceName="demo-refused", ServiceDelayedStart=True).run("-install")
    check(run.returncode == 5 and "Operation not supported." in run.stderr and "ServiceDelayedStart: a Windows service "
          "setting" in run.stderr and os.listdir(units) == [], "delayed start", run)
    open(units + "/multi-user.target.wants", "w").close()  # no folder for the unit's link
    run = runs.Launcher("enable", ServiceName="demo-refused").run("-install")
    check(run.returncode == 6 and os.listdir(units) == ["multi-user.target.wants"], "enable fails", run)

def scenario_unit_paths_that_systemd_reads_back():
    # ExecStart's words as systemd hands them over ("%%" undone, and "$$" in the arguments) name the launcher.
    root, units = scratch_root()
    for name in ("100%h %n", "$HOME ${HOME} $$", "quote\" 'single'", "back\\slash\\ ${HOME}", "caf\u00e9 \u65e5\u672c"):
        launcher = runs.Launcher(name, ServiceName="demo-path")
        run = launcher.run("-install")
        check(run.returncode == 0, name, run)
        verify(units + "/demo-path.service")
        line = next(l for l in open(units + "/demo-path.service") if l.startswith("ExecStart="))
        words = [word.replace("%%", "%") for word in shlex.split(line[10:])]  # then in the arguments "$$" and "${NAME}"
        words[1:] = [re.sub(r"\$(\$|\{\w*\})", lambda m: "$" if m[1] == "$" else "(expanded)", word) for word in words[1:]]
        check(words in ([launcher.exe, SWITCH], ["/bin/sh", "-c", 'exec "$0" "$@"', launcher.exe, SWITCH]), line)
        check(launcher.run("-uninstall").returncode == 0, "uninstall")

def scenario_install_where_systemd_is_not_running():
    # A container's build step: the machine's own unit folder, written and enabled without a manager.
    unit, wants = ("/etc/systemd/system/%svarnlet-offline.service" % d for d in ("", "multi-user.target.wants/"))
    if os.path.exists("/run/systemd/system") or os.geteuid() != 0 or not os.path.isdir("/etc/systemd/system"):
        return print("not run: systemd runs here, or no root, or no /etc/systemd/system")
    os.environ.pop("VARNLET_SYSTEMD_ROOT", None)
    launcher = runs.Launcher("offline", ServiceName="varnlet-offline")
    run, wanted = launcher.run("-install"), os.path.islink(wants)
    gone = launcher.run("-uninstall").returncode == 0 and not any(map(os.path.lexists, (unit, wants)))
    check(run.returncode == 0 and "without a running systemd" in run.stdout and wanted and gone, "offline", run)

def service(name, **entries):
    return runs.Launcher(name, **dict({"ServiceName": "demo-run", "MainClass": "varnlet.service.ServiceApp",
                                       "ServiceStartOptions": "start", "ServiceStopOptions": "stop now"}, **entries))

def start(launcher, env=None, wait=True, switch=SWITCH):
    """Starts the service switch; with `wait`, returns once the application's main has run."""
    process = subprocess.Popen([launcher.exe, switch], cwd=launcher.start, env=env, text=True,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    atexit.register(process.kill)  # a failed check leaves no service running
    process.lines = []
    while wait and "main(start) on main" not in process.lines:
        line = process.stdout.readline()
        if not line:
            raise runs.Failure("the application did not start: %s" % (process.communicate(),))
        process.lines.append(line.rstrip("\n"))
    return process

def stop(process, sig=signal.SIGTERM):
    """Sends the stop signal; the exit status, standard error and what the application printed."""
    process.send_signal(sig)
    out, err = process.communicate(timeout=60)
    return process.returncode, err, process.lines + out.splitlines()

def scenario_notify_ready_and_stop_by_sigterm():
    notify = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    notify.bind("\0varnlet-notify-%d" % os.getpid())  # in the abstract namespace, as "@" names it
    notify.settimeout(60)
    process = start(service("sigterm"), dict(os.environ, NOTIFY_SOCKET="@varnlet-notify-%d" % os.getpid()))
    check(notify.recv(256) == b"READY=1", "READY=1 first")
    code, err, lines = stop(process)
    check(notify.recv(256) == b"STOPPING=1", "STOPPING=1 on the stop")
    check(code == 0 and "main(stop|now) on Varnlet stopper thread" in lines and "worker ends" in lines,
          "exit %d, output %r\n%s" % (code, lines, err))
    check("<6>The demo-run service has started.\n" in err and err.endswith("<6>The demo-run service has stopped.\n"), "stderr: %r" % err)

def scenario_console_switch_stops_on_ctrl_c():
    # Ctrl+C is the normal end of a console run: the stop call, the stop's report and exit 0; SIGTERM as well.
    for sig in (signal.SIGINT, signal.SIGTERM):
        code, err, lines = stop(start(service("console", ServiceConsoleSwitch="-console"), switch="-console"), sig)
        check(code == 0 and "main(stop|now) on Varnlet stopper thread" in lines and
              lines[-1] == "The demo-run service has stopped.", "%s: exit %d, output %r\n%s" % (sig.name, code, lines, err))

def scenario_ignored_stop_times_out():
    # Outside systemd, stopped by Ctrl+C; the application waits for a second stop call.
    process = start(service("ignored", JvmOptions="-Dvarnlet.service.stops=2", ServiceStopTimeout=2))
    began = time.monotonic()
    code, err, lines = stop(process, signal.SIGINT)
    elapsed = time.monotonic() - began
    check(code == 3 and 2 <= elapsed < 15, "exit %d after %.1f s" % (code, elapsed))
    check("<3>The demo-run service has timed out during a stop request and will be terminated.\n" in err, err)

def scenario_stop_while_the_jvm_starts():
    # A stop during start-up waits for the application: the JVM would take it for its own shutdown (exit 143).
    process = start(service("early", JvmOptions="-verbose:class"), wait=False)
    process.stdout.readline()  # the JVM has begun to load classes
    code, err, lines = stop(process)
    check(code == 0 and "main(stop|now) on Varnlet stopper thread" in lines, "exit %d, output %r\n%s" % (code, lines, err))

def scenario_stop_by_exit():
    # System.exit(0) instead of a second main: the JVM's exit hook reports the stop before the process ends.
    code, err, lines = stop(start(service("byexit", ServiceStopByExit=True)))
    check(code == 0 and "shutdown hook" in lines and not any(l.startswith("main(stop") for l in lines),
          "exit %d, output %r\n%s" % (code, lines, err))
    check(err.endswith("<6>The demo-run service has stopped.\n"), "stderr: %r" % err)

def scenario_failing_exit_gives_the_service_code():
    # System.exit(7) ends a service with 2, the application's failure; the console switch keeps the 7.
    launcher = service("exit7", ServiceStartOptions="exit 7", ServiceConsoleSwitch="-console")
    for switch, code in ((SWITCH, 2), ("-console", 7)):
        run = launcher.run(switch)
        check(run.returncode == code and "The demo-run service failed to start." in run.stderr, switch, run)
