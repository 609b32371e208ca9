// Installing and removing the launcher as a Windows service.
#pragma once
#include <string>

#include "core/config.h"
#include "core/state.h"
#include "platform/platform.h"

// The command line "\"<path>\" <switch>" holds the longest module path and the longest entry text.
constexpr size_t kServiceCommandLineSize = kPathBufferSize + 3 + kConfigTextBytes + 1;
// A key path holds either prefix followed by the longest name the service manager accepts (256).
constexpr size_t kRegistryKeyPathSize = 512;

constexpr const char* kEventLogKeyPrefix = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
constexpr const char* kServicesKeyPrefix = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr uint32_t kEventLogTypesSupported = 7;  // error, warning, information
constexpr uint32_t kMaxServiceRestarts = 100;
constexpr uint32_t kErrorInvalidServiceAccount = 1057;

// The account name written for `configured` (ServiceAccount): empty for LocalSystem (the
// default, also for an empty entry), "NT AUTHORITY\LocalService" for "LocalService",
// "NT AUTHORITY\NetworkService" for "NetworkService" (either written with or without
// "NT AUTHORITY\", any letter case), or the virtual account "NT SERVICE\<serviceName>".
// False for anything else.
bool serviceAccountName(const char* configured, const char* serviceName, std::string* account);

// 1 installed, 0 not installed, -1 the query failed; the failing call's error stays the last error.
int isServiceInstalled(const char* serviceName);
// 0 on success; -1 after the failure has been reported.
int installService(const char* serviceName, const char* description);
int uninstallService(const char* serviceName);

// The registry steps return 0, -1 (key not opened or created) or 1 (value not written);
// `status`, when given, receives the registry status code of the step that failed.
int createRegistryKey(RegistryRoot root, const char* subkey, long* status = nullptr);
int writeRegistryString(RegistryRoot root, const char* subkey, const char* valueName, const char* text,
                        long* status = nullptr);
int writeRegistryDword(RegistryRoot root, const char* subkey, const char* valueName, uint32_t value,
                       long* status = nullptr);
