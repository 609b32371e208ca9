// POSIX backend: file attributes, directory listing and directory identity.
#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/stat.h>

#include "platform/posix_backend.h"

uint32_t posixGetFileAttributes(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return kInvalidFileAttributes;
    return S_ISDIR(st.st_mode) ? kFileAttributeDirectory : 0x80 /* normal */;
}

uint32_t posixListDirectory(const char* directory, std::vector<DirEntry>* entries) {
    DIR* dir = opendir(directory);
    if (!dir) return static_cast<uint32_t>(errno);
    std::string path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    size_t base = path.size();
    uint32_t result = kErrorSuccess;
    for (;;) {
        errno = 0;
        struct dirent* d = readdir(dir);
        if (!d) {
            if (errno != 0) result = static_cast<uint32_t>(errno);
            break;
        }
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        bool isDir = d->d_type == DT_DIR;
        if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
            // Links count as what they point at, as the Windows listing reports them.
            path.resize(base);
            path += name;
            struct stat st;
            isDir = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries->push_back(DirEntry{name, isDir});
    }
    closedir(dir);
    if (result != kErrorSuccess) errno = static_cast<int>(result);
    return result;
}

bool posixDirectoryIdentity(const char* directory, DirIdentity* identity) {
    struct stat st;
    if (stat(directory, &st) != 0) return false;
    identity->volume = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    return true;
}
