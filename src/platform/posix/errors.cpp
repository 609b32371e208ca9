// POSIX backend: the last error in the seam's kinds. System failures are errno values, with
// strerror's text, except after a failed library load, whose reason only dlerror knows. The
// service manager's own failures (no such unit, a unit that is there, a refused account or
// text, systemctl failing) have no errno: they are kept beside errno, with texts of their own.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/backend.h"

namespace {

// Codes of the backend's own errors; bit 29 keeps them apart from every errno value.
enum : uint32_t {
    kOwnServiceMissing = 0x20000001u,
    kOwnServiceExists,
    kOwnInvalidAccount,
    kOwnUnitName,
    kOwnUnitText,
    kOwnSystemctl,
    kOwnStopTimedOut,
    kOwnMarkedForDelete,
};

struct OwnError {
    uint32_t code;
    ErrorKind kind;
    const char* text;
};
constexpr OwnError kOwnErrors[] = {
    {kOwnServiceMissing, ErrorKind::ServiceMissing, "The specified service does not exist as an installed service"},
    {kOwnServiceExists, ErrorKind::ServiceExists, "The specified service already exists"},
    {kOwnInvalidAccount, ErrorKind::InvalidAccount,
     "The account name is invalid or does not exist (no such user or group)"},
    {kOwnUnitName, ErrorKind::InvalidServiceText,
     "The service name is not a valid systemd unit name (letters, digits and \":_.-\" only)"},
    {kOwnUnitText, ErrorKind::InvalidServiceText,
     "The service's path or switch contains a line break or another control character"},
    {kOwnSystemctl, ErrorKind::ServiceManagerFailed, "systemctl failed or could not be run"},
    {kOwnStopTimedOut, ErrorKind::ServiceStopTimedOut, "The service did not stop in time"},
    {kOwnMarkedForDelete, ErrorKind::ServiceMarkedForDelete, "The service is still there after its deletion"},
};

const OwnError* ownError(uint32_t code) {
    for (const OwnError& e : kOwnErrors)
        if (e.code == code) return &e;
    return nullptr;
}

// An own error stays the last error while errno, cleared when it was set, stays clear: the
// next failing system call takes over.
thread_local uint32_t lastOwnCode = 0;

// The native code of a kind the launcher or the backend decides on.
uint32_t codeOfKind(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::None: return 0;
    case ErrorKind::NotFound: return ENOENT;
    case ErrorKind::NoMoreItems: return ENOENT;
    case ErrorKind::MoreData: return ERANGE;
    case ErrorKind::NameTooLong: return ENAMETOOLONG;
    case ErrorKind::AccessDenied: return EACCES;
    case ErrorKind::ServiceMissing: return kOwnServiceMissing;
    case ErrorKind::ServiceExists: return kOwnServiceExists;
    case ErrorKind::InvalidAccount: return kOwnInvalidAccount;
    case ErrorKind::InvalidServiceText: return kOwnUnitText;
    case ErrorKind::ServiceManagerFailed: return kOwnSystemctl;
    case ErrorKind::ServiceStopTimedOut: return kOwnStopTimedOut;
    case ErrorKind::ServiceMarkedForDelete: return kOwnMarkedForDelete;
    case ErrorKind::Unsupported: return ENOTSUP;
    case ErrorKind::OutOfMemory: return ENOMEM;
    case ErrorKind::Other: return EIO;
    }
    return EIO;
}

}  // namespace

SystemError posixError(int code) {
    switch (code) {
    case 0: return kNoError;
    case ENOENT:
    case ENOTDIR: return {ErrorKind::NotFound, static_cast<uint32_t>(code)};
    case EACCES:
    case EPERM:
    case EROFS: return {ErrorKind::AccessDenied, static_cast<uint32_t>(code)};
    case ENAMETOOLONG: return {ErrorKind::NameTooLong, static_cast<uint32_t>(code)};
    case ENOMEM: return {ErrorKind::OutOfMemory, static_cast<uint32_t>(code)};
    case ENOTSUP: return {ErrorKind::Unsupported, static_cast<uint32_t>(code)};
    default: return {ErrorKind::Other, static_cast<uint32_t>(code)};
    }
}

SystemError posixGetLastError() {
    if (lastOwnCode != 0 && errno == 0) return {ownError(lastOwnCode)->kind, lastOwnCode};
    return posixError(errno);
}

void posixSetLastError(SystemError error) {
    const OwnError* own = ownError(error.code);
    lastOwnCode = own ? error.code : 0;
    errno = own ? 0 : static_cast<int>(error.code);
}

SystemError posixErrorOfKind(ErrorKind kind) { return SystemError{kind, codeOfKind(kind)}; }

bool posixFail(ErrorKind kind) {
    posixSetLastError(posixErrorOfKind(kind));
    return false;
}

bool posixFailUnitName() {
    posixSetLastError({ErrorKind::InvalidServiceText, kOwnUnitName});
    return false;
}

bool posixFormatSystemMessage(SystemError error, char* buffer, size_t size) {
    uint32_t code = error.code;
    if (code == 0 || size == 0) return false;
    const OwnError* own = ownError(code);
    const char* ownText = code == ENOEXEC ? posixLastLibraryError() : own ? own->text : nullptr;
    if (ownText) {
        int n = snprintf(buffer, size, "%s.\n", ownText);
        return n > 0 && static_cast<size_t>(n) < size;
    }
    char text[256];
    const char* s = strerror_r(static_cast<int>(code), text, sizeof text);
    if (!s || !*s || strncmp(s, "Unknown error", 13) == 0) return false;
    // Same shape as the Windows texts: the message ends with its own line end.
    int n = snprintf(buffer, size, "%s.\n", s);
    return n > 0 && static_cast<size_t>(n) < size;
}
