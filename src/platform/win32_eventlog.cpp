// Win32 backend: the Application event log.
#include <windows.h>

#include "platform/win32_backend.h"

PlatformHandle win32RegisterEventSource(const char* sourceName) { return RegisterEventSourceA(nullptr, sourceName); }

bool win32ReportEvent(PlatformHandle source, uint16_t eventType, uint32_t eventId, const char* text) {
    const char* strings[1] = {text};
    return ReportEventA(static_cast<HANDLE>(source), eventType, 0, eventId, nullptr, 1, 0, strings, nullptr) != 0;
}

bool win32DeregisterEventSource(PlatformHandle source) {
    return DeregisterEventSource(static_cast<HANDLE>(source)) != 0;
}
