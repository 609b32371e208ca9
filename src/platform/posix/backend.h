// The POSIX backend's operations, gathered into the table by posix_table.cpp.
#pragma once
#include <cstdio>

#include "platform/platform.h"

uint32_t posixGetCurrentDirectory(char* buffer, uint32_t size);
uint32_t posixGetModulePath(char* buffer, uint32_t size);
bool posixSetCurrentDirectory(const char* path);
// An errno value in the seam's kinds.
SystemError posixError(int code);
SystemError posixGetLastError();
void posixSetLastError(SystemError error);
SystemError posixErrorOfKind(ErrorKind kind);
bool posixFormatSystemMessage(SystemError error, char* buffer, size_t size);
// Sets an error of the kind (the backend's own code for it) and returns false.
bool posixFail(ErrorKind kind);
// A service name systemd would not take as a unit's name; returns false.
bool posixFailUnitName();
int posixLoadString(unsigned id, char* buffer, int size);
uint32_t posixReadProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                uint32_t size, const char* file);
bool posixCanOpenForReading(const char* path);
PlatformHandle posixRegisterEventSource(const char* sourceName);
bool posixReportEvent(PlatformHandle source, bool error, const char* text);
bool posixDeregisterEventSource(PlatformHandle source);
bool posixAddEventSource(const char* sourceName, const char* messageFile);
void posixWriteConsoleLine(bool toError, const char* text);
const char* posixGetEnvironment(const char* name);
FileKind posixFileKind(const char* path);
SystemError posixListDirectory(const char* directory, DirListing* listing);
bool posixGetFileIdentity(const char* path, DirIdentity* identity);
PlatformHandle posixLoadLibrary(const char* path, const char* extraSearchDir);
void* posixGetProcAddress(PlatformHandle library, const char* name);
bool posixFreeLibrary(PlatformHandle library);
bool posixInstalledRuntimes(const RuntimeKind* kinds, size_t kindCount, const RuntimeVisitor* visitor);
bool posixFindService(const char* name);
bool posixCheckServiceAccount(const char* account, const char* serviceName);
bool posixCreateService(const ServiceDefinition* definition);
bool posixConfigureService(const ServiceDefinition* definition);
bool posixRemoveService(const char* name);
bool posixServiceState(const char* name, ServiceState* state);
bool posixStopService(const char* name);
int posixServiceExitCode(SystemError error);
bool posixRunService(const char* name, ServiceMainRoutine routine);
bool posixRegisterServiceHandler(const char* name, ServiceHandlerRoutine handler);
bool posixSetServiceStatus(const ServiceStatus* status);
void posixServiceReady();
bool posixCreateThread(ThreadRoutine routine, void* parameter);
PlatformEvent posixCreateEvent();
bool posixSetEvent(PlatformEvent event);
void posixWaitForEvent(PlatformEvent event);
bool posixCloseEvent(PlatformEvent event);
void posixSleepMs(uint32_t milliseconds);
void posixInitLock(PlatformLock* lock);
void posixAcquireLock(PlatformLock* lock);
void posixReleaseLock(PlatformLock* lock);
bool posixAllocConsole();
bool posixSetConsoleCtrlHandler(ConsoleHandlerRoutine handler);
bool posixReopenStdStreamsOnConsole();
void posixDecodeCodePage(const char* text, std::u16string* out);
void posixEncodeCodePage(const std::u16string& text, std::string* out);
bool posixCommandLine(std::u16string* out);
void posixReleaseFreeMemory();
bool posixReadFileStart(const char* path, void* buffer, uint32_t size, uint32_t* got);
bool posixResolveLinks(const char* path, char* buffer, size_t size);
bool posixReadFileAt(const char* path, uint64_t offset, void* buffer, uint32_t size, uint32_t* got, uint64_t* fileSize);
bool posixStartedWithConsole();
bool posixAttachParentConsole();
bool posixShowMessageBox(const char* title, const char* text, BoxKind kind);
bool posixReadVersionString(const char* key, char* buffer, size_t size);
PlatformHandle posixCreateNamedMutex(const char* name, bool* existed);
bool posixOpenUrl(const char* url);
// Creates the folder and the missing ones above it, new ones with `mode` (less the umask);
// false with errno set.
bool posixCreateFolders(const char* path, unsigned mode);
extern const CacheFileOps kPosixCacheFileOps;
extern const LogFileOps kPosixLogFileOps;
// Standard error as the service manager gave it, for the service's reports, also once the
// process's standard error leads into a log file.
FILE* posixReportStream();

// Shared by the backend's own files, outside the table.
// The reason of this thread's last failed library load, or null (posix_library.cpp), for the
// text of the ENOEXEC that load leaves behind (posix_errors.cpp).
const char* posixLastLibraryError();
// The configuration section as this binary holds it (posix_config_section.cpp).
const unsigned char* configSectionBytes();
