"""The Linux launcher as a systemd service with the real JVM: the unit file -install writes into a scratch
root (VARNLET_SYSTEMD_ROOT), and service runs with a test-owned notify socket and stop signals."""
import atexit
import os
import shutil
import signal
import socket
import subprocess
import time

import launcher_runs as runs
from launcher_runs import check

SWITCH = "-startlauncherinservicemode"

def scenario_unit_file_install_and_uninstall():
    root = os.path.join(runs.ARGS.work, "root")
    shutil.rmtree(root, ignore_errors=True)
    units = os.path.join(root, "etc/systemd/system")
    os.makedirs(units)
    os.environ["VARNLET_SYSTEMD_ROOT"] = root
    unit, wants = units + "/demo-svc.service", units + "/multi-user.target.wants/demo-svc.service"
    # Installed from a directory with a blank, as people do.
    launcher = runs.Launcher("my app", ServiceName="demo-svc", ServiceDescription="Demo service",
                             ServiceRestartDelay=5, ServiceStopTimeout=20)
    run = launcher.run("-install")
    check("Service installed: demo-svc" in run.stdout and os.path.islink(wants), "install, enabled", run)
    verify = subprocess.run(["systemd-analyze", "verify", unit], capture_output=True, text=True)
    check(verify.returncode == 0 and not verify.stderr, "systemd-analyze verify: %s\n%s" % (verify.stderr, open(unit).read()))
    settings = dict(line.split("=", 1) for line in open(unit).read().splitlines() if "=" in line)
    check((settings["Type"], settings["TimeoutStopSec"], settings["Restart"], settings["RestartSec"],
           settings["WorkingDirectory"]) == ("notify", "30", "on-failure", "5", launcher.app), "unit: %r" % settings)
    check("Service is already installed: demo-svc" in launcher.run("-install").stderr, "second install")
    run = launcher.run("-uninstall")
    check("Service uninstalled: demo-svc" in run.stdout and not os.path.lexists(unit) and not os.path.lexists(wants),
          "uninstall", run)
    check("does not exist as an installed service" in launcher.run("-uninstall").stderr, "second uninstall")
    manual = runs.Launcher("manual", ServiceName="demo-manual", ServiceManualStart=True)
    check("Service installed" in manual.run("-install").stdout, "manual install")
    text = open(units + "/demo-manual.service").read()
    check(not os.path.lexists(units + "/multi-user.target.wants/demo-manual.service") and "Restart=" not in text
          and "TimeoutStopSec=40\n" in text, "manual start, no restart: %r" % text)
    run = runs.Launcher("badname", ServiceName="../../../escape").run("-install")
    check("not a valid systemd unit name" in run.stderr and sorted(os.listdir(root)) == ["etc"], "name refused", run)

def service(name, **entries):
    return runs.Launcher(name, **dict({"ServiceName": "demo-run", "MainClass": "varnlet.service.ServiceApp",
                                       "ServiceStartOptions": "start", "ServiceStopOptions": "stop now"}, **entries))

def start(launcher, env=None, wait=True):
    """Starts the service switch; with `wait`, returns once the application's main has run."""
    process = subprocess.Popen([launcher.exe, SWITCH], cwd=launcher.start, env=env, text=True,
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
    check("<6>The demo-run service has started.\n" in err and err.endswith("<6>The demo-run service has stopped.\n"),
          "stderr: %r" % err)

def scenario_ignored_stop_times_out():
    # Outside systemd, stopped by Ctrl+C; the application waits for a second stop call.
    process = start(service("ignored", JvmOptions="-Dvarnlet.service.stops=2", ServiceStopTimeout=2))
    began = time.monotonic()
    code, err, lines = stop(process, signal.SIGINT)
    elapsed = time.monotonic() - began
    check(code == 3 and 2 <= elapsed < 15, "exit %d after %.1f s" % (code, elapsed))
    check("<3>The demo-run service has timed out during a stop request and will be terminated.\n" in err, err)

def scenario_throwing_main_fails_the_service():
    run = service("throws", MainClass="varnlet.testapps.Throws").run(SWITCH)
    check(run.returncode == 2 and "<3>Error invoking method: main(java/lang/String[])\n" in run.stderr
          and run.stderr.endswith("<3>The demo-run service failed to start.\n"), "exit code 2 and the failure", run)

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
