// POSIX backend: there are no dialogs and every run has the console it was started from.
// A running instance is marked by a lock on a file named after the mutex, which the system
// releases when the process ends, however it ends; the file stays for the next run.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/backend.h"

bool posixStartedWithConsole() { return true; }
bool posixAttachParentConsole() { return false; }
bool posixShowMessageBox(const char*, const char*, BoxKind) { return false; }
bool posixReadVersionString(const char*, char*, size_t) { return false; }

// The lock lies in /tmp/varnlet-<uid>, a folder of the user's own: the same for every session
// of the user (with or without XDG_RUNTIME_DIR), apart from other users' locks, and never a
// folder another user made, who could otherwise hold the user's lock or read the names.
PlatformHandle posixCreateNamedMutex(const char* name, bool* existed) {
    *existed = false;
    std::string folder = "/tmp/varnlet-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return nullptr;
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return nullptr;
    struct stat st;
    int error = fstat(dir, &st) != 0                           ? errno
                : st.st_uid != geteuid()                       ? EACCES
                : (st.st_mode & 077) && fchmod(dir, 0700) != 0 ? errno
                                                               : 0;
    std::string file;
    for (const char* p = name; *p; ++p) file += *p == '/' ? '_' : *p;
    file += ".lock";
    int fd = error ? -1 : openat(dir, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && !error) error = errno;
    close(dir);
    if (fd < 0) {
        errno = error;
        return nullptr;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
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
