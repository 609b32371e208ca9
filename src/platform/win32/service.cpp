// Win32 backend: the service control manager. The launcher's portable service records map
// onto SERVICE_STATUS and the manager's calls here; its routines are plain functions, and the
// trampolines give them the calling convention the system expects.
#include <windows.h>
#include <cstdlib>
#include <string>

#include "platform/win32/backend.h"

namespace {

// Keeps the last error of a failed call across the closing of handles.
struct ErrorKept {
    DWORD error = ERROR_SUCCESS;
    bool fail() {
        error = GetLastError();
        return false;
    }
    ~ErrorKept() {
        if (error != ERROR_SUCCESS) SetLastError(error);
    }
};

// A service opened through a manager opened for `managerAccess`; both close with it.
struct ServiceOpened {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    ServiceOpened(const char* name, DWORD managerAccess, DWORD access) {
        manager = OpenSCManagerA(nullptr, nullptr, managerAccess);
        if (manager) service = OpenServiceA(manager, name, access);
    }
    ~ServiceOpened() {
        DWORD error = GetLastError();
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
        SetLastError(error);
    }
    ServiceOpened(const ServiceOpened&) = delete;
    ServiceOpened& operator=(const ServiceOpened&) = delete;
};

// What uninstalling needs, asked for at once, so an account that may not remove the service
// changes nothing (does not even stop it).
constexpr DWORD kRemovalAccess = DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS;

// Seconds to milliseconds for the manager's delays, which are 32-bit.
DWORD secondsToMs(uint32_t seconds) {
    return seconds >= 0xFFFFFFFFu / 1000 ? 0xFFFFFFFFu / 1000 * 1000 : seconds * 1000;
}

// One restart per counted failure, then nothing: the manager repeats the last action for
// every later failure, so the list ends with "none".
bool setFailureActions(SC_HANDLE service, DWORD resetSeconds, DWORD restartDelayMs, DWORD restartCount) {
    SC_ACTION* actions = static_cast<SC_ACTION*>(calloc(restartCount + 1, sizeof(SC_ACTION)));
    if (!actions) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (DWORD i = 0; i < restartCount; ++i) {
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
    bool ok = ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &info) != 0;
    free(actions);
    if (!ok) return false;
    // Without this flag only a crash counts; the service's own failure exit codes would not.
    SERVICE_FAILURE_ACTIONS_FLAG flag = {TRUE};
    return ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) != 0;
}

ServiceMainRoutine serviceMainRoutine;
ServiceHandlerRoutine serviceHandlerRoutine;
SERVICE_STATUS_HANDLE statusHandle;
// The record every status goes out in: what a status does not say stays as it was.
Win32ServiceStatus status = {};

void WINAPI serviceMainTrampoline(DWORD, LPSTR*) { serviceMainRoutine(); }

void WINAPI serviceHandlerTrampoline(DWORD control) {
    serviceHandlerRoutine(control == SERVICE_CONTROL_STOP       ? ServiceControl::Stop
                          : control == SERVICE_CONTROL_SHUTDOWN ? ServiceControl::Shutdown
                                                                : ServiceControl::Other);
}

}  // namespace

bool win32FindService(const char* name) {
    ServiceOpened open(name, SC_MANAGER_CREATE_SERVICE, SERVICE_QUERY_CONFIG);
    return open.service != nullptr;
}

bool win32CheckServiceAccount(const char* account, const char* serviceName) {
    std::string name;
    if (win32ServiceAccountName(account, serviceName, &name)) return true;
    SetLastError(ERROR_INVALID_SERVICE_ACCOUNT);
    return false;
}

bool win32CreateService(const ServiceDefinition* definition) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!manager) return false;
    std::string commandLine = std::string("\"") + definition->program + "\" " + definition->argument;
    SC_HANDLE service =
        CreateServiceA(manager, definition->name, definition->name, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                       definition->automaticStart ? SERVICE_AUTO_START : SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ErrorKept kept;
    if (!service) kept.fail();
    else CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

// The description goes through the manager's own call: one written into the registry by
// hand can have a type the manager's loader refuses, and then the whole service is lost the
// next time it reads its database. The stop time-out is the runtime's own.
bool win32ConfigureService(const ServiceDefinition* definition) {
    ServiceOpened open(definition->name, SC_MANAGER_CREATE_SERVICE, SERVICE_ALL_ACCESS);
    SC_HANDLE service = open.service;
    if (!service) return false;
    if (definition->description[0]) {
        SERVICE_DESCRIPTIONA info = {const_cast<LPSTR>(definition->description)};
        if (!ChangeServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, &info)) return false;
    }
    std::string account;
    win32ServiceAccountName(definition->account, definition->name, &account);  // checked before the creation
    const char* dependencies = definition->dependencies[0] ? definition->dependencies : nullptr;
    if ((dependencies || !account.empty()) &&
        !ChangeServiceConfigA(service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, dependencies, account.empty() ? nullptr : account.c_str(), nullptr, nullptr))
        return false;
    if (definition->delayedStart) {
        SERVICE_DELAYED_AUTO_START_INFO info = {TRUE};
        if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info)) return false;
    }
    if (definition->restartDelaySeconds > 0 && definition->restartCount > 0 &&
        !setFailureActions(service, definition->restartResetSeconds, secondsToMs(definition->restartDelaySeconds),
                           definition->restartCount))
        return false;
    return true;
}

bool win32RemoveService(const char* name) {
    ServiceOpened open(name, SC_MANAGER_ALL_ACCESS, DELETE);
    return open.service && DeleteService(open.service);
}

bool win32ServiceState(const char* name, ServiceState* state) {
    ServiceOpened open(name, SC_MANAGER_ALL_ACCESS, kRemovalAccess);
    SERVICE_STATUS s;
    if (!open.service || !QueryServiceStatus(open.service, &s)) return false;
    *state = s.dwCurrentState == SERVICE_STOPPED        ? ServiceState::Stopped
             : s.dwCurrentState == SERVICE_STOP_PENDING ? ServiceState::StopPending
                                                        : ServiceState::Running;
    return true;
}

bool win32StopService(const char* name) {
    ServiceOpened open(name, SC_MANAGER_ALL_ACCESS, SERVICE_STOP);
    SERVICE_STATUS s;
    return open.service && ControlService(open.service, SERVICE_CONTROL_STOP, &s);
}

// The system's error itself, as the manager's own tools end.
int win32ServiceExitCode(SystemError error) { return error.code ? static_cast<int>(error.code) : 1; }

bool win32RunService(const char* name, ServiceMainRoutine routine) {
    serviceMainRoutine = routine;
    SERVICE_TABLE_ENTRYA table[2] = {{const_cast<LPSTR>(name), serviceMainTrampoline}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) != 0;
}

bool win32RegisterServiceHandler(const char* name, ServiceHandlerRoutine handler) {
    serviceHandlerRoutine = handler;
    statusHandle = RegisterServiceCtrlHandlerA(name, serviceHandlerTrampoline);
    return statusHandle != nullptr;
}

bool win32SetServiceStatus(const ServiceStatus* update) {
    win32UpdateServiceStatus(*update, &status);
    SERVICE_STATUS s = {status.type,
                        status.state,
                        status.controlsAccepted,
                        status.win32ExitCode,
                        status.serviceSpecificExitCode,
                        status.checkPoint,
                        status.waitHint};
    return SetServiceStatus(statusHandle, &s) != 0;
}

// The running status reported at the start already told the manager.
void win32ServiceReady() {}
