// Installing and removing the launcher as a service: the service itself with its
// description and, on Windows, its event-log source (so the event viewer shows the
// reports' text). A failure is reported where it is met and its error left as the last
// error, from which the operation's exit code follows.
#include "service/install.h"

#include <cstring>
#include <string>

#include "core/report.h"
#include "service/runtime.h"

namespace {

// Reporting may change the last error (a console write on POSIX): the error is set again after it.
int failed(SystemError error) {
    Platform.errors.set(error);
    return -1;
}
int reportFailure(SystemError error) {
    reportSystemError(error);
    return failed(error);
}

// A text that does not fit is refused before anything is changed.
int refuseTooLong(const char* object) {
    reportSystemError(Platform.errors.ofKind(ErrorKind::NameTooLong));
    reportError(message(MsgFileAccess), object);
    return failed(Platform.errors.ofKind(ErrorKind::NameTooLong));
}

// The configured ';'-separated names as one list: each name ended by a zero, one more zero
// after the last. Blank items are skipped.
std::string dependencyList(const char* names) {
    std::string list;
    for (const char* p = names; *p;) {
        const char* end = strchr(p, ';');
        if (!end) end = p + strlen(p);
        const char* first = p;
        const char* last = end;
        while (first < last && *first == ' ') ++first;
        while (last > first && last[-1] == ' ') --last;
        if (last > first) {
            list.append(first, last);
            list += '\0';
        }
        p = *end ? end + 1 : end;
    }
    if (!list.empty()) list += '\0';
    return list;
}

uint32_t positive(int32_t value) { return value > 0 ? static_cast<uint32_t>(value) : 0; }

// A configured setting the service manager does not keep is refused before anything is
// written, rather than left out.
bool checkSettings(const ServiceDefinition& definition) {
    uint32_t kept = Platform.traits.serviceSettings;
    const char* setting = definition.delayedStart && !(kept & kServiceSettingDelayedStart)      ? "ServiceDelayedStart"
                          : definition.dependencies[0] && !(kept & kServiceSettingDependencies) ? "ServiceDependencies"
                                                                                                : nullptr;
    if (!setting) return true;
    reportSystemError(Platform.errors.ofKind(ErrorKind::Unsupported));
    reportError("%s: a Windows service setting, which systemd units do not have", setting);
    Platform.errors.set(Platform.errors.ofKind(ErrorKind::Unsupported));
    return false;
}

constexpr uint32_t kServicePollMs = 100;

// Stops the service and waits until it has stopped, as long as its own stop may take;
// false with the last error set.
bool stopService(const char* serviceName) {
    bool sent = false;
    SystemError refused = kNoError;
    for (uint32_t waited = 0;; waited += kServicePollMs) {
        ServiceState state;
        if (!Platform.services.state(serviceName, &state)) return false;
        if (state == ServiceState::Stopped) return true;
        // A refused stop counts unless the service is stopping all the same (the manager may
        // lose the answer of a service that ends at once).
        if (refused.failed() && state != ServiceState::StopPending) break;
        if (!sent && state != ServiceState::StopPending) {
            sent = true;
            if (!Platform.services.stop(serviceName)) refused = Platform.errors.last();
            continue;
        }
        if (waited >= serviceStopWaitHintMs()) {
            refused = Platform.errors.ofKind(ErrorKind::ServiceStopTimedOut);
            break;
        }
        Platform.threads.sleepMs(kServicePollMs);
    }
    Platform.errors.set(refused);
    return false;
}

// The manager lets a deleted service go once its last handle is closed and its process has
// ended, which may take a moment after the stop; one that another program holds open stays.
// False with the last error set.
bool serviceGone(const char* serviceName) {
    for (uint32_t waited = 0;; waited += kServicePollMs) {
        if (!Platform.services.find(serviceName)) return Platform.errors.last().kind == ErrorKind::ServiceMissing;
        if (waited >= kStopWaitHintMarginMs) {
            Platform.errors.set(Platform.errors.ofKind(ErrorKind::ServiceMarkedForDelete));
            return false;
        }
        Platform.threads.sleepMs(kServicePollMs);
    }
}

}  // namespace

ServiceQuery isServiceInstalled(const char* serviceName) {
    if (Platform.services.find(serviceName)) return ServiceQuery::Installed;
    return Platform.errors.last().kind == ErrorKind::ServiceMissing ? ServiceQuery::NotInstalled : ServiceQuery::Failed;
}

int installService(const char* serviceName, const char* description) {
    char path[kPathBufferSize];
    // Every text is checked before the service is created, so a refusal leaves nothing behind.
    uint32_t n = Platform.files.modulePath(path, sizeof path);
    if (n == 0) {
        SystemError error = Platform.errors.last();
        reportSystemError(error);
        reportError(message(MsgFileAccess), "CURRENT_EXE");
        return failed(error);
    }
    if (n >= sizeof path) return refuseTooLong("CURRENT_EXE");
    if (strlen(path) + 3 + strlen(Config.ServiceSwitch) >= kServiceCommandLineSize) return refuseTooLong(path);
    if (strlen(serviceName) > kLongestServiceName) return refuseTooLong(serviceName);

    std::string dependencies = dependencyList(Config.ServiceDependencies);
    bool automatic = !Config.ServiceManualStart;
    ServiceDefinition definition{serviceName,
                                 path,
                                 Config.ServiceSwitch,
                                 automatic,
                                 Config.ServiceDelayedStart && automatic,
                                 description ? description : "",
                                 Config.ServiceAccount,
                                 dependencies.c_str(),
                                 positive(Config.ServiceRestartDelay),
                                 positive(Config.ServiceRestartCount) > kMaxServiceRestarts
                                     ? kMaxServiceRestarts
                                     : positive(Config.ServiceRestartCount),
                                 positive(Config.ServiceRestartReset),
                                 stopTimeoutSeconds()};
    // Only the service's own accounts are taken: no password is ever stored.
    if (!Platform.services.checkAccount(definition.account, serviceName)) return reportFailure(Platform.errors.last());
    if (!checkSettings(definition)) return -1;
    if (!Platform.services.create(&definition)) return reportFailure(Platform.errors.last());
    // A setting the service manager refuses removes the service again: it is not left behind
    // to run otherwise than configured (as another account, say).
    if (!Platform.services.configure(&definition)) {
        SystemError error = Platform.errors.last();
        reportSystemError(error);
        if (!Platform.services.remove(serviceName)) reportLastError();
        return failed(error);
    }
    // The service stays installed if the event source cannot be added; only the outcome is reported.
    if (!Platform.eventLog.addSource(serviceName, path)) return reportFailure(Platform.errors.last());
    return 0;
}

int uninstallService(const char* serviceName) {
    // A running service is stopped first: deleted while it runs, it would stay, running, until
    // it stops, and a new installation would find it there.
    if (stopService(serviceName) && Platform.services.remove(serviceName) && serviceGone(serviceName)) return 0;
    return reportFailure(Platform.errors.last());
}
