// POSIX backend: the launcher's log files, written with write(2); the process's standard
// streams follow them by dup2, which swaps a descriptor in one step, so no writer ever meets
// it closed, and shares the file's offset, so native writers and ours never write over each
// other.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/posix/backend.h"

namespace {

// Handles are descriptors plus one, so that descriptor 0 is no null handle.
int fdOf(PlatformHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file)) - 1; }

FILE* journal;  // where a service's reports go once standard error leads into a log

// Appending: every write lands at the end, whoever else writes to the file.
PlatformHandle openLog(const char* path, bool empty) {
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (empty ? O_TRUNC : 0), 0666);
    if (fd < 0) return nullptr;
    return reinterpret_cast<PlatformHandle>(static_cast<intptr_t>(fd) + 1);
}

bool writeLog(PlatformHandle file, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fdOf(file), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

uint64_t logSize(PlatformHandle file) {
    struct stat st;
    return fstat(fdOf(file), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void closeLog(PlatformHandle file) { close(fdOf(file)); }

bool pointStandardStreams(PlatformHandle file, bool output, bool error) {
    if (error && !journal) {
        int copy = fcntl(2, F_DUPFD_CLOEXEC, 3);
        journal = copy >= 0 ? fdopen(copy, "w") : nullptr;
    }
    fflush(stdout);
    fflush(stderr);
    bool ok = !output || dup2(fdOf(file), 1) == 1;
    return (!error || dup2(fdOf(file), 2) == 2) && ok;
}

int64_t localDay() {
    time_t now = time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local)) return static_cast<int64_t>(now) / 86400;
    int64_t seconds = static_cast<int64_t>(now) + local.tm_gmtoff;
    return (seconds >= 0 ? seconds : seconds - 86399) / 86400;
}

uint64_t milliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

bool movable(const char*) { return true; }  // open files move freely

// The kernel's rename without replacing; where the file system has none, a rename once the
// name is seen free.
bool move(const char* from, const char* to) {
#ifdef SYS_renameat2
    if (syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1 /* RENAME_NOREPLACE */) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    struct stat st;
    if (lstat(to, &st) != 0) return rename(from, to) == 0;
    errno = EEXIST;
    return false;
}

// Readable to others as the files in them are (the umask decides), as logging libraries make them.
bool createFolders(const char* path) { return posixCreateFolders(path, 0777); }

}  // namespace

FILE* posixReportStream() { return journal ? journal : stderr; }

const LogFileOps kPosixLogFileOps = {openLog,  writeLog,     logSize, closeLog, pointStandardStreams,
                                     localDay, milliseconds, movable, move,     createFolders};
