// Running the application under the service control manager.
#pragma once
#include <cstdint>

constexpr uint32_t kStopTimeoutMs = 30000;
constexpr uint32_t kStopWaitHintMs = 40000;

void runServiceDispatcher();
void serviceMain(uint32_t argc, char** argv);
void serviceControlHandler(uint32_t control);
uint32_t serviceWorkerThread(void* parameter);
uint32_t serviceStopperThread(void* parameter);
uint32_t serviceStopTimeoutThread(void* parameter);
