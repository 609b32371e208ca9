// POSIX backend: current directory and the executable's own path.
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/posix/backend.h"

uint32_t posixGetCurrentDirectory(char* buffer, uint32_t size) {
    char big[65536];
    if (!getcwd(big, sizeof big)) return 0;
    size_t len = strlen(big);
    if (len + 1 > size) return static_cast<uint32_t>(len + 1);
    memcpy(buffer, big, len + 1);
    return static_cast<uint32_t>(len);
}

uint32_t posixGetModulePath(char* buffer, uint32_t size) {
    if (size == 0) return 0;
    ssize_t n = readlink("/proc/self/exe", buffer, size);
    if (n < 0) return 0;
    if (static_cast<uint32_t>(n) >= size) {  // truncated, as GetModuleFileNameA reports it
        buffer[size - 1] = '\0';
        errno = ENAMETOOLONG;
        return size;
    }
    buffer[n] = '\0';
    return static_cast<uint32_t>(n);
}

bool posixSetCurrentDirectory(const char* path) { return chdir(path) == 0; }
