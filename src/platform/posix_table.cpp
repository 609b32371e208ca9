// The POSIX backend's operations table.
#include "platform/posix_backend.h"

// The ELF machine of this build: a JVM library for another one cannot be loaded.
#if defined(__x86_64__)
static constexpr uint16_t kElfMachine = 62;
#elif defined(__aarch64__)
static constexpr uint16_t kElfMachine = 183;
#elif defined(__i386__)
static constexpr uint16_t kElfMachine = 3;
#else
#error "unknown ELF machine for this build"
#endif

static const PlatformOps kPosixOps = {
    posixGetCurrentDirectory,
    posixGetModulePath,
    posixSetCurrentDirectory,
    posixGetLastError,
    posixSetLastError,
    posixFormatSystemMessage,
    posixLoadString,
    posixReadProfileString,
    posixCanOpenForReading,
    posixRegisterEventSource,
    posixReportEvent,
    posixDeregisterEventSource,
    posixWriteConsoleLine,
    posixGetEnvironment,
    posixGetFileAttributes,
    posixListDirectory,
    posixGetFileIdentity,
    posixLoadLibrary,
    posixGetProcAddress,
    posixFreeLibrary,
    posixRegOpenKey,
    posixRegQueryValue,
    posixRegEnumKey,
    posixRegCloseKey,
    posixRegCreateKey,
    posixRegSetValue,
    posixOpenScManager,
    posixOpenService,
    posixCreateService,
    posixDeleteService,
    posixCloseServiceHandle,
    posixStartServiceDispatcher,
    posixRegisterServiceCtrlHandler,
    posixSetServiceStatus,
    posixConfigureService,
    posixServiceReady,
    false,
    posixChangeServiceConfig,
    posixSetServiceFailureActions,
    posixSetServiceDelayedStart,
    true,
    posixFindServiceAccount,
    posixCreateThread,
    posixCreateEvent,
    posixSetEvent,
    posixWaitForEvent,
    posixCloseEvent,
    posixSleepMs,
    posixInitLock,
    posixAcquireLock,
    posixReleaseLock,
    posixAllocConsole,
    posixSetConsoleCtrlHandler,
    posixReopenStdStreamsOnConsole,
    nullptr,  // no console device
    posixDecodeCodePage,
    posixReleaseFreeMemory,
    posixStartedWithConsole,
    posixAttachParentConsole,
    posixShowMessageBox,
    posixReadVersionString,
    posixCreateNamedMutex,
    posixOpenUrl,
    PathStyle{'/', ':', false},
    posixReadFileStart,
    posixResolveLinks,
    "/usr/lib/jvm",
    false,
    ModuleFormat::Elf,
    kElfMachine,
    posixReadFileAt,
    &kPosixCacheFileOps,
    &kPosixLogFileOps,
};

PlatformOps Platform = kPosixOps;
const PlatformOps& defaultPlatformOps() { return kPosixOps; }
