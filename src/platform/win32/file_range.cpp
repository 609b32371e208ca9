// Win32 backend: reading a stretch of a file at an offset (a jar's directory sits at its end).
#include <windows.h>

#include "platform/win32/backend.h"

bool win32ReadFileAt(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got,
                     uint64_t* fileSize) {
    *got = 0;
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length, position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    bool ok = GetFileSizeEx(h, &length) && SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
    if (ok) *fileSize = static_cast<uint64_t>(length.QuadPart);
    while (ok && *got < size) {
        DWORD n = 0;
        if (!ReadFile(h, static_cast<char*>(buffer) + *got, size - *got, &n, nullptr)) ok = false;
        if (!ok || n == 0) break;
        *got += n;
    }
    DWORD saved = GetLastError();
    CloseHandle(h);
    SetLastError(saved);
    return ok;
}
