// The Win32 backend's operations table.
#include "platform/win32/backend.h"

static const PlatformOps kWin32Ops = {
    .files =
        {
            .currentDirectory = win32GetCurrentDirectory,
            .modulePath = win32GetModulePath,
            .setCurrentDirectory = win32SetCurrentDirectory,
            .canOpenForReading = win32CanOpenForReading,
            .kind = win32FileKind,
            .listDirectory = win32ListDirectory,
            .identity = win32GetFileIdentity,
            .readStart = win32ReadFileStart,
            .resolveLinks = win32ResolveLinks,
            .readAt = win32ReadFileAt,
            .readProfileString = win32ReadProfileString,
        },
    .errors =
        {
            .last = win32GetLastError,
            .set = win32SetLastError,
            .ofKind = win32ErrorOfKind,
            .text = win32FormatSystemMessage,
        },
    .process =
        {
            .loadString = win32LoadString,
            .readVersionString = win32ReadVersionString,
            .environment = win32GetEnvironment,
            .decodeCodePage = win32DecodeCodePage,
            .encodeCodePage = win32EncodeCodePage,
            .commandLine = win32CommandLine,
            .releaseFreeMemory = win32ReleaseFreeMemory,
            .createNamedMutex = win32CreateNamedMutex,
        },
    .library =
        {
            .load = win32LoadLibrary,
            .symbol = win32GetProcAddress,
            .free = win32FreeLibrary,
        },
    .runtimes =
        {
            .installed = win32InstalledRuntimes,
        },
    .services =
        {
            .find = win32FindService,
            .checkAccount = win32CheckServiceAccount,
            .create = win32CreateService,
            .configure = win32ConfigureService,
            .remove = win32RemoveService,
            .state = win32ServiceState,
            .stop = win32StopService,
            .exitCode = win32ServiceExitCode,
            .run = win32RunService,
            .registerHandler = win32RegisterServiceHandler,
            .setStatus = win32SetServiceStatus,
            .ready = win32ServiceReady,
        },
    .eventLog =
        {
            .registerSource = win32RegisterEventSource,
            .report = win32ReportEvent,
            .deregisterSource = win32DeregisterEventSource,
            .addSource = win32AddEventSource,
        },
    .threads =
        {
            .create = win32CreateThread,
            .createEvent = win32CreateEvent,
            .setEvent = win32SetEvent,
            .waitForEvent = win32WaitForEvent,
            .closeEvent = win32CloseEvent,
            .sleepMs = win32SleepMs,
            .initLock = win32InitLock,
            .acquireLock = win32AcquireLock,
            .releaseLock = win32ReleaseLock,
        },
    .console =
        {
            .writeLine = win32WriteConsoleLine,
            .alloc = win32AllocConsole,
            .setCtrlHandler = win32SetConsoleCtrlHandler,
            .reopenStdStreams = win32ReopenStdStreamsOnConsole,
            .startedWith = win32StartedWithConsole,
            .attachParent = win32AttachParentConsole,
        },
    .desktop =
        {
            .showMessageBox = win32ShowMessageBox,
            .openUrl = win32OpenUrl,
        },
    .cacheFiles = &kWin32CacheFileOps,
    .logFiles = &kWin32LogFileOps,
    .traits =
        {
            .pathStyle = PathStyle{'\\', ';', true},
            .consoleDeviceName = "CONOUT$",
            .serviceSettings = kServiceSettingDelayedStart | kServiceSettingDependencies,
            .standardRuntimeFolder = nullptr,
            // The PE machine of this build: i386 or AMD64.
            .moduleFormat = ModuleFormat::Pe,
            .moduleMachine = sizeof(void*) == 8 ? uint16_t{0x8664} : uint16_t{0x14c},
        },
};

PlatformOps Platform = kWin32Ops;
const PlatformOps& defaultPlatformOps() { return kWin32Ops; }
