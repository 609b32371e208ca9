// Running the application under the service control manager: the service's main routine,
// its control handler, and the worker, stopper and time-out threads. The same start and
// stop logic also runs in a console (the console switch), with Ctrl+C as the stop control.
//
// The service's end is reported once, with an exit code that tells the service manager
// (and its recovery) why: by serviceMain after its wait, or by the JVM's exit hook when
// System.exit ends the process first.
//
// One run is one record whose phase goes Starting -> Running -> StopRequested -> Ending ->
// Ended, under one lock: every status the service reports, and everything the threads
// share, is read and written under it.
//  - Starting: serviceMain holds the lock until the running status is out, so a control
//    that comes at once waits for it rather than being lost.
//  - Ending: the end's message and the stopped status are out (they go out in one locked step);
//    nothing is reported after them.
//  - Ended: serviceMain is past the end and closes the done event. Late threads (a time-out
//    that wakes, a worker or stopper still inside the JVM) touch neither the event nor the
//    event source then: threads inside a Java step are counted, and the source stays to the
//    end of the process, which follows at once, while any is.
// The lock itself outlives every run, since late threads take it after serviceMain is gone.
#include "service/runtime.h"

#include "service/exit_codes.h"

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "invoke/invoke.h"
#include "jvm/create_jvm.h"
#include "jvm/jni_utils.h"
#include "options/split.h"
#include "platform/platform.h"

