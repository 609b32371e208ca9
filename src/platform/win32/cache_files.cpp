// Win32 backend: the files of the class data cache and the helper processes that finish one.
// The shell's folder lookup is found at run time, so the executable keeps importing only the
// DLLs every Windows has loaded anyway.
#include <windows.h>
// clang-format off
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/backend.h"

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

// The account this process runs as; null when the system does not say.
PSID processUser() {
    static char buffer[256];
    static PSID user = nullptr;
    HANDLE token;
    if (user || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
        user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    CloseHandle(token);
    return user;
}

// The folders made here are private: the account, SYSTEM and the administrators only, nothing
// inherited from the folder above.
bool createFolders(const char* path) {
    std::string p(path), sddl;
    char* user = nullptr;
    if (processUser() && ConvertSidToStringSidA(processUser(), &user)) {
        sddl = std::string("D:P(A;OICI;FA;;;") + user + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
        LocalFree(user);
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
    if (sddl.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                            sddl.c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr))
        attributes.lpSecurityDescriptor = nullptr;
    // Drive roots and UNC shares exist or not; the folders below them are made.
    for (size_t at = 1; at <= p.size(); ++at) {
        if (at < p.size() && p[at] != '\\' && p[at] != '/') continue;
        std::string part = p.substr(0, at);
        if (!isDirectory(part.c_str())) CreateDirectoryA(part.c_str(), &attributes);
    }
    LocalFree(attributes.lpSecurityDescriptor);
    return isDirectory(path);
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

// The process's environment block less the variable `name` (with its '='), plus `added`.
std::string environmentWith(const char* name, const char* added) {
    std::string block;
    char* strings = GetEnvironmentStringsA();
    for (const char* p = strings; p && *p; p += std::strlen(p) + 1)
        if (_strnicmp(p, name, std::strlen(name)) != 0) block.append(p, std::strlen(p) + 1);
    if (strings) FreeEnvironmentStringsA(strings);
    if (added) block.append(added, std::strlen(added) + 1);
    return block + '\0';
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
    std::string environment = environmentWith("JDK_JAVA_OPTIONS=", nullptr);
    BOOL started = CreateProcessA(argv[0], &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, &environment[0], nullptr,
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

// The account itself, SYSTEM, the administrators and the installer service may own and write
// the cache's files; no one else.
bool trustedAccount(PSID sid) {
    static const char kInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    if (!sid || !IsValidSid(sid)) return false;
    if ((processUser() && EqualSid(sid, processUser())) || IsWellKnownSid(sid, WinLocalSystemSid) ||
        IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return true;
    char* text = nullptr;
    bool installer = ConvertSidToStringSidA(sid, &text) && std::strcmp(text, kInstaller) == 0;
    LocalFree(text);
    return installer;
}

// Whether an entry of the list grants another account a right to change what is there.
bool othersMayWrite(PACL list) {
    constexpr DWORD kChanging = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    if (!list) return true;  // no list at all: everyone may do everything
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(list, i, reinterpret_cast<void**>(&header))) return true;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;  // kinds not looked into count as granting
        ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((ace->Mask & kChanging) != 0 && !trustedAccount(&ace->SidStart)) return true;
    }
    return false;
}

CacheTrust examine(const char* path, bool folder, uint64_t* size, uint64_t* time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? CacheTrust::Missing : CacheTrust::Open;
    }
    bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != folder || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return CacheTrust::Open;
    PSID owner = nullptr;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return CacheTrust::Open;
    bool trusted = trustedAccount(owner) && !othersMayWrite(list);
    LocalFree(descriptor);
    if (!trusted) return CacheTrust::Open;
    *size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    *time = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    return CacheTrust::Private;
}

bool processRunning(uint32_t pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;  // another account's
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

uint32_t startDetached(const char* program, const char* assignment) {
    std::string line, name(assignment, std::strcspn(assignment, "=") + 1);
    appendQuoted(&line, program);
    std::string environment = environmentWith(name.c_str(), assignment);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    const DWORD flags = DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | IDLE_PRIORITY_CLASS;
    // Out of the caller's job where it allows, so a job that ends with the caller spares it.
    BOOL started =
        CreateProcessA(program, &line[0], nullptr, nullptr, FALSE, flags | CREATE_BREAKAWAY_FROM_JOB, &environment[0],
                       nullptr, &startup, &process) ||
        CreateProcessA(program, &line[0], nullptr, nullptr, FALSE, flags, &environment[0], nullptr, &startup, &process);
    if (!started) return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
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
    userCacheFolder, createFolders, writeNewFile, renameFile, deleteFile,     fileStamp,
    freeBytes,       processId,     runQuietly,   examine,    processRunning, startDetached,
};
