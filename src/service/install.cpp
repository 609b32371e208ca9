// Installing and removing the launcher as a service: the service itself with its
// description and, on Windows, its event-log source (so the event viewer shows the
// reports' text). A failure is reported where it is met and its error left as the last
// error, from which the operation's exit code follows.
#include "service/install.h"

#include <cctype>
#include <cstring>
#include <string>

#include "core/report.h"
#include "service/runtime.h"

namespace {

// Joins two texts into `buffer`; false when they do not fit (nothing is cut).
bool joinText(char* buffer, size_t size, const char* prefix, const char* name) {
    size_t a = strlen(prefix), b = strlen(name);
    if (a >= size || b >= size - a) return false;
    memcpy(buffer, prefix, a);
    memcpy(buffer + a, name, b + 1);
    return true;
}

// Reporting may change the last error (a console write on POSIX): the error is set again after it.
int failed(SystemError error) {
    Platform.errors.set(error);
    return -1;
}
int reportFailure(SystemError error) {
    reportSystemError(error);
    return failed(error);
}

// A text that does not fit its buffer is refused before anything is changed.
int refuseTooLong(const char* object) {
    reportSystemError(Platform.errors.ofKind(ErrorKind::NameTooLong));
    reportError(message(MsgFileAccess), object);
    return failed(Platform.errors.ofKind(ErrorKind::NameTooLong));
}

RegistryWrite writeRegistryValue(RegistryRoot root, const char* subkey, const char* valueName, uint32_t type,
                                 const void* data, uint32_t size, SystemError* status) {
    PlatformHandle key = nullptr;
    SystemError rc = Platform.registry.openKey(root, subkey, kKeyWrite, &key);
    if (rc.failed()) {
        if (status) *status = rc;
        return RegistryWrite::KeyFailed;
    }
    rc = Platform.registry.setValue(key, valueName, type, data, size);
    Platform.registry.closeKey(key);
    if (rc.failed()) {
        if (status) *status = rc;
        return RegistryWrite::ValueFailed;
    }
    return RegistryWrite::Written;
}

// Compared in any letter case, as the service manager compares names.
bool sameText(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// The rest of `text` after `prefix` (any letter case), or null.
const char* afterPrefix(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix))) return nullptr;
    return text;
}

// Seconds to milliseconds for the service manager's delays, which are 32-bit.
uint32_t secondsToMs(int32_t seconds) {
    return seconds >= static_cast<int32_t>(0xFFFFFFFFu / 1000) ? 0xFFFFFFFFu / 1000 * 1000
                                                               : static_cast<uint32_t>(seconds) * 1000;
}

// The configured ';'-separated names as the service manager's list: each name ended by a
// zero, one more zero after the last. Blank items are skipped.
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

// Everything the service manager needs besides what creating the service sets; with the
// defaults (an older launcher's entries) nothing is changed. False with the last error set.
bool applyServiceSettings(PlatformHandle service, const std::string& account) {
    std::string dependencies = dependencyList(Config.ServiceDependencies);
    if ((!dependencies.empty() || !account.empty()) &&
        !Platform.services.changeConfig(service, dependencies.empty() ? nullptr : dependencies.data(),
                                        account.empty() ? nullptr : account.c_str()))
        return false;
    if (Config.ServiceDelayedStart && !Config.ServiceManualStart && !Platform.services.setDelayedStart(service, true))
        return false;
    if (Config.ServiceRestartDelay > 0 && Config.ServiceRestartCount > 0) {
        uint32_t count = Config.ServiceRestartCount > static_cast<int32_t>(kMaxServiceRestarts)
                             ? kMaxServiceRestarts
                             : static_cast<uint32_t>(Config.ServiceRestartCount);
        uint32_t reset = Config.ServiceRestartReset > 0 ? static_cast<uint32_t>(Config.ServiceRestartReset) : 0;
        if (!Platform.services.setFailureActions(service, reset, secondsToMs(Config.ServiceRestartDelay), count))
            return false;
    }
    return true;
}

// The account check before anything is created. systemd: the system user (and group) must
// exist, and is written into the unit; Windows: one of the service accounts.
bool checkAccount(const char* serviceName, std::string* account) {
    if (Platform.traits.systemdServices) {
        *account = Config.ServiceAccount;
        if (account->empty() || Platform.services.findAccount(account->c_str())) return true;
        reportFailure(Platform.errors.last());
        return false;
    }
    if (serviceAccountName(Config.ServiceAccount, serviceName, account)) return true;
    // Only the service's own accounts are taken: no password is ever stored.
    reportFailure(Platform.errors.ofKind(ErrorKind::InvalidAccount));
    return false;
}

