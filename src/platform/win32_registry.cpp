// Win32 backend: registry reads and writes under HKEY_LOCAL_MACHINE, in the process's own view.
#include <windows.h>

#include "platform/win32_backend.h"

static HKEY rootKey(RegistryRoot) { return HKEY_LOCAL_MACHINE; }

SystemError win32RegOpenKey(RegistryRoot root, const char* path, uint32_t access, PlatformHandle* key) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExA(rootKey(root), path, 0, access, &h);
    *key = rc == ERROR_SUCCESS ? h : nullptr;
    return win32Error(static_cast<uint32_t>(rc));
}

SystemError win32RegQueryValue(PlatformHandle key, const char* name, uint32_t* type, void* data, uint32_t* size) {
    DWORD t = 0, s = *size;
    LONG rc = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &t, static_cast<BYTE*>(data), &s);
    *type = t;
    *size = s;
    return win32Error(static_cast<uint32_t>(rc));
}

SystemError win32RegEnumKey(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize) {
    DWORD s = *nameSize;
    LONG rc = RegEnumKeyExA(static_cast<HKEY>(key), index, name, &s, nullptr, nullptr, nullptr, nullptr);
    *nameSize = s;
    return win32Error(static_cast<uint32_t>(rc));
}

SystemError win32RegCloseKey(PlatformHandle key) {
    return win32Error(static_cast<uint32_t>(RegCloseKey(static_cast<HKEY>(key))));
}

SystemError win32RegCreateKey(RegistryRoot root, const char* path, uint32_t access, PlatformHandle* key) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyExA(rootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &h, nullptr);
    *key = rc == ERROR_SUCCESS ? h : nullptr;
    return win32Error(static_cast<uint32_t>(rc));
}

SystemError win32RegSetValue(PlatformHandle key, const char* name, uint32_t type, const void* data, uint32_t size) {
    return win32Error(static_cast<uint32_t>(
        RegSetValueExA(static_cast<HKEY>(key), name, 0, type, static_cast<const BYTE*>(data), size)));
}
