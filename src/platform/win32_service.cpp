// Win32 backend: the service control manager. The core's routines are plain functions;
// the trampolines here give them the calling convention the system expects.
#include <windows.h>

#include "platform/win32_backend.h"

PlatformHandle win32OpenScManager(uint32_t access) { return OpenSCManagerA(nullptr, nullptr, access); }

PlatformHandle win32OpenService(PlatformHandle manager, const char* name, uint32_t access) {
    return OpenServiceA(static_cast<SC_HANDLE>(manager), name, access);
}

PlatformHandle win32CreateService(PlatformHandle manager, const char* name, const char* displayName, uint32_t access,
                                  uint32_t serviceType, uint32_t startType, uint32_t errorControl,
                                  const char* binaryPath) {
    return CreateServiceA(static_cast<SC_HANDLE>(manager), name, displayName, access, serviceType, startType,
                          errorControl, binaryPath, nullptr, nullptr, nullptr, nullptr, nullptr);
}

bool win32DeleteService(PlatformHandle service) { return DeleteService(static_cast<SC_HANDLE>(service)) != 0; }

bool win32CloseServiceHandle(PlatformHandle handle) { return CloseServiceHandle(static_cast<SC_HANDLE>(handle)) != 0; }

static ServiceMainRoutine serviceMainRoutine;
static ServiceHandlerRoutine serviceHandlerRoutine;

static void WINAPI serviceMainTrampoline(DWORD argc, LPSTR* argv) { serviceMainRoutine(argc, argv); }
static void WINAPI serviceHandlerTrampoline(DWORD control) { serviceHandlerRoutine(control); }

bool win32StartServiceDispatcher(const char* serviceName, ServiceMainRoutine routine) {
    serviceMainRoutine = routine;
    SERVICE_TABLE_ENTRYA table[2] = {{const_cast<LPSTR>(serviceName), serviceMainTrampoline}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) != 0;
}

PlatformHandle win32RegisterServiceCtrlHandler(const char* serviceName, ServiceHandlerRoutine handler) {
    serviceHandlerRoutine = handler;
    return reinterpret_cast<PlatformHandle>(RegisterServiceCtrlHandlerA(serviceName, serviceHandlerTrampoline));
}

bool win32SetServiceStatus(PlatformHandle statusHandle, const ServiceStatusRecord* status) {
    SERVICE_STATUS s;
    s.dwServiceType = status->dwServiceType;
    s.dwCurrentState = status->dwCurrentState;
    s.dwControlsAccepted = status->dwControlsAccepted;
    s.dwWin32ExitCode = status->dwWin32ExitCode;
    s.dwServiceSpecificExitCode = status->dwServiceSpecificExitCode;
    s.dwCheckPoint = status->dwCheckPoint;
    s.dwWaitHint = status->dwWaitHint;
    return SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(statusHandle), &s) != 0;
}

// The description and the event source live in the registry, which installation writes
// itself; the stop time-out is the runtime's own. Nothing is left for the manager here.
bool win32ConfigureService(PlatformHandle, const ServiceSettings*) { return true; }

// The running status reported at the start already told the manager.
void win32ServiceReady(PlatformHandle) {}
