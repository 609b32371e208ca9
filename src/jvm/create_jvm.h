// Loading the JVM library, creating the virtual machine and shutting it down.
#pragma once
#include <cstdint>

bool createJvm(bool withConsole);
void destroyJvm();
bool consoleControlHandler(uint32_t eventType);
