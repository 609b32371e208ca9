// POSIX backend: the files of the class data cache and the helper processes that finish one.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>  // also environ, declared under _GNU_SOURCE (which g++ and clang set)

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/backend.h"

namespace {

bool copyOut(const std::string& text, char* buffer, size_t size) {
    if (text.empty() || text.size() + 1 > size) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

bool userCacheFolder(bool forService, char* buffer, size_t size) {
    const char* systemd = getenv("CACHE_DIRECTORY");  // a unit's CacheDirectory=
    if (forService && systemd && systemd[0] == '/') return copyOut(systemd, buffer, size);
    // systemd gives a system service no HOME; root's own caches belong in /var/cache.
    if (forService && geteuid() == 0) return copyOut("/var/cache", buffer, size);
    const char* xdg = getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return copyOut(xdg, buffer, size);
    const char* home = getenv("HOME");
    if (!home || home[0] != '/') {
        struct passwd* pw = getpwuid(geteuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home && home[0] == '/' && copyOut(std::string(home) + "/.cache", buffer, size);
}

bool createFolders(const char* path) { return posixCreateFolders(path, 0700); }

bool writeNewFile(const char* path, const void* data, size_t size) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const char* p = static_cast<const char*>(data);
    bool ok = true;
    while (ok && size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) p += n, size -= static_cast<size_t>(n);
    }
    ok = close(fd) == 0 && ok;
    if (!ok) unlink(path);
    return ok;
}

bool renameFile(const char* from, const char* to) { return rename(from, to) == 0; }
bool deleteFile(const char* path) { return unlink(path) == 0; }

bool fileStamp(const char* path, uint64_t* size, uint64_t* time) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    *time = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec);
    return true;
}

uint64_t freeBytes(const char* folder) {
    struct statvfs vfs;
    if (statvfs(folder, &vfs) != 0) return 0;
    return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

uint32_t processId() { return static_cast<uint32_t>(getpid()); }

// The environment without the variable `name` (with its '=') and with `added`, when given.
std::vector<char*> environmentWith(const char* name, const char* added) {
    std::vector<char*> out;
    size_t n = std::strlen(name);
    for (char** p = environ; *p; ++p)
        if (std::strncmp(*p, name, n) != 0) out.push_back(*p);
    if (added) out.push_back(const_cast<char*>(added));
    out.push_back(nullptr);
    return out;
}

int runQuietly(const char* const* argv) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    for (int fd = 0; fd < 3; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid;
    std::vector<char*> environment = environmentWith("JDK_JAVA_OPTIONS=", nullptr);
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CacheTrust examine(const char* path, bool folder, uint64_t* size, uint64_t* time) {
    struct stat st;
    if (lstat(path, &st) != 0) return errno == ENOENT || errno == ENOTDIR ? CacheTrust::Missing : CacheTrust::Open;
    bool owned = st.st_uid == geteuid() || st.st_uid == 0;
    // Group and others may not write: a group's other members are other accounts.
    if (!owned || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 || (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
        return CacheTrust::Open;
    *size = static_cast<uint64_t>(st.st_size);
    *time = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(st.st_mtim.tv_nsec);
    return CacheTrust::Private;
}

bool processRunning(uint32_t pid) { return pid != 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Forked rather than spawned: the child must leave the session and lower its priority before
// it runs, and it may only make system calls until then (the JVM's threads may hold locks).
uint32_t startDetached(const char* program, const char* assignment) {
    std::string name(assignment, std::strcspn(assignment, "=") + 1);
    std::vector<char*> environment = environmentWith(name.c_str(), assignment);
    char* argv[] = {const_cast<char*>(program), nullptr};
    struct rlimit limit;
    int highest =
        getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? static_cast<int>(limit.rlim_cur) : 65536;
    pid_t pid = fork();
    if (pid != 0) return pid > 0 ? static_cast<uint32_t>(pid) : 0;
    setsid();
    setpriority(PRIO_PROCESS, 0, 19);
    int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
#endif
        for (int fd = 3; fd < highest; ++fd) close(fd);
    execve(program, argv, environment.data());
    _exit(127);
}

}  // namespace

bool posixCreateFolders(const char* path, unsigned mode) {
    std::string p(path);
    for (size_t at = 1; at <= p.size(); ++at) {
        if (at < p.size() && p[at] != '/') continue;
        std::string part = p.substr(0, at);
        if (mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    if (stat(path, &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
}

const CacheFileOps kPosixCacheFileOps = {
    userCacheFolder, createFolders, writeNewFile, renameFile, deleteFile,     fileStamp,
    freeBytes,       processId,     runQuietly,   examine,    processRunning, startDetached,
};
