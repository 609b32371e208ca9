// Running the application under the service control manager: the service's main routine,
// its control handler, and the worker, stopper and time-out threads. The same start and
// stop logic also runs in a console (the console switch), with Ctrl+C as the stop control.
//
// The service's end is reported once, with an exit code that tells the service manager
// (and its recovery) why: by serviceMain after its wait, or by the JVM's exit hook when
// System.exit ends the process first.
//
// Late threads: a time-out thread may wake, and a worker or stopper may still be inside the
// JVM, after serviceMain has finished. So that none of them signals a closed event or
// reports through a deregistered source, the threads coordinate through a few sequentially
// consistent counters (no locks):
//  - every use of ServiceDoneEvent and every report made by this file outside serviceMain
//    happens under a short lease that is refused once the service has ended; serviceMain
//    closes the event only after the leases have drained;
//  - threads inside a Java step (which may report through the event log) are counted;
//    serviceMain deregisters the event source only when none is left, and otherwise leaves
//    it to the end of the process, which follows at once.
#include "service/runtime.h"

#include <atomic>

#include "service/exit_codes.h"

#include "invoke/invoke.h"
#include "invoke/jni_utils.h"
#include "invoke/split.h"
#include "jvm/create_jvm.h"
#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "platform/platform.h"
#include "service/exit_codes.h"

namespace {

const ServiceJavaSteps kRealSteps = {createJvm, invokeMainClass, destroyJvm, requestJavaExit};

enum JvmPhase : int { JvmCreating, JvmReady, JvmGone };

std::atomic<bool> serviceEnded{false};   // serviceMain is past its wait
std::atomic<bool> controlsAccepted{false};  // the first status has been reported
std::atomic<int> leases{0};              // short uses of the event and the source under way
std::atomic<int> javaThreads{0};         // threads inside a Java step
std::atomic<int> jvmPhase{JvmCreating};  // published after createJvm, so State.Jvm is complete
std::atomic<bool> jvmCreated{false};
std::atomic<bool> timedOut{false};       // a stop time-out has ended the wait
std::atomic<bool> endClaimed{false};     // someone is reporting the service's end
std::atomic<bool> endReported{false};    // ... and has done so
std::atomic<uint32_t> exitCode{0};
bool consoleRun = false;                 // the console switch: no service manager to tell

// Counts a thread in unless the service has ended. The count rises before the check, so
// whoever waits for it to fall after setting serviceEnded cannot miss this thread.
bool enterUnlessEnded(std::atomic<int>* count) {
    ++*count;
    if (serviceEnded) {
        --*count;
        return false;
    }
    return true;
}

bool takeLease() { return enterUnlessEnded(&leases); }
void returnLease() { --leases; }
bool enterJava() { return enterUnlessEnded(&javaThreads); }
void leaveJava() { --javaThreads; }

void reportStatus() {
    if (!consoleRun) Platform.setServiceStatus(State.ServiceStatusHandle, &State.ServiceStatus);
}

uint32_t endingCode() {
    if (timedOut) return kServiceExitStopTimeout;
    if (State.RunResult) return 0;
    return jvmCreated ? kServiceExitAppFailed : kServiceExitJvmFailed;
}

// The end's message and SERVICE_STOPPED with the exit code, once, whoever comes first; a
// second caller returns only after the first has finished.
void reportEnd() {
    if (endClaimed.exchange(true)) {
        while (!endReported) Platform.sleepMs(1);
        return;
    }
    uint32_t code = endingCode();
    exitCode = code;
    if (State.RunResult)
        reportInfo(message(MsgServiceStopped), Config.ServiceName);
    else
        reportError(message(MsgServiceFailed), Config.ServiceName);
    State.ServiceStatus.dwCurrentState = kServiceStopped;
    State.ServiceStatus.dwWaitHint = 0;
    State.ServiceStatus.dwWin32ExitCode = code ? uint32_t{kErrorServiceSpecificError} : 0u;
    State.ServiceStatus.dwServiceSpecificExitCode = code;
    reportStatus();
    endReported = true;
}

// Marks the service as over for the other threads and waits for their short uses of the
// event and the source to end.
void endService() {
    serviceEnded = true;
    while (leases != 0) Platform.sleepMs(1);
}

// The JVM's exit hook: System.exit ends the process once this returns. A requested stop by
// exit (code 0) is a clean end, any other code the application's failure. The other
// threads go on until the process ends, but report nothing more (see endClaimed).
void JNICALL serviceExitHook(jint code) {
    State.RunResult = code == 0;
    reportEnd();
}

// Starts a thread; false with the creation's error as the last error.
bool startThread(ThreadRoutine routine) { return Platform.createThread(routine, nullptr) != nullptr; }

// Waits until the worker has created the JVM (true) or until there will be none to stop:
// its creation failed, the application has already ended, or the service has ended.
bool waitForJvm() {
    for (;;) {
        int phase = jvmPhase;
        if (phase == JvmReady) return true;
        if (phase == JvmGone || serviceEnded) return false;
        Platform.sleepMs(kJvmPollMs);
    }
}

}  // namespace

