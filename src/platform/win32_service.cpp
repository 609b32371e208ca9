// Win32 backend: the service control manager. The core's routines are plain functions;
// the trampolines here give them the calling convention the system expects.
#include <windows.h>
#include <cstdlib>

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

bool win32QueryServiceStatus(PlatformHandle service, ServiceStatusRecord* status) {
    SERVICE_STATUS s;
    if (!QueryServiceStatus(static_cast<SC_HANDLE>(service), &s)) return false;
    *status = ServiceStatusRecord{
        s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode, s.dwServiceSpecificExitCode,
        s.dwCheckPoint,  s.dwWaitHint};
    return true;
}

bool win32ControlService(PlatformHandle service, uint32_t control) {
    SERVICE_STATUS s;
    return ControlService(static_cast<SC_HANDLE>(service), control, &s) != 0;
}

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

// The description goes through the manager's own call: one written into the registry by
// hand can have a type the manager's loader refuses, and then the whole service is lost the
// next time it reads its database. The stop time-out is the runtime's own; the rest is set
// by the calls below.
bool win32ConfigureService(PlatformHandle service, const ServiceSettings* settings) {
    if (!settings->description || !settings->description[0]) return true;
    SERVICE_DESCRIPTIONA info = {const_cast<LPSTR>(settings->description)};
    return ChangeServiceConfig2A(static_cast<SC_HANDLE>(service), SERVICE_CONFIG_DESCRIPTION, &info) != 0;
}

// The running status reported at the start already told the manager.
void win32ServiceReady(PlatformHandle) {}

bool win32ChangeServiceConfig(PlatformHandle service, const char* dependencies, const char* account) {
    return ChangeServiceConfigA(static_cast<SC_HANDLE>(service), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, dependencies, account, nullptr,
                                nullptr) != 0;
}

bool win32SetServiceFailureActions(PlatformHandle service, uint32_t resetSeconds, uint32_t restartDelayMs,
                                   uint32_t restartCount) {
    // One restart per counted failure, then nothing: the manager repeats the last action for
    // every later failure, so the list ends with "none".
    SC_ACTION* actions = static_cast<SC_ACTION*>(calloc(restartCount + 1, sizeof(SC_ACTION)));
    if (!actions) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (uint32_t i = 0; i < restartCount; ++i) {
        actions[i].Type = SC_ACTION_RESTART;
        actions[i].Delay = restartDelayMs;
    }
    actions[restartCount].Type = SC_ACTION_NONE;
    // The wide form: these records hold no text, and the ANSI form of some systems takes
    // only the levels that do.
    SERVICE_FAILURE_ACTIONSW info = {};
    info.dwResetPeriod = resetSeconds;
    info.cActions = restartCount + 1;
    info.lpsaActions = actions;
    bool ok = ChangeServiceConfig2W(static_cast<SC_HANDLE>(service), SERVICE_CONFIG_FAILURE_ACTIONS, &info) != 0;
    free(actions);
    if (!ok) return false;
    // Without this flag only a crash counts; the service's own failure exit codes would not.
    SERVICE_FAILURE_ACTIONS_FLAG flag = {TRUE};
    return ChangeServiceConfig2W(static_cast<SC_HANDLE>(service), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) != 0;
}

bool win32SetServiceDelayedStart(PlatformHandle service, bool delayed) {
    SERVICE_DELAYED_AUTO_START_INFO info = {delayed ? TRUE : FALSE};
    return ChangeServiceConfig2W(static_cast<SC_HANDLE>(service), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info) != 0;
}
