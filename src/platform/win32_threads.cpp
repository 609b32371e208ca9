// Win32 backend: threads, events, sleep and locks (critical sections).
#include <windows.h>
#include <new>

#include "platform/win32_backend.h"

namespace {
struct ThreadStart {
    ThreadRoutine routine;
    void* parameter;
};
DWORD WINAPI threadTrampoline(LPVOID p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    return start.routine(start.parameter);
}
}  // namespace

PlatformHandle win32CreateThread(ThreadRoutine routine, void* parameter) {
    ThreadStart* start = new (std::nothrow) ThreadStart{routine, parameter};
    if (!start) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    DWORD id;
    HANDLE h = CreateThread(nullptr, 0, threadTrampoline, start, 0, &id);
    if (!h) delete start;
    return h;
}

PlatformHandle win32CreateEvent() { return CreateEventA(nullptr, FALSE, FALSE, nullptr); }
bool win32SetEvent(PlatformHandle event) { return SetEvent(static_cast<HANDLE>(event)) != 0; }
void win32WaitForEvent(PlatformHandle event) { WaitForSingleObject(static_cast<HANDLE>(event), INFINITE); }
bool win32CloseHandle(PlatformHandle handle) { return CloseHandle(static_cast<HANDLE>(handle)) != 0; }
void win32SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(PlatformLock) && alignof(CRITICAL_SECTION) <= alignof(PlatformLock),
              "a critical section fits a PlatformLock");
static CRITICAL_SECTION* section(PlatformLock* lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock->storage); }
void win32InitLock(PlatformLock* lock) { InitializeCriticalSection(section(lock)); }
void win32AcquireLock(PlatformLock* lock) { EnterCriticalSection(section(lock)); }
void win32ReleaseLock(PlatformLock* lock) { LeaveCriticalSection(section(lock)); }
