// POSIX backend: the last error is errno; its text comes from strerror, except after a
// failed library load, whose reason only dlerror knows, and for the service manager's own
// errors.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix_backend.h"

uint32_t posixGetLastError() { return static_cast<uint32_t>(errno); }
void posixSetLastError(uint32_t code) { errno = static_cast<int>(code); }

namespace {
// Texts of the service manager's errors that are not errno values.
const char* serviceErrorText(uint32_t code) {
    switch (code) {
    case kErrorServiceDoesNotExist: return "The specified service does not exist as an installed service";
    case kErrorServiceExists: return "The specified service already exists";
    case kErrorInvalidServiceAccount: return "The account name is invalid or does not exist (no such user or group)";
    case kPosixErrorUnitName:
        return "The service name is not a valid systemd unit name (letters, digits and \":_.-\" only)";
    case kPosixErrorUnitText: return "The service's path or switch contains a line break or another control character";
    case kPosixErrorSystemctl: return "systemctl failed or could not be run";
    default: return nullptr;
    }
}
}  // namespace

bool posixFormatSystemMessage(uint32_t code, char* buffer, size_t size) {
    if (code == 0 || size == 0) return false;
    const char* ownText = code == ENOEXEC ? posixLastLibraryError() : serviceErrorText(code);
    if (ownText) {
        int n = snprintf(buffer, size, "%s.\n", ownText);
        return n > 0 && static_cast<size_t>(n) < size;
    }
    // The core sets this Win32 code itself when it refuses a path; here it has a text.
    if (code == kErrorFilenameTooLong) code = ENAMETOOLONG;
    char text[256];
    const char* s = strerror_r(static_cast<int>(code), text, sizeof text);
    if (!s || !*s || strncmp(s, "Unknown error", 13) == 0) return false;
    // Same shape as the Windows texts: the message ends with its own line end.
    int n = snprintf(buffer, size, "%s.\n", s);
    return n > 0 && static_cast<size_t>(n) < size;
}
