// Win32 backend: the file reads of the installed-runtime search (a file's first bytes, a
// path with its links followed).
#include <windows.h>

#include <cstring>

#include "platform/bounded_copy.h"
#include "platform/win32/backend.h"

bool win32ReadFileStart(const char* path, void* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    while (*got < size) {
        DWORD n = 0;
        if (!ReadFile(h, static_cast<char*>(buffer) + *got, size - *got, &n, nullptr)) ok = false;
        if (!ok || n == 0) break;
        *got += n;
    }
    CloseHandle(h);
    return ok;
}

bool win32ResolveLinks(const char* path, char* buffer, size_t size) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char resolved[MAX_PATH * 4];
    DWORD n = GetFinalPathNameByHandleA(h, resolved, sizeof resolved, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n > 0 && n < sizeof resolved) {
        if (std::strncmp(resolved, "\\\\?\\UNC\\", 8) == 0) {
            resolved[6] = '\\';
            return copyIfFits(buffer, size, resolved + 6);
        }
        return copyIfFits(buffer, size, std::strncmp(resolved, "\\\\?\\", 4) == 0 ? resolved + 4 : resolved);
    }
    char full[MAX_PATH * 4];
    DWORD m = GetFullPathNameA(path, sizeof full, full, nullptr);
    return m > 0 && m < sizeof full && copyIfFits(buffer, size, full);
}