ServiceJavaSteps ServiceJava = kRealSteps;
const ServiceJavaSteps& defaultServiceJavaSteps() { return kRealSteps; }

void runServiceDispatcher() {
    State.RunMode = RunModeKind::Service;
    if (Platform.startServiceDispatcher(Config.ServiceName, serviceMain)) return;
    // Started by hand rather than by the service manager: say why in the event log.
    uint32_t error = Platform.getLastError();
    PlatformHandle source = Platform.registerEventSource(Config.ServiceName);
    if (!source) return;
    State.EventSource = source;
    reportSystemError(error);
    State.EventSource = nullptr;
    Platform.deregisterEventSource(source);
}

namespace {

constexpr uint32_t kCtrlCloseEvent = 2;  // console closed; log-off and shutdown come after it

// A fresh run: every shared record as before the first thread starts.
void resetRun(bool console) {
    consoleRun = console;
    serviceEnded = false;
    controlsAccepted = false;
    leases = 0;
    javaThreads = 0;
    jvmPhase = JvmCreating;
    jvmCreated = false;
    timedOut = false;
    endClaimed = false;
    endReported = false;
    exitCode = 0;
    State.RunResult = false;
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

// From the running status to the end: start the worker, wait for the end, report it.
void runUntilEnd(PlatformHandle done, uint32_t eventError) {
    reportInfo(message(MsgServiceStarted), Config.ServiceName);
    State.ServiceStatus = ServiceStatusRecord{kServiceWin32OwnProcess, kServiceRunning,
                                              kServiceAcceptStop | kServiceAcceptShutdown, 0, 0, 0, 0};
    reportStatus();
    controlsAccepted = true;

    bool workerRunning = false;
    if (!done) {
        reportSystemError(eventError);
    } else {
        ++javaThreads;  // the worker's, taken before it can run
        workerRunning = startThread(serviceWorkerThread);
        if (!workerRunning) {
            uint32_t error = Platform.getLastError();
            --javaThreads;
            reportSystemError(error);
        }
    }
    if (workerRunning) Platform.waitForEvent(done);

    endService();
    State.ServiceDoneEvent = nullptr;
    if (done) Platform.closeHandle(done);
    reportEnd();
}

// Console events: Ctrl+C and Ctrl+Break ask for the stop; a closing console, log-off or
// shutdown also waits for the end, since the process is ended when the handler returns.
bool consoleStopHandler(uint32_t eventType) {
    serviceControlHandler(kServiceControlStop);
    if (eventType >= kCtrlCloseEvent)
        while (!endReported) Platform.sleepMs(10);
    return true;
}

}  // namespace

int runServiceInConsole() {
    resetRun(true);
    Platform.setConsoleCtrlHandler(consoleStopHandler);
    PlatformHandle done = Platform.createEvent();
    uint32_t eventError = done ? 0 : Platform.getLastError();
    State.ServiceDoneEvent = done;
    runUntilEnd(done, eventError);
    State.JvmExitHook = nullptr;
    return static_cast<int>(exitCode.load());
}

void serviceMain(uint32_t, char**) {
    resetRun(false);

    PlatformHandle source = Platform.registerEventSource(Config.ServiceName);
    if (!source) {
        // Nothing can be reported, but the service manager must still learn that the service
        // is over, or the dispatcher would never return.
        State.ServiceStatusHandle = Platform.registerServiceCtrlHandler(Config.ServiceName, serviceControlHandler);
        State.ServiceStatus = ServiceStatusRecord{kServiceWin32OwnProcess, kServiceStopped, 0,
                                                  kErrorServiceSpecificError, kServiceExitJvmFailed, 0, 0};
        if (State.ServiceStatusHandle) reportStatus();
        serviceEnded = true;
        return;
    }
    State.EventSource = source;
    State.ServiceStatusHandle = Platform.registerServiceCtrlHandler(Config.ServiceName, serviceControlHandler);

    // The event exists before the service reports running: a stop control may come at once,
    // and its handler signals the event when the time-out thread cannot start.
    PlatformHandle done = Platform.createEvent();
    uint32_t eventError = done ? 0 : Platform.getLastError();
    State.ServiceDoneEvent = done;

    runUntilEnd(done, eventError);

    // A thread still inside the JVM may report yet; its source then stays until the process ends.
    if (javaThreads == 0) {
        State.EventSource = nullptr;
        Platform.deregisterEventSource(source);
    }
}

void serviceControlHandler(uint32_t control) {
    // The manager may deliver a control as soon as it has the running status, before
    // serviceMain is back from reporting it; such a control waits for it rather than being lost.
    while (!controlsAccepted) {
        if (serviceEnded) return;
        Platform.sleepMs(1);
    }
    if (!takeLease()) return;
    if (endClaimed) {
        // The end is already being reported: a status now would come after SERVICE_STOPPED.
    } else if (control == kServiceControlStop || control == kServiceControlShutdown) {
        State.ServiceStatus.dwCurrentState = kServiceStopPending;
        State.ServiceStatus.dwWaitHint = serviceStopWaitHintMs();
        reportStatus();
        if (!startThread(serviceStopperThread)) reportLastError();
        if (!startThread(serviceStopTimeoutThread)) {
            reportLastError();
            Platform.setEvent(State.ServiceDoneEvent);
        }
    } else {
        reportStatus();
    }
    returnLease();
}

uint32_t serviceWorkerThread(void*) {
    // serviceMain counted this thread in javaThreads before starting it.
    State.RunResult = true;
    // A console run keeps the console and the streams it was started with.
    bool created = ServiceJava.createJvm(!consoleRun);
    State.RunResult = created;
    if (created) {
        jvmCreated = true;
        jvmPhase = JvmReady;
        if (consoleRun)
            Platform.setConsoleCtrlHandler(consoleStopHandler);  // ahead of the JVM's own
        else
            Platform.serviceReady(State.ServiceStatusHandle);
        int count = 0;
        char** vector = nullptr;
        if (splitArguments(Config.ServiceStartOptions, &count, &vector)) {
            State.RunResult = ServiceJava.invokeMainClass(count, vector, false);
        } else {
            reportError(message(MsgAssignArgument), Config.ServiceStartOptions);
            State.RunResult = false;
        }
        // Returns once the application's non-daemon threads, stoppers included, have ended.
        State.JvmEnding = true;
        ServiceJava.destroyJvm();
    }
    jvmPhase = JvmGone;
    leaveJava();
    if (takeLease()) {
        Platform.setEvent(State.ServiceDoneEvent);
        returnLease();
    }
    return 0;
}

uint32_t serviceStopperThread(void*) {
    // A stop can come while the worker is still creating the JVM; there is nothing to call
    // into until it exists.
    if (!enterJava()) return 0;
    if (waitForJvm()) {
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
        // A stop that found the application already ending leaves its outcome as it is.
        if (stopped || !stopperMetJvmEnd()) State.RunResult = stopped;
    }
    leaveJava();
    return 0;
}

uint32_t serviceStopTimeoutThread(void*) {
    Platform.sleepMs(serviceStopTimeoutMs());
    // Never cancelled: once the service has ended there is nothing left to time out.
    if (takeLease()) {
        if (!endClaimed) {
            timedOut = true;
            reportError(message(MsgServiceTimeout), Config.ServiceName);
        }
        Platform.setEvent(State.ServiceDoneEvent);
        returnLease();
    }
    return 0;
}
