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
    .files =
        {
            .currentDirectory = posixGetCurrentDirectory,
            .modulePath = posixGetModulePath,
            .setCurrentDirectory = posixSetCurrentDirectory,
            .canOpenForReading = posixCanOpenForReading,
            .attributes = posixGetFileAttributes,
            .listDirectory = posixListDirectory,
            .identity = posixGetFileIdentity,
            .readStart = posixReadFileStart,
            .resolveLinks = posixResolveLinks,
            .readAt = posixReadFileAt,
            .readProfileString = posixReadProfileString,
        },
    .errors =
        {
            .last = posixGetLastError,
            .set = posixSetLastError,
            .ofKind = posixErrorOfKind,
            .text = posixFormatSystemMessage,
        },
    .process =
        {
            .loadString = posixLoadString,
            .readVersionString = posixReadVersionString,
            .environment = posixGetEnvironment,
            .decodeCodePage = posixDecodeCodePage,
            .encodeCodePage = posixEncodeCodePage,
            .commandLine = posixCommandLine,
            .releaseFreeMemory = posixReleaseFreeMemory,
            .createNamedMutex = posixCreateNamedMutex,
        },
    .library =
        {
            .load = posixLoadLibrary,
            .symbol = posixGetProcAddress,
            .free = posixFreeLibrary,
        },
    .registry =
        {
            .openKey = posixRegOpenKey,
            .queryValue = posixRegQueryValue,
            .enumKey = posixRegEnumKey,
            .closeKey = posixRegCloseKey,
            .createKey = posixRegCreateKey,
            .setValue = posixRegSetValue,
        },
    .services =
        {
            .openManager = posixOpenScManager,
            .open = posixOpenService,
            .create = posixCreateService,
            .remove = posixDeleteService,
            .queryStatus = posixQueryServiceStatus,
            .control = posixControlService,
            .close = posixCloseServiceHandle,
            .startDispatcher = posixStartServiceDispatcher,
            .registerHandler = posixRegisterServiceCtrlHandler,
            .setStatus = posixSetServiceStatus,
            .configure = posixConfigureService,
            .ready = posixServiceReady,
            .changeConfig = posixChangeServiceConfig,
            .setFailureActions = posixSetServiceFailureActions,
            .setDelayedStart = posixSetServiceDelayedStart,
            .findAccount = posixFindServiceAccount,
        },
    .eventLog =
        {
            .registerSource = posixRegisterEventSource,
            .report = posixReportEvent,
            .deregisterSource = posixDeregisterEventSource,
        },
    .threads =
        {
            .create = posixCreateThread,
            .createEvent = posixCreateEvent,
            .setEvent = posixSetEvent,
            .waitForEvent = posixWaitForEvent,
            .closeEvent = posixCloseEvent,
            .sleepMs = posixSleepMs,
            .initLock = posixInitLock,
            .acquireLock = posixAcquireLock,
            .releaseLock = posixReleaseLock,
        },
    .console =
        {
            .writeLine = posixWriteConsoleLine,
            .alloc = posixAllocConsole,
            .setCtrlHandler = posixSetConsoleCtrlHandler,
            .reopenStdStreams = posixReopenStdStreamsOnConsole,
            .startedWith = posixStartedWithConsole,
            .attachParent = posixAttachParentConsole,
        },
    .desktop =
        {
            .showMessageBox = posixShowMessageBox,
            .openUrl = posixOpenUrl,
        },
    .cacheFiles = &kPosixCacheFileOps,
    .logFiles = &kPosixLogFileOps,
    .traits =
        {
            .pathStyle = PathStyle{'/', ':', false},
            // no console device
            .consoleDeviceName = nullptr,
            .eventSourcesInRegistry = false,
            .systemdServices = true,
            .standardRuntimeFolder = "/usr/lib/jvm",
            .hasRegistry = false,
            .moduleFormat = ModuleFormat::Elf,
            .moduleMachine = kElfMachine,
        },
};

PlatformOps Platform = kPosixOps;
const PlatformOps& defaultPlatformOps() { return kPosixOps; }
