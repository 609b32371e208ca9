// The Win32 backend's operations table.
#include "platform/win32_backend.h"

static const PlatformOps kWin32Ops = {
    .files =
        {
            .currentDirectory = win32GetCurrentDirectory,
            .modulePath = win32GetModulePath,
            .setCurrentDirectory = win32SetCurrentDirectory,
            .canOpenForReading = win32CanOpenForReading,
            .attributes = win32GetFileAttributes,
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
    .registry =
        {
            .openKey = win32RegOpenKey,
            .queryValue = win32RegQueryValue,
            .enumKey = win32RegEnumKey,
            .closeKey = win32RegCloseKey,
            .createKey = win32RegCreateKey,
            .setValue = win32RegSetValue,
        },
    .services =
        {
            .openManager = win32OpenScManager,
            .open = win32OpenService,
            .create = win32CreateService,
            .remove = win32DeleteService,
            .queryStatus = win32QueryServiceStatus,
            .control = win32ControlService,
            .close = win32CloseServiceHandle,
            .startDispatcher = win32StartServiceDispatcher,
            .registerHandler = win32RegisterServiceCtrlHandler,
            .setStatus = win32SetServiceStatus,
            .configure = win32ConfigureService,
            .ready = win32ServiceReady,
            .changeConfig = win32ChangeServiceConfig,
            .setFailureActions = win32SetServiceFailureActions,
            .setDelayedStart = win32SetServiceDelayedStart,
            // the service manager checks its accounts itself
            .findAccount = nullptr,
        },
    .eventLog =
        {
            .registerSource = win32RegisterEventSource,
            .report = win32ReportEvent,
            .deregisterSource = win32DeregisterEventSource,
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
            .eventSourcesInRegistry = true,
            .systemdServices = false,
            .standardRuntimeFolder = nullptr,
            .hasRegistry = true,
            // The PE machine of this build: i386 or AMD64.
            .moduleFormat = ModuleFormat::Pe,
            .moduleMachine = sizeof(void*) == 8 ? uint16_t{0x8664} : uint16_t{0x14c},
        },
};

PlatformOps Platform = kWin32Ops;
const PlatformOps& defaultPlatformOps() { return kWin32Ops; }
