// Win32 backend: the service rules that need no system call, so the unit tests run them too:
// the accounts a service may run as, and the status record the manager is sent.
#include <cctype>
#include <string>

#include "platform/win32/backend.h"

namespace {

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

}  // namespace

// No password is ever stored, so only the service accounts Windows keeps without one are taken.
bool win32ServiceAccountName(const char* configured, const char* serviceName, std::string* account) {
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

// Stop and shutdown are accepted while the service runs; its end keeps them, and its own
// code goes out as the service-specific one, under the manager's code for that (1066).
void win32UpdateServiceStatus(const ServiceStatus& update, Win32ServiceStatus* status) {
    constexpr uint32_t kStopped = 1, kStopPending = 3, kRunning = 4;
    constexpr uint32_t kAcceptStop = 1, kAcceptShutdown = 4;
    constexpr uint32_t kServiceSpecificError = 1066;
    status->type = 0x10;  // a service in a process of its own
    status->state = update.state == ServiceState::Running       ? kRunning
                    : update.state == ServiceState::StopPending ? kStopPending
                                                                : kStopped;
    if (update.state != ServiceState::Stopped) status->controlsAccepted = kAcceptStop | kAcceptShutdown;
    status->win32ExitCode = update.exitCode ? kServiceSpecificError : 0;
    status->serviceSpecificExitCode = update.exitCode;
    status->checkPoint = 0;
    status->waitHint = update.waitHintMs;
}
