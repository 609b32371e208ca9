// Win32 backend: the files of the class data cache and the quiet helper process that
// finishes one. The shell's folder lookup is found at run time, so the executable keeps
// importing only the DLLs every Windows has loaded anyway.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32_backend.h"

namespace {

typedef HRESULT(WINAPI* FolderPathProc)(HWND, int, HANDLE, DWORD, LPSTR);
constexpr int kLocalAppData = 0x1c;  // CSIDL_LOCAL_APPDATA
constexpr int kFlagCreate = 0x8000;  // CSIDL_FLAG_CREATE

bool copyOut(const char* text, char* buffer, size_t size) {
    size_t n = std::strlen(text);
    if (n == 0 || n + 1 > size) return false;
    std::memcpy(buffer, text, n + 1);
    return true;
}

// The shell asks the process's own account, so a service of LocalSystem, LocalService or
// NetworkService gets its profile's folder, which it may write; the environment of a
// service need not name one.
bool userCacheFolder(bool, char* buffer, size_t size) {
    char path[MAX_PATH * 3] = "";
    HMODULE shell = LoadLibraryA("shell32.dll");
    FolderPathProc folderPath =
        shell ? reinterpret_cast<FolderPathProc>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathA")))
              : nullptr;
    if (folderPath && SUCCEEDED(folderPath(nullptr, kLocalAppData | kFlagCreate, nullptr, 0, path)) && path[0])
        return copyOut(path, buffer, size);
    const char* local = std::getenv("LOCALAPPDATA");
    return local && copyOut(local, buffer, size);
}

bool isDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool writeNewFile(const char* path, const void* data, size_t size) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = size == 0 || (size <= MAXDWORD && WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                            written == size);
    ok = CloseHandle(file) && ok;
    if (!ok) DeleteFileA(path);
    return ok;
}

// A cache another process has mapped cannot be replaced; the caller then keeps that one.
bool renameFile(const char* from, const char* to) { return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0; }

bool deleteFile(const char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);  // the JVM writes its archives read-only
    return DeleteFileA(path) != 0;
}

bool fileStamp(const char* path, uint64_t* size, uint64_t* time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
    *size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    *time = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

uint64_t freeBytes(const char* folder) {
    ULARGE_INTEGER available;
    return GetDiskFreeSpaceExA(folder, &available, nullptr, nullptr) ? available.QuadPart : 0;
}

uint32_t processId() { return GetCurrentProcessId(); }

// The quoting the C runtime's argument parser undoes: backslashes double only before a quote.
void appendQuoted(std::string* line, const char* argument) {
    if (!line->empty()) *line += ' ';
    *line += '"';
    size_t backslashes = 0;
    for (const char* p = argument; *p; ++p) {
        if (*p == '\\') {
            ++backslashes;
            continue;
        }
        line->append(*p == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        *line += *p;
    }
    line->append(2 * backslashes, '\\');
    *line += '"';
}

int runQuietly(const char* const* argv) {
    std::string line;
    for (const char* const* p = argv; *p; ++p) appendQuoted(&line, *p);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessA(argv[0], &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                  &startup, &process);
    CloseHandle(nul);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    bool got = GetExitCodeProcess(process.hProcess, &code) != 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return got ? static_cast<int>(code) : -1;
}

}  // namespace

bool win32CreateFolders(const char* path) {
    std::string p(path);
    DWORD failure = ERROR_PATH_NOT_FOUND;
    bool above = true;  // whether the folder above this part is there
    // Drive roots and UNC shares exist or not; the folders below them are made. The error
    // kept is that of the last folder that could not be made under one that is there.
    for (size_t at = 1; at <= p.size(); ++at) {
        if (at < p.size() && p[at] != '\\' && p[at] != '/') continue;
        std::string part = p.substr(0, at);
        bool there = isDirectory(part.c_str()) || CreateDirectoryA(part.c_str(), nullptr);
        if (!there && above) failure = GetLastError();
        above = there;
    }
    if (isDirectory(path)) return true;
    SetLastError(failure);
    return false;
}

const CacheFileOps kWin32CacheFileOps = {
    userCacheFolder, win32CreateFolders, writeNewFile, renameFile, deleteFile,
    fileStamp,       freeBytes,          processId,    runQuietly,
};
