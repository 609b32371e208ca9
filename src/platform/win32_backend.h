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
bool win32ReportEvent(PlatformHandle source, uint16_t eventType, uint32_t eventId, const char* text);
bool win32DeregisterEventSource(PlatformHandle source);
void win32WriteConsoleLine(bool toError, const char* text);
const char* win32GetEnvironment(const char* name);
uint32_t win32GetFileAttributes(const char* path);
SystemError win32ListDirectory(const char* directory, DirListing* listing);
bool win32GetFileIdentity(const char* path, DirIdentity* identity);
PlatformHandle win32LoadLibrary(const char* path, const char* extraSearchDir);
void* win32GetProcAddress(PlatformHandle library, const char* name);
bool win32FreeLibrary(PlatformHandle library);
SystemError win32RegOpenKey(RegistryRoot root, const char* path, uint32_t access, PlatformHandle* key);
SystemError win32RegQueryValue(PlatformHandle key, const char* name, uint32_t* type, void* data, uint32_t* size);
SystemError win32RegEnumKey(PlatformHandle key, uint32_t index, char* name, uint32_t* nameSize);
SystemError win32RegCloseKey(PlatformHandle key);
SystemError win32RegCreateKey(RegistryRoot root, const char* path, uint32_t access, PlatformHandle* key);
SystemError win32RegSetValue(PlatformHandle key, const char* name, uint32_t type, const void* data, uint32_t size);
PlatformHandle win32OpenScManager(uint32_t access);
PlatformHandle win32OpenService(PlatformHandle manager, const char* name, uint32_t access);
PlatformHandle win32CreateService(PlatformHandle manager, const char* name, const char* displayName, uint32_t access,
                                  uint32_t serviceType, uint32_t startType, uint32_t errorControl,
                                  const char* binaryPath);
bool win32DeleteService(PlatformHandle service);
bool win32QueryServiceStatus(PlatformHandle service, ServiceStatusRecord* status);
bool win32ControlService(PlatformHandle service, uint32_t control);
bool win32CloseServiceHandle(PlatformHandle handle);
bool win32StartServiceDispatcher(const char* serviceName, ServiceMainRoutine routine);
PlatformHandle win32RegisterServiceCtrlHandler(const char* serviceName, ServiceHandlerRoutine handler);
bool win32SetServiceStatus(PlatformHandle statusHandle, const ServiceStatusRecord* status);
bool win32ConfigureService(PlatformHandle service, const ServiceSettings* settings);
void win32ServiceReady(PlatformHandle statusHandle);
bool win32ChangeServiceConfig(PlatformHandle service, const char* dependencies, const char* account);
bool win32SetServiceFailureActions(PlatformHandle service, uint32_t resetSeconds, uint32_t restartDelayMs,
                                   uint32_t restartCount);
bool win32SetServiceDelayedStart(PlatformHandle service, bool delayed);
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
int win32ShowMessageBox(const char* title, const char* text, uint32_t style);
bool win32ReadVersionString(const char* key, char* buffer, size_t size);
PlatformHandle win32CreateNamedMutex(const char* name, bool* existed);
bool win32OpenUrl(const char* url);
// Creates the folder and the missing ones above it; false with the last error set.
bool win32CreateFolders(const char* path);
extern const CacheFileOps kWin32CacheFileOps;
extern const LogFileOps kWin32LogFileOps;
