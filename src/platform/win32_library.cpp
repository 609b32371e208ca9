// Win32 backend: loading the JVM library with its runtime's own DLL folder searched.
#include <windows.h>

#include "platform/win32_backend.h"

#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000
#endif

PlatformHandle win32LoadLibrary(const char* path, const char* extraSearchDir) {
    // The search flags need a full path; relative JvmPath entries resolve here.
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return LoadLibraryA(path);
    typedef void* (WINAPI * AddDllDirectoryProc)(PCWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    AddDllDirectoryProc addDir =
        kernel ? reinterpret_cast<AddDllDirectoryProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")))
               : nullptr;
    if (!addDir) return LoadLibraryA(path);  // systems without the search flags
    if (extraSearchDir && *extraSearchDir) {
        wchar_t wide[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, extraSearchDir, -1, wide, MAX_PATH) > 0) addDir(wide);
    }
    return LoadLibraryExA(full, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

void* win32GetProcAddress(PlatformHandle library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool win32FreeLibrary(PlatformHandle library) { return FreeLibrary(static_cast<HMODULE>(library)) != 0; }
