// Win32 backend: file attributes, directory listing and file identity.
#include <windows.h>
#include <cstring>
#include <string>

#include "platform/win32/backend.h"

FileKind win32FileKind(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Directory : FileKind::File;
}

// Opened without access rights, so a running executable or a folder in use can be asked too.
bool win32GetFileIdentity(const char* path, DirIdentity* identity) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

SystemError win32ListDirectory(const char* directory, DirListing* listing) {
    listing->hasIdentity = win32GetFileIdentity(directory, &listing->identity);
    std::string pattern = directory;
    pattern += "\\*.*";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return win32GetLastError();
    DWORD result = ERROR_SUCCESS;
    do {
        const char* name = data.cFileName;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (!listing->add(name, std::strlen(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
            result = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
    } while (FindNextFileA(find, &data));
    DWORD error = result == ERROR_SUCCESS ? GetLastError() : ERROR_NO_MORE_FILES;
    if (error != ERROR_NO_MORE_FILES) result = error;
    FindClose(find);
    SetLastError(result == ERROR_SUCCESS ? ERROR_NO_MORE_FILES : result);
    return win32Error(result);
}
