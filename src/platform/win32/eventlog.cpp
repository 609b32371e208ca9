// Win32 backend: the Application event log, and the source entry an install writes so that
// the event viewer shows a report's text.
#include <windows.h>
#include <cstring>
#include <string>

#include "platform/win32/backend.h"

namespace {

// The message table's two entries (resources/varnlet.rc), each "%1" and a line end.
constexpr DWORD kInfoEventId = 0x40000001u;
constexpr DWORD kErrorEventId = 0xC0000002u;
constexpr DWORD kTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// Sets one value of an existing key; false with the registry's status as the last error.
bool setValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &key);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    SetLastError(static_cast<DWORD>(rc));
    return rc == ERROR_SUCCESS;
}

}  // namespace

PlatformHandle win32RegisterEventSource(const char* sourceName) { return RegisterEventSourceA(nullptr, sourceName); }

bool win32ReportEvent(PlatformHandle source, bool error, const char* text) {
    const char* strings[1] = {text};
    return ReportEventA(static_cast<HANDLE>(source), error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
                        error ? kErrorEventId : kInfoEventId, nullptr, 1, 0, strings, nullptr) != 0;
}

bool win32DeregisterEventSource(PlatformHandle source) {
    return DeregisterEventSource(static_cast<HANDLE>(source)) != 0;
}

// The key stays when the service is removed, as the event log keeps the events it explains.
bool win32AddEventSource(const char* sourceName, const char* messageFile) {
    std::string path = std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\") + sourceName;
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(rc));
        return false;
    }
    RegCloseKey(key);
    // Stored with its terminating zero.
    DWORD size = static_cast<DWORD>(strlen(messageFile)) + 1;
    return setValue(path, "EventMessageFile", REG_EXPAND_SZ, messageFile, size) &&
           setValue(path, "TypesSupported", REG_DWORD, &kTypesSupported, sizeof kTypesSupported);
}
