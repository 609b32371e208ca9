// Running the application under the service control manager.
#pragma once
#include <cstdint>

constexpr uint32_t kStopTimeoutMs = 30000;
constexpr uint32_t kStopWaitHintMs = 40000;
// How often a stopper that came before the JVM looks again whether it exists.
constexpr uint32_t kJvmPollMs = 50;

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
