// Running the application under the service control manager.
#pragma once
#include <cstdint>

// The stop time-out unless ServiceStopTimeout sets another, and the wait hint's margin over it.
constexpr uint32_t kStopTimeoutMs = 30000;
constexpr uint32_t kStopWaitMarginMs = 10000;
constexpr uint32_t kStopWaitHintMs = kStopTimeoutMs + kStopWaitMarginMs;
// Keeps the time-out and the wait hint in 32 bits of milliseconds.
constexpr uint32_t kStopTimeoutMaxSeconds = 4000000;
// How often a stopper that came before the JVM looks again whether it exists.
constexpr uint32_t kJvmPollMs = 50;

// ServiceStopTimeout in seconds (the default when not positive) and in milliseconds.
uint32_t stopTimeoutSeconds();
uint32_t stopTimeoutMs();

void runServiceDispatcher();
void serviceMain(uint32_t argc, char** argv);
void serviceControlHandler(uint32_t control);
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
