// POSIX backend: the files of the class data cache and the quiet helper process that
// finishes one.
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>  // also environ, declared under _GNU_SOURCE (which g++ and clang set)

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix_backend.h"

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
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
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

int runQuietly(const char* const* argv) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    for (int fd = 0; fd < 3; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    userCacheFolder, createFolders, writeNewFile, renameFile, deleteFile, fileStamp, freeBytes, processId, runQuietly,
};
