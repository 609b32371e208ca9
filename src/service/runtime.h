// Running the application under the service control manager.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// The stop time-out (ServiceStopTimeout, 1 to 86400 s; anything else means the default)
// and the wait hint reported with the stop, which leaves the time-out 10 s to end it.
constexpr uint32_t kStopTimeoutMs = 30000;
constexpr uint32_t kMaxStopTimeoutSeconds = 86400;
constexpr uint32_t kStopWaitHintMarginMs = 10000;
uint32_t serviceStopTimeoutMs();
uint32_t serviceStopWaitHintMs();

// The stop time-out in whole seconds, as the Linux unit file states it.
inline uint32_t stopTimeoutSeconds() { return serviceStopTimeoutMs() / 1000; }

void runServiceDispatcher();
// The service's start and stop logic in the console (Ctrl+C stops it); reports go to the
// console. Returns the service's exit code (0, or one of service/exit_codes.h).
int runServiceInConsole();
void serviceMain();
void serviceControlHandler(ServiceControl control);
uint32_t serviceWorkerThread(void* parameter);
uint32_t serviceStopperThread(void* parameter);
uint32_t serviceStopTimeoutThread(void* parameter);

// The Java steps the service threads take. They are the real ones; unit tests of the
// thread logic put scripted steps in their place (and restore these) so no JVM is needed.
struct ServiceJavaSteps {
    bool (*createJvm)(bool withConsole);
    bool (*invokeMainClass)(int count, char** vector, bool attach);
    void (*destroyJvm)();
    bool (*requestJavaExit)();
};
extern ServiceJavaSteps ServiceJava;
const ServiceJavaSteps& defaultServiceJavaSteps();
