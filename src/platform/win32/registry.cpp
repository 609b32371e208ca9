// Win32 backend: the registry under HKEY_LOCAL_MACHINE, in the process's own view, as the
// runtime records are read from it (win32_runtime_records.cpp walks them).
#include <windows.h>

#include "platform/win32/backend.h"

namespace {

SystemError openKey(const char* path, PlatformHandle* key) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h);
    *key = rc == ERROR_SUCCESS ? h : nullptr;
    return win32Error(static_cast<uint32_t>(rc));
}

SystemError queryValue(PlatformHandle key, const char* name, RegistryValueType* type, void* data, uint32_t* size) {
    DWORD t = 0, s = *size;
    LONG rc = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &t, static_cast<BYTE*>(data), &s);
    // An expandable string is a string: its references stay as they stand.
    *type = t == REG_SZ || t == REG_EXPAND_SZ ? RegistryValueType::Text : RegistryValueType::Other;
    *size = s;
    return win32Error(static_cast<uint32_t>(rc));
}

SystemError enumKey(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize) {
    DWORD s = *nameSize;
    LONG rc = RegEnumKeyExA(static_cast<HKEY>(key), index, name, &s, nullptr, nullptr, nullptr, nullptr);
    *nameSize = s;
    return win32Error(static_cast<uint32_t>(rc));
}

void closeKey(PlatformHandle key) { RegCloseKey(static_cast<HKEY>(key)); }

const RegistryReader kRegistry = {openKey, queryValue, enumKey, closeKey};

}  // namespace

bool win32InstalledRuntimes(const RuntimeKind* kinds, size_t kindCount, const RuntimeVisitor* visitor) {
    return win32RuntimeRecords(kRegistry, kinds, kindCount, visitor);
}