// The Windows settings a systemd unit has no counterpart for are refused before anything is
// written, rather than left out.
bool checkSystemdSettings() {
    if (!Platform.traits.systemdServices) return true;
    const char* setting = Config.ServiceDelayedStart && !Config.ServiceManualStart ? "ServiceDelayedStart"
                          : !dependencyList(Config.ServiceDependencies).empty()    ? "ServiceDependencies"
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
bool stopService(PlatformHandle service) {
    bool sent = false;
    SystemError refused = kNoError;
    for (uint32_t waited = 0;; waited += kServicePollMs) {
        ServiceStatusRecord status;
        if (!Platform.services.queryStatus(service, &status)) return false;
        if (status.dwCurrentState == kServiceStopped) return true;
        // A refused stop counts unless the service is stopping all the same (the manager may
        // lose the answer of a service that ends at once).
        if (refused.failed() && status.dwCurrentState != kServiceStopPending) break;
        if (!sent && status.dwCurrentState != kServiceStopPending) {
            sent = true;
            if (!Platform.services.control(service, kServiceControlStop)) refused = Platform.errors.last();
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
bool serviceGone(PlatformHandle manager, const char* serviceName) {
    for (uint32_t waited = 0;; waited += kServicePollMs) {
        PlatformHandle service = Platform.services.open(manager, serviceName, kServiceQueryConfig);
        if (!service) return Platform.errors.last().kind == ErrorKind::ServiceMissing;
        Platform.services.close(service);
        if (waited >= kStopWaitHintMarginMs) {
            Platform.errors.set(Platform.errors.ofKind(ErrorKind::ServiceMarkedForDelete));
            return false;
        }
        Platform.threads.sleepMs(kServicePollMs);
    }
}

}  // namespace

int serviceExitCode(SystemError error) {
    if (!Platform.traits.systemdServices) return error.code ? static_cast<int>(error.code) : 1;
    switch (error.kind) {
    case ErrorKind::AccessDenied: return kSystemdExitDenied;
    case ErrorKind::ServiceExists: return kSystemdExitExists;
    case ErrorKind::ServiceMissing: return kSystemdExitMissing;
    case ErrorKind::InvalidServiceText:
    case ErrorKind::InvalidAccount:
    case ErrorKind::Unsupported:
    case ErrorKind::NameTooLong: return kSystemdExitRefused;
    case ErrorKind::ServiceManagerFailed: return kSystemdExitSystemctl;
    default: return kSystemdExitFailed;
    }
}

bool serviceAccountName(const char* configured, const char* serviceName, std::string* account) {
    static const char* const kBuiltIn[] = {"LocalService", "NetworkService"};
    static const char kAuthority[] = "NT AUTHORITY\\";
    static const char kVirtual[] = "NT SERVICE\\";
    account->clear();
    if (configured[0] == '\0' || sameText(configured, "LocalSystem")) return true;
    for (const char* name : kBuiltIn) {
        const char* bare = afterPrefix(configured, kAuthority);
        if (sameText(bare ? bare : configured, name)) {
            *account = std::string(kAuthority) + name;
            return true;
        }
    }
    const char* virtualName = afterPrefix(configured, kVirtual);
    if (virtualName && sameText(virtualName, serviceName)) {
        *account = std::string(kVirtual) + serviceName;
        return true;
    }
    return false;
}

ServiceQuery isServiceInstalled(const char* serviceName) {
    PlatformHandle manager = Platform.services.openManager(kScManagerCreateService);
    if (!manager) return ServiceQuery::Failed;
    PlatformHandle service = Platform.services.open(manager, serviceName, kServiceQueryConfig);
    if (service) {
        Platform.services.close(service);
        Platform.services.close(manager);
        return ServiceQuery::Installed;
    }
    SystemError error = Platform.errors.last();
    Platform.services.close(manager);
    // The caller reports a failed query, so it must still find the query's own error.
    Platform.errors.set(error);
    return error.kind == ErrorKind::ServiceMissing ? ServiceQuery::NotInstalled : ServiceQuery::Failed;
}

int installService(const char* serviceName, const char* description) {
    char path[kPathBufferSize];
    char commandLine[kServiceCommandLineSize];
    char eventLogKey[kRegistryKeyPathSize];

    PlatformHandle manager = Platform.services.openManager(kScManagerCreateService);
    if (!manager) return reportFailure(Platform.errors.last());
    // Every text is built before the service is created, so a refusal leaves nothing behind.
    uint32_t n = Platform.files.modulePath(path, sizeof path);
    int refused = 0;
    SystemError error = kNoError;
    if (n == 0) {
        error = Platform.errors.last();
        reportSystemError(error);
        reportError(message(MsgFileAccess), "CURRENT_EXE");
        refused = -1;
    } else if (n >= sizeof path) {
        refused = refuseTooLong("CURRENT_EXE");
    } else {
        std::string program = std::string("\"") + path + "\" ";
        if (!joinText(commandLine, sizeof commandLine, program.c_str(), Config.ServiceSwitch))
            refused = refuseTooLong(path);
        else if (!joinText(eventLogKey, sizeof eventLogKey, kEventLogKeyPrefix, serviceName))
            refused = refuseTooLong(serviceName);
    }
    std::string account;
    if (!refused && (!checkAccount(serviceName, &account) || !checkSystemdSettings())) refused = -1;
    if (refused) {
        if (!error.failed()) error = Platform.errors.last();
        Platform.services.close(manager);
        return failed(error);
    }

    uint32_t startType = Config.ServiceManualStart ? kServiceDemandStart : kServiceAutoStart;
    PlatformHandle service =
        Platform.services.create(manager, serviceName, serviceName, kServiceAllAccess, kServiceWin32OwnProcess,
                                 startType, kServiceErrorNormal, commandLine);
    if (!service) {
        error = Platform.errors.last();
        reportSystemError(error);
        Platform.services.close(manager);
        return failed(error);
    }
    // A setting the service manager refuses removes the service again; a registry failure below
    // leaves it, without the texts of its events.
    ServiceSettings settings{description ? description : "",
                             Config.ServiceRestartDelay > 0 ? static_cast<uint32_t>(Config.ServiceRestartDelay) : 0,
                             stopTimeoutSeconds(),
                             Config.ServiceRestartCount > 0 ? static_cast<uint32_t>(Config.ServiceRestartCount) : 0,
                             Config.ServiceRestartReset > 0 ? static_cast<uint32_t>(Config.ServiceRestartReset) : 0,
                             Platform.traits.systemdServices ? account.c_str() : nullptr};
    bool configured = Platform.services.configure(service, &settings) &&
                      applyServiceSettings(service, Platform.traits.systemdServices ? std::string() : account);
    if (!configured) {
        error = Platform.errors.last();
        reportSystemError(error);
        // Not left behind to run otherwise than configured (as another account, say).
        if (!Platform.services.remove(service)) reportLastError();
    }
    Platform.services.close(service);
    Platform.services.close(manager);
    if (!configured) return failed(error);
    if (!Platform.traits.eventSourcesInRegistry) return 0;

    // The service stays installed if a registry step fails; only the outcome is reported.
    SystemError status = kNoError;
    if (createRegistryKey(RegistryRoot::LocalMachine, eventLogKey, &status) != RegistryWrite::Written)
        return reportFailure(status);
    if (writeRegistryString(RegistryRoot::LocalMachine, eventLogKey, "EventMessageFile", path, &status) !=
        RegistryWrite::Written)
        return reportFailure(status);
    if (writeRegistryDword(RegistryRoot::LocalMachine, eventLogKey, "TypesSupported", kEventLogTypesSupported,
                           &status) != RegistryWrite::Written)
        return reportFailure(status);
    return 0;
}

int uninstallService(const char* serviceName) {
    PlatformHandle manager = Platform.services.openManager(kScManagerAllAccess);
    if (!manager) return reportFailure(Platform.errors.last());
    PlatformHandle service =
        Platform.services.open(manager, serviceName, kDeleteAccess | kServiceStop | kServiceQueryStatus);
    // A running service is stopped first: deleted while it runs, it would stay, running, until
    // it stops, and a new installation would find it there.
    bool deleted = service && stopService(service) && Platform.services.remove(service);
    SystemError error = deleted ? kNoError : Platform.errors.last();
    if (service) Platform.services.close(service);
    if (deleted && !serviceGone(manager, serviceName)) {
        deleted = false;
        error = Platform.errors.last();
    }
    Platform.services.close(manager);
    return deleted ? 0 : reportFailure(error);
}

RegistryWrite createRegistryKey(RegistryRoot root, const char* subkey, SystemError* status) {
    PlatformHandle key = nullptr;
    SystemError rc = Platform.registry.createKey(root, subkey, kKeyAllAccess, &key);
    if (rc.failed()) {
        if (status) *status = rc;
        return RegistryWrite::KeyFailed;
    }
    Platform.registry.closeKey(key);
    return RegistryWrite::Written;
}

RegistryWrite writeRegistryString(RegistryRoot root, const char* subkey, const char* valueName, const char* text,
                                  SystemError* status) {
    // Stored with its terminating zero.
    size_t size = strlen(text) + 1;
    if (size > 0xFFFFFFFFu) {
        if (status) *status = Platform.errors.ofKind(ErrorKind::Other);
        return RegistryWrite::ValueFailed;
    }
    return writeRegistryValue(root, subkey, valueName, kRegExpandSz, text, static_cast<uint32_t>(size), status);
}

RegistryWrite writeRegistryDword(RegistryRoot root, const char* subkey, const char* valueName, uint32_t value,
                                 SystemError* status) {
    return writeRegistryValue(root, subkey, valueName, kRegDword, &value, sizeof value, status);
}
