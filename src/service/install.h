// Installing and removing the launcher as a service (Windows service manager or systemd).
#pragma once
#include <string>

#include "core/config.h"
#include "core/state.h"
#include "platform/platform.h"

// The command line "\"<path>\" <switch>" holds the longest module path and the longest entry text.
constexpr size_t kServiceCommandLineSize = kPathBufferSize + 3 + kConfigTextBytes + 1;
// The event source's key path holds its prefix followed by the longest name the service manager accepts (256).
constexpr size_t kRegistryKeyPathSize = 512;

constexpr const char* kEventLogKeyPrefix = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr uint32_t kEventLogTypesSupported = 7;  // error, warning, information
constexpr uint32_t kMaxServiceRestarts = 100;

// Exit codes of -install and -uninstall under systemd (the table of docs/GUIDE.md); Windows ends them
// with the system error itself, as its service manager's tools do.
enum : int {
    kSystemdExitFailed = 1,  // any other failure: the message tells which
    kSystemdExitDenied = 2,  // no right to write the unit folder (also a read-only one)
    kSystemdExitExists = 3,  // -install: the unit is there already
    kSystemdExitMissing = 4,  // -uninstall: there is no such unit
    kSystemdExitRefused = 5,  // the service's settings cannot be a unit: name, account, path, setting
    kSystemdExitSystemctl = 6  // systemctl could not be run or failed
};
// The exit code of a service operation that failed with `error`; never 0.
int serviceExitCode(SystemError error);

// The account name written for `configured` (ServiceAccount): empty for LocalSystem (the
// default, also for an empty entry), "NT AUTHORITY\LocalService" for "LocalService",
// "NT AUTHORITY\NetworkService" for "NetworkService" (either written with or without
// "NT AUTHORITY\", any letter case), or the virtual account "NT SERVICE\<serviceName>".
// False for anything else.
bool serviceAccountName(const char* configured, const char* serviceName, std::string* account);

enum class ServiceQuery { Installed, NotInstalled, Failed };
// After Failed, the failing call's error stays the last error.
ServiceQuery isServiceInstalled(const char* serviceName);
// 0 on success; -1 after the failure has been reported, its error then being the last error.
int installService(const char* serviceName, const char* description);
int uninstallService(const char* serviceName);

// The registry steps. `status`, when given, receives the registry status code of the step
// that failed.
enum class RegistryWrite { Written, KeyFailed /* not opened or created */, ValueFailed };
RegistryWrite createRegistryKey(RegistryRoot root, const char* subkey, SystemError* status = nullptr);
RegistryWrite writeRegistryString(RegistryRoot root, const char* subkey, const char* valueName, const char* text,
                                  SystemError* status = nullptr);
RegistryWrite writeRegistryDword(RegistryRoot root, const char* subkey, const char* valueName, uint32_t value,
                                 SystemError* status = nullptr);
