// Win32 backend: loading the JVM library with its runtime's own DLL folder searched.
#include <windows.h>

#include <string>

#include "platform/win32/backend.h"

#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000
#endif

#ifndef LOAD_LIBRARY_SEARCH_USER_DIRS
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

// A path in the process's code page as a full wide path, whatever directory it is relative
// to (the search flags and AddDllDirectory refuse relative paths); empty when it has none.
std::wstring fullWidePath(const char* path) {
    int units = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (units <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], units);
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring full(needed, L'\0');
    DWORD n = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (n == 0 || n >= needed) return std::wstring();
    full.resize(n);
    return full;
}

}  // namespace

// The library's dependencies are looked for in its own folder, the runtime's bin folder and
// the system folders; never in the current directory, nor beside the executable.
PlatformHandle win32LoadLibrary(const char* path, const char* extraSearchDir) {
    typedef void*(WINAPI * AddDllDirectoryProc)(PCWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    AddDllDirectoryProc addDir =
        kernel
            ? reinterpret_cast<AddDllDirectoryProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")))
            : nullptr;
    if (!addDir) return LoadLibraryA(path);  // systems without the search flags
    std::wstring full = fullWidePath(path);
    if (full.empty()) return nullptr;  // GetFullPathNameW left its error
    if (extraSearchDir && *extraSearchDir) {
        std::wstring bin = fullWidePath(extraSearchDir);
        if (!bin.empty()) addDir(bin.c_str());
    }
    return LoadLibraryExW(
        full.c_str(), nullptr,
        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* win32GetProcAddress(PlatformHandle library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool win32FreeLibrary(PlatformHandle library) { return FreeLibrary(static_cast<HMODULE>(library)) != 0; }
