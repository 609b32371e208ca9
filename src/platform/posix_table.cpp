// The POSIX backend's operations table.
#include "platform/posix_backend.h"

static const PlatformOps kPosixOps = {
    posixGetCurrentDirectory, posixGetModulePath, posixSetCurrentDirectory,
    posixGetLastError, posixSetLastError, posixFormatSystemMessage,
    posixLoadString, posixReadProfileString, posixCanOpenForReading,
    posixRegisterEventSource, posixReportEvent, posixDeregisterEventSource,
    posixWriteConsoleLine,
    posixGetEnvironment,
    posixGetFileAttributes, posixListDirectory,
    posixLoadLibrary, posixGetProcAddress, posixFreeLibrary,
    posixRegOpenKey, posixRegQueryValue, posixRegEnumKey, posixRegCloseKey, posixRegCreateKey, posixRegSetValue,
    posixOpenScManager, posixOpenService, posixCreateService, posixDeleteService, posixCloseServiceHandle,
    posixStartServiceDispatcher, posixRegisterServiceCtrlHandler, posixSetServiceStatus,
    posixChangeServiceConfig, posixSetServiceFailureActions, posixSetServiceDelayedStart,
    posixCreateThread, posixCreateEvent, posixSetEvent, posixWaitForEvent, posixCloseHandle, posixSleepMs,
    posixAllocConsole, posixSetConsoleCtrlHandler, posixReopenStdStreamsOnConsole, "/dev/tty",
    posixDecodeCodePage,
    posixReleaseFreeMemory,
    PathStyle{'/', ':', false},
};

PlatformOps Platform = kPosixOps;
const PlatformOps& defaultPlatformOps() { return kPosixOps; }
