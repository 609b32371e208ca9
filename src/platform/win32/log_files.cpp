// Win32 backend: the launcher's log files, opened for appending and shareable for renaming
// while open. The process's standard output and error follow them in every C runtime the
// process holds: ours and the JVM's (ucrtbase), each with its own table of descriptors
// and its own stdout and stderr, besides the standard handles.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdint>
#include <cstdio>

#include "platform/win32/backend.h"

namespace {

// Append access only: every write lands at the end, whoever else writes to the file.
PlatformHandle openLog(const char* path, bool empty) {
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           empty ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool writeLog(PlatformHandle file, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size), written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        size -= written;
    }
    return true;
}

uint64_t logSize(PlatformHandle file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

void closeLog(PlatformHandle file) { CloseHandle(file); }

template <class Proc>
Proc lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

typedef int(__cdecl* OpenHandleProc)(intptr_t, int);
typedef int(__cdecl* FdProc)(int);
typedef int(__cdecl* Dup2Proc)(int, int);
typedef FILE*(__cdecl* IobProc)(unsigned);
typedef int(__cdecl* FilenoProc)(FILE*);
typedef int(__cdecl* FlushProc)(FILE*);

// One C runtime: descriptors 1 and 2, and those its stdout and stderr use (a service's
// console streams were reopened onto others), get a copy of the file's handle.
struct Runtime {
    OpenHandleProc openHandle;
    Dup2Proc dup2;
    FdProc close;
    int outFd, errFd;
    FlushProc flush;
};

void pointRuntime(const Runtime& crt, HANDLE file, bool output, bool error) {
    if (!crt.openHandle || !crt.dup2 || !crt.close) return;
    if (crt.flush) crt.flush(nullptr);
    int targets[4] = {output ? 1 : -1, error ? 2 : -1, output ? crt.outFd : -1, error ? crt.errFd : -1};
    for (int i = 0; i < 4; ++i) {
        if (targets[i] < 0 || (i >= 2 && targets[i] == targets[i - 2])) continue;
        HANDLE copy;
        if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        int fd = crt.openHandle(reinterpret_cast<intptr_t>(copy), _O_APPEND | _O_TEXT);
        if (fd < 0) {
            CloseHandle(copy);
            continue;
        }
        if (fd != targets[i]) {
            crt.dup2(fd, targets[i]);
            crt.close(fd);
        }
    }
}

HANDLE standard[2];  // the copies we made the standard handles

// A stream whose reopening on a console failed (a service's hidden console) is closed: it is
// opened again on the null device, so that it has a descriptor to point at the file.
void reviveStream(FILE* stream) {
    int fd = _fileno(stream);
    if (fd < 0 || _get_osfhandle(fd) == -1) freopen("NUL", "w", stream);
}

bool pointStandardStreams(PlatformHandle file, bool output, bool error) {
    if (output) reviveStream(stdout);
    if (error) reviveStream(stderr);
    Runtime own = {_open_osfhandle, _dup2, _close, _fileno(stdout), _fileno(stderr), fflush};
    pointRuntime(own, file, output, error);
    if (HMODULE ucrt = GetModuleHandleA("ucrtbase.dll")) {
        IobProc iob = lookup<IobProc>(ucrt, "__acrt_iob_func");
        FilenoProc fileno = lookup<FilenoProc>(ucrt, "_fileno");
        Runtime jvm = {lookup<OpenHandleProc>(ucrt, "_open_osfhandle"),
                       lookup<Dup2Proc>(ucrt, "_dup2"),
                       lookup<FdProc>(ucrt, "_close"),
                       iob && fileno ? fileno(iob(1)) : -1,
                       iob && fileno ? fileno(iob(2)) : -1,
                       lookup<FlushProc>(ucrt, "fflush")};
        pointRuntime(jvm, file, output, error);
    }
    // Last, as the runtimes may have set the standard handles to copies of their own.
    bool ok = true;
    const DWORD which[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 2; ++i) {
        if (!(i == 0 ? output : error)) continue;
        HANDLE copy;
        if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS) ||
            !SetStdHandle(which[i], copy)) {
            ok = false;
            continue;
        }
        if (standard[i]) CloseHandle(standard[i]);
        standard[i] = copy;
    }
    return ok;
}

int64_t localDay() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME asFileTime;
    local.wHour = local.wMinute = local.wSecond = local.wMilliseconds = 0;
    SystemTimeToFileTime(&local, &asFileTime);
    uint64_t ticks = static_cast<uint64_t>(asFileTime.dwHighDateTime) << 32 | asFileTime.dwLowDateTime;
    return static_cast<int64_t>(ticks / 864000000000ull) - 134774;  // 1601-01-01 to 1970-01-01
}

uint64_t milliseconds() { return GetTickCount64(); }

// A move opens the file for deletion, which every handle open on it must share.
bool movable(const char* path) {
    HANDLE h = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool move(const char* from, const char* to) { return MoveFileExA(from, to, 0) != 0; }

}  // namespace

const LogFileOps kWin32LogFileOps = {openLog,  writeLog,     logSize, closeLog, pointStandardStreams,
                                     localDay, milliseconds, movable, move,     win32CreateFolders};
