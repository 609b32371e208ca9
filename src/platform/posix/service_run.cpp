// POSIX backend: running as a systemd service, or in the foreground outside it. The
// dispatcher runs the service's main routine on a thread of its own while the calling
// thread turns SIGTERM and SIGINT into stop controls for the handler; statuses become
// notifications to $NOTIFY_SOCKET, and the stopped status's code the process's exit status.
// The console switch takes the same signals as its console events (Ctrl+C), which a thread
// of their own hands to its handler, as Windows runs a console handler.
//
// The JVM takes SIGTERM and SIGINT for its own shutdown (System.exit with 143 or 130)
// unless it finds them ignored when it starts. So until the application is up they are
// ignored and blocked in every thread, which keeps one that comes meanwhile pending instead
// of lost; once the JVM exists (serviceReady) they get our handler and are unblocked again,
// so the application's threads, and the processes they start, have them as usual.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/posix/backend.h"

// The process ends with _exit, past the exit handlers that write a coverage build's counts:
// that build writes them first.
#ifdef VARNLET_COVERAGE_DUMP
extern "C" void __gcov_dump();
[[noreturn]] static void endProcess(int status) {
    __gcov_dump();
    _exit(status);
}
#else
[[noreturn]] static void endProcess(int status) { _exit(status); }
#endif

namespace {

// Bytes through the control pipe: a stop signal came, the application is up, the service
// routine has returned.
constexpr char kStopSignal = 'S', kReady = 'R', kEnded = 'E';

int controlPipe[2] = {-1, -1};
ServiceMainRoutine serviceRoutine;
std::atomic<ServiceHandlerRoutine> controlHandler{nullptr};
std::atomic<ConsoleHandlerRoutine> consoleHandler{nullptr};
enum class ConsoleSignals { Default, Held, Failed } consoleSignals;
std::atomic<bool> stopping{false};
int finalStatus;  // the exit status: written before the routine returns, read after the join
std::atomic<bool> finalStatusSet{false};

void sendControl(char c) {
    int saved = errno;
    while (write(controlPipe[1], &c, 1) < 0 && errno == EINTR) {}
    errno = saved;
}

void onStopSignal(int) { sendControl(kStopSignal); }

void stopSignals(sigset_t* set) {
    sigemptyset(set);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGINT);
}

void setStopSignalAction(void (*action)(int)) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = action;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

