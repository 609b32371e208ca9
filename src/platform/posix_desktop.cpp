// POSIX backend: there are no dialogs and every run has the console it was started from.
// A running instance is marked by a lock on a file named after the mutex, which the system
// releases when the process ends, however it ends.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

#include "platform/posix_backend.h"

bool posixStartedWithConsole() { return true; }
bool posixAttachParentConsole() { return false; }
int posixShowMessageBox(const char*, const char*, uint32_t) { return 0; }
bool posixReadVersionString(const char*, char*, size_t) { return false; }

PlatformHandle posixCreateNamedMutex(const char* name, bool* existed) {
    *existed = false;
    const char* dir = getenv("XDG_RUNTIME_DIR");
    std::string path = dir && *dir ? dir : "/tmp";
    path += "/varnlet-";
    for (const char* p = name; *p; ++p) path += *p == '/' ? '_' : *p;
    path += ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        if (error != EWOULDBLOCK) {
            errno = error;
            return nullptr;
        }
        *existed = true;
        // Like a Win32 mutex that already existed: a handle, and the caller decides.
        return reinterpret_cast<PlatformHandle>(static_cast<intptr_t>(-1));
    }
    return reinterpret_cast<PlatformHandle>(static_cast<intptr_t>(fd) + 1);
}

bool posixOpenUrl(const char*) {
    errno = ENOTSUP;
    return false;
}
