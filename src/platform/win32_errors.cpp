// Win32 backend: last error and the system's message texts.
#include <windows.h>

#include "platform/win32_backend.h"

uint32_t win32GetLastError() { return GetLastError(); }
void win32SetLastError(uint32_t code) { SetLastError(code); }

bool win32FormatSystemMessage(uint32_t code, char* buffer, size_t size) {
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, static_cast<DWORD>(size), nullptr);
    return n != 0;
}
