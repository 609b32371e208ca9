// POSIX backend: the last error is errno; its text comes from strerror, except after a
// failed library load, whose reason only dlerror knows.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix_backend.h"

// Kept by posix_library.cpp for the ENOEXEC it leaves behind.
const char* posixLastLibraryError();

uint32_t posixGetLastError() { return static_cast<uint32_t>(errno); }
void posixSetLastError(uint32_t code) { errno = static_cast<int>(code); }

bool posixFormatSystemMessage(uint32_t code, char* buffer, size_t size) {
    if (code == 0 || size == 0) return false;
    const char* libraryError = code == ENOEXEC ? posixLastLibraryError() : nullptr;
    if (libraryError) {
        int n = snprintf(buffer, size, "%s.\n", libraryError);
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
