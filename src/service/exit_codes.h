// Why the service ended, as its final status tells the service manager: dwWin32ExitCode
// kErrorServiceSpecificError with one of these as dwServiceSpecificExitCode, or 0 for a
// clean end. The Linux build ends the process with the same number.
#pragma once
#include <cstdint>

constexpr uint32_t kServiceExitJvmFailed = 1;
constexpr uint32_t kServiceExitAppFailed = 2;
constexpr uint32_t kServiceExitStopTimeout = 3;
