// The POSIX backend's operations table.
#include "platform/posix/backend.h"

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
            .kind = posixFileKind,
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
    .runtimes =
        {
            .installed = posixInstalledRuntimes,
        },
    .services =
        {
            .find = posixFindService,
            .checkAccount = posixCheckServiceAccount,
            .create = posixCreateService,
            .configure = posixConfigureService,
            .remove = posixRemoveService,
            .state = posixServiceState,
            .stop = posixStopService,
            .exitCode = posixServiceExitCode,
            .run = posixRunService,
            .registerHandler = posixRegisterServiceHandler,
            .setStatus = posixSetServiceStatus,
            .ready = posixServiceReady,
        },
    .eventLog =
        {
            .registerSource = posixRegisterEventSource,
            .report = posixReportEvent,
            .deregisterSource = posixDeregisterEventSource,
            .addSource = posixAddEventSource,
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
            // a unit file has neither
            .serviceSettings = 0,
            .standardRuntimeFolder = "/usr/lib/jvm",
            .moduleFormat = ModuleFormat::Elf,
            .moduleMachine = kElfMachine,
        },
};

PlatformOps Platform = kPosixOps;
const PlatformOps& defaultPlatformOps() { return kPosixOps; }
