// The Win32 backend's operations, gathered into the table by win32_table.cpp.
#pragma once
#include "platform/platform.h"

uint32_t win32GetCurrentDirectory(char* buffer, uint32_t size);
uint32_t win32GetModulePath(char* buffer, uint32_t size);
bool win32SetCurrentDirectory(const char* path);
// A Win32 error code in the seam's kinds.
SystemError win32Error(uint32_t code);
SystemError win32GetLastError();
void win32SetLastError(SystemError error);
SystemError win32ErrorOfKind(ErrorKind kind);
bool win32FormatSystemMessage(SystemError error, char* buffer, size_t size);
int win32LoadString(unsigned id, char* buffer, int size);
uint32_t win32ReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                uint32_t size, const char* file);
bool win32CanOpenForReading(const char* path);
PlatformHandle win32RegisterEventSource(const char* sourceName);
bool win32ReportEvent(PlatformHandle source, bool error, const char* text);
bool win32DeregisterEventSource(PlatformHandle source);
bool win32AddEventSource(const char* sourceName, const char* messageFile);
void win32WriteConsoleLine(bool toError, const char* text);
const char* win32GetEnvironment(const char* name);
FileKind win32FileKind(const char* path);
SystemError win32ListDirectory(const char* directory, DirListing* listing);
bool win32GetFileIdentity(const char* path, DirIdentity* identity);
PlatformHandle win32LoadLibrary(const char* path, const char* extraSearchDir);
void* win32GetProcAddress(PlatformHandle library, const char* name);
bool win32FreeLibrary(PlatformHandle library);
bool win32InstalledRuntimes(const RuntimeKind* kinds, size_t kindCount, const RuntimeVisitor* visitor);
bool win32FindService(const char* name);
bool win32CheckServiceAccount(const char* account, const char* serviceName);
bool win32CreateService(const ServiceDefinition* definition);
bool win32ConfigureService(const ServiceDefinition* definition);
bool win32RemoveService(const char* name);
bool win32ServiceState(const char* name, ServiceState* state);
bool win32StopService(const char* name);
int win32ServiceExitCode(SystemError error);
bool win32RunService(const char* name, ServiceMainRoutine routine);
bool win32RegisterServiceHandler(const char* name, ServiceHandlerRoutine handler);
bool win32SetServiceStatus(const ServiceStatus* status);
void win32ServiceReady();
bool win32CreateThread(ThreadRoutine routine, void* parameter);
PlatformEvent win32CreateEvent();
bool win32SetEvent(PlatformEvent event);
void win32WaitForEvent(PlatformEvent event);
bool win32CloseEvent(PlatformEvent event);
void win32SleepMs(uint32_t milliseconds);
void win32InitLock(PlatformLock* lock);
void win32AcquireLock(PlatformLock* lock);
void win32ReleaseLock(PlatformLock* lock);
bool win32AllocConsole();
bool win32SetConsoleCtrlHandler(ConsoleHandlerRoutine handler);
bool win32ReopenStdStreamsOnConsole();
void win32DecodeCodePage(const char* text, std::u16string* out);
void win32EncodeCodePage(const std::u16string& text, std::string* out);
bool win32CommandLine(std::u16string* out);
void win32ReleaseFreeMemory();
bool win32ReadFileStart(const char* path, void* buffer, uint32_t size, uint32_t* got);
bool win32ResolveLinks(const char* path, char* buffer, size_t size);
bool win32ReadFileAt(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize);
bool win32StartedWithConsole();
bool win32AttachParentConsole();
bool win32ShowMessageBox(const char* title, const char* text, BoxKind kind);
bool win32ReadVersionString(const char* key, char* buffer, size_t size);
PlatformHandle win32CreateNamedMutex(const char* name, bool* existed);
bool win32OpenUrl(const char* url);
// Creates the folder and the missing ones above it; false with the last error set.
bool win32CreateFolders(const char* path);
extern const CacheFileOps kWin32CacheFileOps;
extern const LogFileOps kWin32LogFileOps;

// Plain code of the backend, without system calls, which the unit tests run too.
// The account name written for `configured` (ServiceAccount): empty for LocalSystem (the
// default, also for an empty entry), "NT AUTHORITY\LocalService" for "LocalService",
// "NT AUTHORITY\NetworkService" for "NetworkService" (either written with or without
// "NT AUTHORITY\", any letter case), or the virtual account "NT SERVICE\<serviceName>".
// False for anything else.
bool win32ServiceAccountName(const char* configured, const char* serviceName, std::string* account);
// The manager's status record (SERVICE_STATUS), field by field.
struct Win32ServiceStatus {
    uint32_t type, state, controlsAccepted, win32ExitCode, serviceSpecificExitCode, checkPoint, waitHint;
};
// Brings the record the service last sent up to `update`.
void win32UpdateServiceStatus(const ServiceStatus& update, Win32ServiceStatus* status);
// The registry as the runtime records are read from it: keys under HKEY_LOCAL_MACHINE, each
// call with its error (MoreData for a value or name larger than the buffer, NoMoreItems past
// the last subkey).
enum class RegistryValueType : uint8_t { Text, Other };
struct RegistryReader {
    SystemError (*openKey)(const char* path, PlatformHandle* key);
    SystemError (*queryValue)(PlatformHandle key, const char* name, RegistryValueType* type, void* data,
                              uint32_t* size);
    SystemError (*enumKey)(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize);
    void (*closeKey)(PlatformHandle key);
};
// RuntimeOps::installed over `reader`.
bool win32RuntimeRecords(const RegistryReader& reader, const RuntimeKind* kinds, size_t kindCount,
                         const RuntimeVisitor* visitor);
