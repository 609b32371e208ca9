// POSIX backend: reading a stretch of a file at an offset (a jar's directory sits at its end).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/backend.h"

bool posixReadFileAt(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got,
                     uint64_t* fileSize) {
    *got = 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    bool ok = fstat(fd, &info) == 0;
    if (ok) *fileSize = static_cast<uint64_t>(info.st_size);
    while (ok && *got < size) {
        ssize_t n = pread(fd, static_cast<char*>(buffer) + *got, size - *got, static_cast<off_t>(offset + *got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        *got += static_cast<uint32_t>(n);
    }
    int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}
