// The Win32 backend's operations table.
#include "platform/win32_backend.h"

static const PlatformOps kWin32Ops = {
    win32GetCurrentDirectory, win32GetModulePath, win32SetCurrentDirectory,
    win32GetLastError, win32SetLastError, win32FormatSystemMessage,
    win32LoadString, win32ReadProfileString, win32CanOpenForReading,
    win32RegisterEventSource, win32ReportEvent, win32DeregisterEventSource,
    win32WriteConsoleLine,
    win32GetEnvironment,
    win32GetFileAttributes, win32ListDirectory, win32GetFileIdentity,
    win32LoadLibrary, win32GetProcAddress, win32FreeLibrary,
    win32RegOpenKey, win32RegQueryValue, win32RegEnumKey, win32RegCloseKey, win32RegCreateKey, win32RegSetValue,
    win32OpenScManager, win32OpenService, win32CreateService, win32DeleteService, win32CloseServiceHandle,
    win32StartServiceDispatcher, win32RegisterServiceCtrlHandler, win32SetServiceStatus,
    win32ConfigureService, win32ServiceReady, true,
    win32ChangeServiceConfig, win32SetServiceFailureActions, win32SetServiceDelayedStart,
    false, nullptr,  // the service manager checks its accounts itself
    win32CreateThread, win32CreateEvent, win32SetEvent, win32WaitForEvent, win32CloseEvent, win32SleepMs,
    win32InitLock, win32AcquireLock, win32ReleaseLock,
    win32AllocConsole, win32SetConsoleCtrlHandler, win32ReopenStdStreamsOnConsole, "CONOUT$",
    win32DecodeCodePage,
    win32ReleaseFreeMemory,
    win32StartedWithConsole, win32AttachParentConsole, win32ShowMessageBox, win32ReadVersionString,
    win32CreateNamedMutex, win32OpenUrl,
    PathStyle{'\\', ';', true},
    win32ReadFileStart, win32ResolveLinks, nullptr, true,
    // The PE machine of this build: i386 or AMD64.
    ModuleFormat::Pe, sizeof(void*) == 8 ? uint16_t{0x8664} : uint16_t{0x14c},
    win32ReadFileAt,
    &kWin32CacheFileOps,
    &kWin32LogFileOps,
};

PlatformOps Platform = kWin32Ops;
const PlatformOps& defaultPlatformOps() { return kWin32Ops; }
