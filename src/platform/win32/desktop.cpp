// Win32 backend: what a windowed launcher needs of the desktop. The version and shell
// functions are looked up at run time, so the executable keeps importing only the DLLs
// every Windows has loaded anyway.
#include <windows.h>
#include <cstring>
#include <string>

#include "platform/hex_text.h"
#include "platform/win32/backend.h"

bool win32StartedWithConsole() {
    // The subsystem field of our own image says which kind the system started: a console
    // program always gets a console (its parent's or a new one), a windowed one never does.
    const BYTE* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

static bool leadsSomewhere(DWORD which) {
    HANDLE h = GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

bool win32AttachParentConsole() {
    // Streams the starter redirected (to a file or a pipe) stay where they lead.
    bool out = leadsSomewhere(STD_OUTPUT_HANDLE), err = leadsSomewhere(STD_ERROR_HANDLE);
    if (out && err) return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) return false;
    // The JVM takes System.out and System.err from the standard handles, the C runtime's
    // streams from its own table: both are pointed at the console.
    if (!out) {
        SetStdHandle(STD_OUTPUT_HANDLE, console);
        freopen("CONOUT$", "w", stdout);
    }
    if (!err) {
        SetStdHandle(STD_ERROR_HANDLE, console);
        freopen("CONOUT$", "w", stderr);
    }
    return true;
}

bool win32ShowMessageBox(const char* title, const char* text, BoxKind kind) {
    UINT style = kind == BoxKind::Information ? MB_OK | MB_ICONINFORMATION
                 : kind == BoxKind::Error     ? MB_OK | MB_ICONERROR
                                              : MB_YESNO | MB_ICONERROR;
    int answer = MessageBoxA(nullptr, text, title, style | MB_SETFOREGROUND);
    return kind == BoxKind::ErrorQuestion ? answer == IDYES : answer != 0;
}

// Through void*: the cast from FARPROC to the real signature is what GetProcAddress means.
template <class Proc>
static Proc lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

typedef DWORD(WINAPI* VersionSizeProc)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* VersionInfoProc)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VersionQueryProc)(LPCVOID, LPCSTR, LPVOID*, PUINT);

bool win32ReadVersionString(const char* key, char* buffer, size_t size) {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    HMODULE version = LoadLibraryA("version.dll");
    if (!version) return false;
    auto infoSize = lookup<VersionSizeProc>(version, "GetFileVersionInfoSizeA");
    auto info = lookup<VersionInfoProc>(version, "GetFileVersionInfoA");
    auto query = lookup<VersionQueryProc>(version, "VerQueryValueA");
    bool found = false;
    DWORD ignored = 0, bytes = infoSize && info && query ? infoSize(path, &ignored) : 0;
    void* data = bytes ? HeapAlloc(GetProcessHeap(), 0, bytes) : nullptr;
    if (data && info(path, 0, bytes, data)) {
        // The first translation the file lists, else US English with Unicode.
        DWORD* translation = nullptr;
        UINT length = 0;
        DWORD language = 0x040904B0;
        if (query(data, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) && length >= 4)
            language = (static_cast<DWORD>(LOWORD(*translation)) << 16) | HIWORD(*translation);
        char hex[9];
        hexText(language, 8, true, hex);
        std::string name = std::string("\\StringFileInfo\\") + hex + "\\" + key;
        char* text = nullptr;
        if (query(data, name.c_str(), reinterpret_cast<void**>(&text), &length) && text && text[0] && size > 0) {
            size_t copied = strnlen(text, size - 1);
            memcpy(buffer, text, copied);
            buffer[copied] = '\0';
            found = true;
        }
    }
    if (data) HeapFree(GetProcessHeap(), 0, data);
    FreeLibrary(version);
    return found;
}

PlatformHandle win32CreateNamedMutex(const char* name, bool* existed) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    *existed = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    return mutex;
}

typedef HINSTANCE(WINAPI* ShellExecuteProc)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

bool win32OpenUrl(const char* url) {
    HMODULE shell = LoadLibraryA("shell32.dll");
    if (!shell) return false;
    auto execute = lookup<ShellExecuteProc>(shell, "ShellExecuteA");
    if (!execute) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    // Results above 32 mean success; below, the last error tells why. The library stays
    // loaded while the browser starts.
    return reinterpret_cast<INT_PTR>(execute(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}
