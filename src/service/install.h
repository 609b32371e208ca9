// Installing and removing the launcher as a service (Windows service manager or systemd).
#pragma once

#include "core/config.h"
#include "core/state.h"
#include "platform/platform.h"

// The longest texts an install takes; longer ones are refused before anything is written.
// The command line "\"<path>\" <switch>" holds the longest module path and the longest entry text;
// the event source is registered under the service's name, in a key path of at most 511
// characters with its 55-character prefix.
constexpr size_t kServiceCommandLineSize = kPathBufferSize + 3 + kConfigTextBytes + 1;
constexpr size_t kLongestServiceName = 511 - 55;
constexpr uint32_t kMaxServiceRestarts = 100;

enum class ServiceQuery { Installed, NotInstalled, Failed };
// After Failed, the failing call's error stays the last error.
ServiceQuery isServiceInstalled(const char* serviceName);
// 0 on success; -1 after the failure has been reported, its error then being the last error.
int installService(const char* serviceName, const char* description);
int uninstallService(const char* serviceName);