void unblockStopSignals() {
    sigset_t set;
    stopSignals(&set);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void* runServiceRoutine(void*) {
    serviceRoutine();
    sendControl(kEnded);
    return nullptr;
}

// One datagram to the socket systemd names in NOTIFY_SOCKET ("@" for the abstract
// namespace); nothing to do outside systemd.
bool notifyManager(const char* text) {
    const char* address = getenv("NOTIFY_SOCKET");
    if (!address || !*address) return true;
    struct sockaddr_un to;
    memset(&to, 0, sizeof to);
    to.sun_family = AF_UNIX;
    size_t n = strlen(address);
    if ((address[0] != '/' && address[0] != '@') || n >= sizeof to.sun_path) {
        errno = EINVAL;
        return false;
    }
    memcpy(to.sun_path, address, n);
    if (address[0] == '@') to.sun_path[0] = '\0';
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    size_t length = strlen(text);
    ssize_t sent = sendto(fd, text, length, MSG_NOSIGNAL, reinterpret_cast<struct sockaddr*>(&to),
                          static_cast<socklen_t>(offsetof(struct sockaddr_un, sun_path) + n));
    int error = errno;
    close(fd);
    errno = error;
    return sent == static_cast<ssize_t>(length);
}

// 0 for a clean end; otherwise the service's own code as a non-zero exit status: codes past
// 255 would wrap, perhaps to 0, so they become 255.
int exitStatusOf(uint32_t code) { return code <= 255 ? static_cast<int>(code) : 255; }

// System.exit ends the process after the service's exit hook has reported the end: the exit
// status is then the service's, as when the dispatcher ends it, not the one given to exit.
void exitWithFinalStatus() {
    if (!finalStatusSet) return;
    fflush(nullptr);
    endProcess(finalStatus);
}

// Runs the service to its end; its exit status, or -1 with errno set when it cannot start.
int runDispatcher(ServiceMainRoutine routine) {
    sigset_t set, previous;
    stopSignals(&set);
    pthread_sigmask(SIG_BLOCK, &set, &previous);
    setStopSignalAction(SIG_IGN);
    serviceRoutine = routine;
    finalStatus = 0;
    atexit(exitWithFinalStatus);
    pthread_t thread{};
    int rc = pipe2(controlPipe, O_CLOEXEC);
    if (rc == 0) rc = pthread_create(&thread, nullptr, runServiceRoutine, nullptr);
    else rc = errno;
    if (rc != 0) {
        setStopSignalAction(SIG_DFL);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        errno = rc;
        return -1;
    }
    for (char c = 0; c != kEnded;) {
        // poll, unlike a read, is never restarted after a signal handler: a runtime that
        // defers handlers to its next call (ThreadSanitizer's) gets to run ours.
        struct pollfd wait = {controlPipe[0], POLLIN, 0};
        if (poll(&wait, 1, -1) < 0 || read(controlPipe[0], &c, 1) != 1) {
            if (errno == EINTR) continue;
            break;
        }
        if (c == kReady) unblockStopSignals();
        ServiceHandlerRoutine handler = controlHandler;
        if (c == kStopSignal && handler) handler(ServiceControl::Stop);
    }
    pthread_join(thread, nullptr);
    return finalStatus;
}

// The console switch's stop signals, as Ctrl+C, until the process ends.
void* handConsoleSignals(void*) {
    for (char c = 0;;) {
        struct pollfd wait = {controlPipe[0], POLLIN, 0};
        if (poll(&wait, 1, -1) < 0 || read(controlPipe[0], &c, 1) != 1) {
            if (errno == EINTR) continue;
            return nullptr;
        }
        ConsoleHandlerRoutine handler = consoleHandler;
        if (handler) handler(ConsoleEvent::Interrupt);
    }
}

}  // namespace

// The first call, before the JVM exists, holds the stop signals back as the dispatcher does;
// a later one, with the JVM up, takes them for the handler in place of the JVM's own.
bool posixSetConsoleCtrlHandler(ConsoleHandlerRoutine handler) {
    if (serviceRoutine) return false;  // a service has no console: its stop signals are the dispatcher's
    consoleHandler = handler;
    if (consoleSignals == ConsoleSignals::Held) {
        setStopSignalAction(onStopSignal);
        unblockStopSignals();
        return true;
    }
    if (consoleSignals == ConsoleSignals::Failed) return false;
    sigset_t set;
    stopSignals(&set);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    setStopSignalAction(SIG_IGN);
    pthread_t thread{};
    int rc = pipe2(controlPipe, O_CLOEXEC);
    if (rc == 0) rc = pthread_create(&thread, nullptr, handConsoleSignals, nullptr);
    else rc = errno;
    if (rc == 0) {
        pthread_detach(thread);
        consoleSignals = ConsoleSignals::Held;
        return true;
    }
    // The JVM then takes them, as without the console switch.
    consoleSignals = ConsoleSignals::Failed;
    setStopSignalAction(SIG_DFL);
    unblockStopSignals();
    errno = rc;
    return false;
}

bool posixRunService(const char*, ServiceMainRoutine routine) {
    int status = runDispatcher(routine);
    if (status < 0) return false;
    // As on Windows, the end of the service ends the process, Java threads a timed-out stop
    // left behind included: nothing of ours may run on beside them.
    fflush(nullptr);
    endProcess(status);
}

bool posixRegisterServiceHandler(const char*, ServiceHandlerRoutine handler) {
    controlHandler = handler;
    return true;
}

bool posixSetServiceStatus(const ServiceStatus* status) {
    if (status->state == ServiceState::StopPending && !stopping.exchange(true)) return notifyManager("STOPPING=1");
    if (status->state == ServiceState::Stopped) {
        finalStatus = exitStatusOf(status->exitCode);
        finalStatusSet = true;
    }
    return true;
}

void posixServiceReady() {
    if (controlPipe[1] < 0) return;  // not under this dispatcher
    setStopSignalAction(onStopSignal);
    unblockStopSignals();
    sendControl(kReady);
    if (!stopping) notifyManager("READY=1");
}
