// POSIX backend: file attributes and directory listing. The listing reads the directory's
// records itself (as readdir would, 32 KiB at a time) so that the open directory also
// gives its identity, and links are classified relative to it without a path lookup.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "platform/posix/backend.h"

namespace {

constexpr size_t kRecordBufferSize = size_t{32} * 1024;

}  // namespace

FileKind posixFileKind(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return FileKind::Missing;
    return S_ISDIR(st.st_mode) ? FileKind::Directory : FileKind::File;
}

bool posixGetFileIdentity(const char* path, DirIdentity* identity) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    *identity = DirIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

SystemError posixListDirectory(const char* directory, DirListing* listing) {
    int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return posixGetLastError();
    struct stat st;
    if (fstat(fd, &st) == 0) {
        listing->identity = DirIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
        listing->hasIdentity = true;
    }
    std::unique_ptr<char[]> records(new (std::nothrow) char[kRecordBufferSize]);
    int result = records ? 0 : ENOMEM;
    while (result == 0) {
        ssize_t filled = getdents64(fd, records.get(), kRecordBufferSize);
        if (filled < 0) {
            result = errno;
            break;
        }
        if (filled == 0) break;
        for (ssize_t at = 0; at < filled;) {
            const struct dirent64* d = reinterpret_cast<const struct dirent64*>(records.get() + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            bool isDir = d->d_type == DT_DIR;
            if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
                // Links count as what they point at, as the Windows listing reports them.
                struct stat target;
                isDir = fstatat(fd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
            }
            if (!listing->add(name, std::strlen(name), isDir)) {
                result = ENOMEM;
                break;
            }
        }
    }
    close(fd);
    if (result != 0) errno = result;
    return posixError(result);
}
