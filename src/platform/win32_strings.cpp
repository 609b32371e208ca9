// Win32 backend: the executable's string table and private-profile files.
#include <windows.h>
#include <cstdio>

#include "platform/win32_backend.h"

int win32LoadString(unsigned id, char* buffer, int size) { return LoadStringA(nullptr, id, buffer, size); }

uint32_t win32ReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                uint32_t size, const char* file) {
    return GetPrivateProfileStringA(section, key, defaultText, buffer, size, file);
}

bool win32CanOpenForReading(const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) return false;
    fclose(f);
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
