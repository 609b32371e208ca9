// Loading the JVM library, creating the virtual machine and shutting it down.
#include "jvm/create_jvm.h"

#include "launcher/config.h"
#include "launcher/report.h"

bool createJvm(bool) {
    reportError("%s", message(MsgNoRuntime));
    return false;
}

void destroyJvm() {}

bool consoleControlHandler(uint32_t eventType) { return eventType == 5; }
