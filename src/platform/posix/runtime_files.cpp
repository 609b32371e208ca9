// POSIX backend: the file reads of the installed-runtime search (a file's first bytes, a
// path with its links followed), and the records of installed runtimes, which Linux has none of.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/posix/backend.h"

bool posixReadFileStart(const char* path, void* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char* out = static_cast<char*>(buffer);
    bool ok = true;
    while (*got < size) {
        ssize_t n = read(fd, out + *got, size - *got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        *got += static_cast<uint32_t>(n);
    }
    close(fd);
    return ok;
}

bool posixResolveLinks(const char* path, char* buffer, size_t size) {
    char* resolved = realpath(path, nullptr);
    if (resolved == nullptr) return false;
    size_t n = std::strlen(resolved);
    bool fits = n + 1 <= size;
    if (fits) std::memcpy(buffer, resolved, n + 1);
    std::free(resolved);
    return fits;
}

// Linux packages leave no records of the runtimes they install: those are found in the
// folder of runtimes (PlatformTraits::standardRuntimeFolder).
bool posixInstalledRuntimes(const RuntimeKind*, size_t, const RuntimeVisitor*) { return false; }
