// The service's own exit codes, reported with its stopped status, so the service manager
// (and its recovery) learns why the service ended. A service that ends cleanly, by a
// requested stop or by the application's own successful end, reports 0.
#pragma once
#include <cstdint>

constexpr uint32_t kServiceExitJvmFailed = 1;  // no runtime, library not loadable, JVM not created
constexpr uint32_t kServiceExitAppFailed = 2;  // class or method missing, main threw, the application failed
constexpr uint32_t kServiceExitStopTimeout = 3;  // a stop that had to be forced by the time-out
