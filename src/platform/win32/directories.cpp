// Win32 backend: current directory and the executable's own path.
#include <windows.h>

#include "platform/win32/backend.h"

uint32_t win32GetCurrentDirectory(char* buffer, uint32_t size) { return GetCurrentDirectoryA(size, buffer); }

uint32_t win32GetModulePath(char* buffer, uint32_t size) { return GetModuleFileNameA(nullptr, buffer, size); }

bool win32SetCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path) != 0; }