namespace {

const ServiceJavaSteps kRealSteps = {createJvm, invokeMainClass, destroyJvm, requestJavaExit};

enum class Phase { Starting, Running, StopRequested, Ending, Ended };
enum class JvmPhase { Creating, Ready, Gone };

struct Run {
    Phase phase;
    bool console;  // the console switch: no service manager to tell
    JvmPhase jvm;
    bool jvmCreated;
    bool result;  // the application's outcome: worker, stopper and exit hook write it, the last wins
    bool timedOut;  // a stop time-out has ended the wait
    int pendingStops;  // stops asked for before the JVM existed, started once it does
    int javaThreads;  // threads inside a Java step
    int endWaiters;  // console handlers waiting for the end's report
    uint32_t exitCode;
    PlatformEvent done;  // the worker's end or the time-out wakes serviceMain
    PlatformEvent ended;  // console runs: set once the end is reported
    ServiceStatus status;
};

Run run;
PlatformLock runLock;

struct Locked {
    Locked() { Platform.threads.acquireLock(&runLock); }
    ~Locked() { Platform.threads.releaseLock(&runLock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// The functions below marked "locked" are called with runLock held.

void reportStatus() {  // locked
    // A status the manager did not take leaves it with a wrong picture of the service: say so.
    if (!run.console && !Platform.services.setStatus(&run.status)) reportLastError();
}

uint32_t endingCode() {  // locked
    if (run.timedOut) return kServiceExitStopTimeout;
    if (run.result) return 0;
    return run.jvmCreated ? kServiceExitAppFailed : kServiceExitJvmFailed;
}

// The end's message and the stopped status with the exit code, once, whoever comes first.
void reportEnd() {  // locked
    if (run.phase >= Phase::Ending) return;
    run.phase = Phase::Ending;
    uint32_t code = endingCode();
    run.exitCode = code;
    if (run.result) reportInfo(message(MsgServiceStopped), Config.ServiceName);
    else reportError(message(MsgServiceFailed), Config.ServiceName);
    run.status = ServiceStatus{ServiceState::Stopped, 0, code};
    reportStatus();
    if (run.endWaiters) Platform.threads.setEvent(run.ended);
}

// The JVM's exit hook: System.exit ends the process once this returns. A requested stop by
// exit (code 0) is a clean end, any other code the application's failure. The other
// threads go on until the process ends, but report nothing more.
void JNICALL serviceExitHook(jint code) {
    Locked locked;
    if (run.phase >= Phase::Ending) return;
    run.result = code == 0;
    reportEnd();
}

// Starts a thread; false with the creation's error as the last error.
bool startThread(ThreadRoutine routine) { return Platform.threads.create(routine, nullptr); }

void startStopper() {  // locked
    ++run.javaThreads;  // the stopper's, taken before it can run
    if (!startThread(serviceStopperThread)) {
        SystemError error = Platform.errors.last();
        --run.javaThreads;
        reportSystemError(error);
    }
}

}  // namespace

ServiceJavaSteps ServiceJava = kRealSteps;
const ServiceJavaSteps& defaultServiceJavaSteps() { return kRealSteps; }

void runServiceDispatcher() {
    State.RunMode = RunModeKind::Service;
    if (Platform.services.run(Config.ServiceName, serviceMain)) return;
    // Started by hand rather than by the service manager: say why in the event log.
    SystemError error = Platform.errors.last();
    PlatformHandle source = Platform.eventLog.registerSource(Config.ServiceName);
    if (!source) return;
    State.EventSource = source;
    reportSystemError(error);
    State.EventSource = nullptr;
    Platform.eventLog.deregisterSource(source);
}

namespace {

// A fresh run: every shared record as before the first thread starts.
void resetRun(bool console) {
    static bool lockMade = false;
    if (!lockMade) Platform.threads.initLock(&runLock);
    lockMade = true;
    run = Run{};
    run.console = console;
    State.JvmEnding = false;
    State.JvmExitHook = reinterpret_cast<void*>(serviceExitHook);
}

}  // namespace

uint32_t serviceStopTimeoutMs() {
    int32_t seconds = Config.ServiceStopTimeout;
    if (seconds < 1 || seconds > static_cast<int32_t>(kMaxStopTimeoutSeconds)) return kStopTimeoutMs;
    return static_cast<uint32_t>(seconds) * 1000;
}

uint32_t serviceStopWaitHintMs() { return serviceStopTimeoutMs() + kStopWaitHintMarginMs; }

namespace {

// From the running status to the end: start the worker, wait for the end, report it. Called
// locked in the Starting phase (the events made, or `eventError` why not); returns
// unlocked, in the Ended phase, with the Java threads still counted.
int runUntilEnd(SystemError eventError) {
    reportInfo(message(MsgServiceStarted), Config.ServiceName);
    run.status = ServiceStatus{ServiceState::Running, 0, 0};
    reportStatus();
    run.phase = Phase::Running;

    bool workerRunning = false;
    if (!run.done || (run.console && !run.ended)) {
        reportSystemError(eventError);
    } else {
        ++run.javaThreads;  // the worker's, taken before it can run
        workerRunning = startThread(serviceWorkerThread);
        if (!workerRunning) {
            SystemError error = Platform.errors.last();
            --run.javaThreads;
            reportSystemError(error);
        }
    }
    PlatformEvent done = run.done;
    if (workerRunning) {
        Platform.threads.releaseLock(&runLock);
        Platform.threads.waitForEvent(done);
        Platform.threads.acquireLock(&runLock);
    }
    reportEnd();
    run.phase = Phase::Ended;
    int javaThreads = run.javaThreads;
    PlatformEvent ended = run.endWaiters ? nullptr : run.ended;  // else the last waiter closes it
    Platform.threads.releaseLock(&runLock);
    if (done) Platform.threads.closeEvent(done);
    if (ended) Platform.threads.closeEvent(ended);
    return javaThreads;
}

// Console events: each asks for the stop; a closing console, log-off or shutdown also waits
// for the end's report, since the process is ended when the handler returns.
bool consoleStopHandler(ConsoleEvent event) {
    serviceControlHandler(ServiceControl::Stop);
    bool processEnds = event == ConsoleEvent::Close || event == ConsoleEvent::Logoff || event == ConsoleEvent::Shutdown;
    if (!processEnds) return true;
    PlatformEvent ended;
    {
        Locked locked;
        if (run.phase >= Phase::Ending || !run.ended) return true;
        ++run.endWaiters;
        ended = run.ended;
    }
    Platform.threads.waitForEvent(ended);
    Locked locked;
    if (--run.endWaiters > 0) Platform.threads.setEvent(ended);  // wakes the next waiter
    else if (run.phase == Phase::Ended) Platform.threads.closeEvent(ended);
    return true;
}

// Makes the run's events; the error when one could not be made.
SystemError makeEvents() {  // locked
    run.done = Platform.threads.createEvent();
    if (run.done && run.console) run.ended = Platform.threads.createEvent();
    return run.done && (run.ended || !run.console) ? kNoError : Platform.errors.last();
}

}  // namespace

int runServiceInConsole() {
    resetRun(true);
    Platform.threads.acquireLock(&runLock);
    Platform.console.setCtrlHandler(consoleStopHandler);
    runUntilEnd(makeEvents());
    State.JvmExitHook = nullptr;
    Locked locked;
    return static_cast<int>(run.exitCode);
}

void serviceMain() {
    resetRun(false);
    Platform.threads.acquireLock(&runLock);  // until the running status is out: a control waits for it

    PlatformHandle source = Platform.eventLog.registerSource(Config.ServiceName);
    if (!source) {
        // Nothing can be reported, but the service manager must still learn that the service
        // is over, or the dispatcher would never return.
        run.status = ServiceStatus{ServiceState::Stopped, 0, kServiceExitJvmFailed};
        if (Platform.services.registerHandler(Config.ServiceName, serviceControlHandler)) reportStatus();
        run.phase = Phase::Ended;
        Platform.threads.releaseLock(&runLock);
        return;
    }
    State.EventSource = source;
    if (!Platform.services.registerHandler(Config.ServiceName, serviceControlHandler)) {
        // No status can reach the manager: say why, and start nothing it could not stop.
        reportLastError();
        run.phase = Phase::Ended;
        Platform.threads.releaseLock(&runLock);
        State.EventSource = nullptr;
        Platform.eventLog.deregisterSource(source);
        return;
    }

    // The event exists before the service reports running: a stop control may come at once,
    // and its handler signals the event when the time-out thread cannot start.
    int javaThreads = runUntilEnd(makeEvents());

    // A thread still inside the JVM may report yet; its source then stays until the process ends.
    if (javaThreads == 0) {
        State.EventSource = nullptr;
        Platform.eventLog.deregisterSource(source);
    }
}

void serviceControlHandler(ServiceControl control) {
    // The manager may deliver a control as soon as it has the running status, before
    // serviceMain is back from reporting it; such a control waits for the lock.
    Locked locked;
    // Once the end is out, a status would come after the stopped one.
    if (run.phase == Phase::Starting || run.phase >= Phase::Ending) return;
    if (control == ServiceControl::Other) {
        reportStatus();
        return;
    }
    // In the console, a second Ctrl+C while the stop runs adds no stop call and no time-out.
    if (run.console && run.phase == Phase::StopRequested) return;
    run.phase = Phase::StopRequested;
    run.status.state = ServiceState::StopPending;
    run.status.waitHintMs = serviceStopWaitHintMs();
    reportStatus();
    // A stop can come while the worker is still creating the JVM; there is nothing to call
    // into until it exists, and nothing to stop once it is gone.
    if (run.jvm == JvmPhase::Creating) ++run.pendingStops;
    if (run.jvm == JvmPhase::Ready) startStopper();
    if (!startThread(serviceStopTimeoutThread)) {
        reportLastError();
        Platform.threads.setEvent(run.done);
    }
}

uint32_t serviceWorkerThread(void*) {
    // serviceMain counted this thread in javaThreads before starting it, after writing what
    // it reads here unlocked (console).
    // A console run keeps the console and the streams it was started with.
    bool created = ServiceJava.createJvm(!run.console);
    if (created) {
        if (run.console) Platform.console.setCtrlHandler(consoleStopHandler);  // ahead of the JVM's own
        else Platform.services.ready();
    }
    {
        Locked locked;
        run.jvmCreated = created;
        run.result = created;
        run.jvm = created ? JvmPhase::Ready : JvmPhase::Gone;
        for (; created && run.pendingStops > 0 && run.phase < Phase::Ending; --run.pendingStops) startStopper();
    }
    if (created) {
        int count = 0;
        char** vector = nullptr;
        bool ran;
        if (splitArguments(Config.ServiceStartOptions, &count, &vector)) {
            ran = ServiceJava.invokeMainClass(count, vector, false);
        } else {
            reportError(message(MsgAssignArgument), Config.ServiceStartOptions);
            ran = false;
        }
        {
            Locked locked;
            run.result = ran;
        }
        // Returns once the application's non-daemon threads, stoppers included, have ended.
        State.JvmEnding = true;
        ServiceJava.destroyJvm();
    }
    Locked locked;
    run.jvm = JvmPhase::Gone;
    --run.javaThreads;
    if (run.phase < Phase::Ended) Platform.threads.setEvent(run.done);
    return 0;
}

uint32_t serviceStopperThread(void*) {
    // Started, and counted in javaThreads, once the JVM existed.
    bool stopped;
    if (Config.ServiceStopByExit) {
        stopped = ServiceJava.requestJavaExit();
    } else {
        int count = 0;
        char** vector = nullptr;
        if (splitArguments(Config.ServiceStopOptions, &count, &vector)) {
            stopped = ServiceJava.invokeMainClass(count, vector, true);
        } else {
            reportError(message(MsgAssignArgument), Config.ServiceStopOptions);
            stopped = false;
        }
    }
    bool metJvmEnd = stopperMetJvmEnd();
    Locked locked;
    // A stop that found the application already ending leaves its outcome as it is.
    if (stopped || !metJvmEnd) run.result = stopped;
    --run.javaThreads;
    return 0;
}

uint32_t serviceStopTimeoutThread(void*) {
    Platform.threads.sleepMs(serviceStopTimeoutMs());
    // Never cancelled: once the service has ended there is nothing left to time out.
    Locked locked;
    if (run.phase < Phase::Ending) {
        run.timedOut = true;
        reportError(message(MsgServiceTimeout), Config.ServiceName);
    }
    if (run.phase < Phase::Ended) Platform.threads.setEvent(run.done);
    return 0;
}
