// Win32 backend: threads, events, sleep and locks (critical sections).
#include <windows.h>
#include <new>

#include "platform/win32/backend.h"

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

bool win32CreateThread(ThreadRoutine routine, void* parameter) {
    ThreadStart* start = new (std::nothrow) ThreadStart{routine, parameter};
    if (!start) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    DWORD id;
    HANDLE h = CreateThread(nullptr, 0, threadTrampoline, start, 0, &id);
    if (!h) {
        delete start;
        return false;
    }
    CloseHandle(h);  // the thread runs on; nothing waits for it
    return true;
}

// The event is the kernel object's handle itself, under the seam's own type.
PlatformEvent win32CreateEvent() {
    return reinterpret_cast<PlatformEvent>(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}
bool win32SetEvent(PlatformEvent event) { return SetEvent(reinterpret_cast<HANDLE>(event)) != 0; }
void win32WaitForEvent(PlatformEvent event) { WaitForSingleObject(reinterpret_cast<HANDLE>(event), INFINITE); }
bool win32CloseEvent(PlatformEvent event) { return CloseHandle(reinterpret_cast<HANDLE>(event)) != 0; }
void win32SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(PlatformLock) && alignof(CRITICAL_SECTION) <= alignof(PlatformLock),
              "a critical section fits a PlatformLock");
static CRITICAL_SECTION* section(PlatformLock* lock) { return reinterpret_cast<CRITICAL_SECTION*>(lock->storage); }
void win32InitLock(PlatformLock* lock) { InitializeCriticalSection(section(lock)); }
void win32AcquireLock(PlatformLock* lock) { EnterCriticalSection(section(lock)); }
void win32ReleaseLock(PlatformLock* lock) { LeaveCriticalSection(section(lock)); }
