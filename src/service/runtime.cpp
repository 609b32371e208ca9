// Running the application under the service control manager.
#include "service/runtime.h"

#include "launcher/report.h"
#include "launcher/state.h"
#include "platform/platform.h"

void runServiceDispatcher() {
    State.RunMode = RunModeKind::Service;
    Platform.setLastError(kErrorNotSupported);
    void* source = Platform.registerEventSource("varnlet");
    if (source) {
        State.EventSource = source;
        reportLastError();
        Platform.deregisterEventSource(source);
        State.EventSource = nullptr;
    }
}
void serviceMain(uint32_t, char**) {}
void serviceControlHandler(uint32_t) {}
uint32_t serviceWorkerThread(void*) { return 0; }
uint32_t serviceStopperThread(void*) { return 0; }
uint32_t serviceStopTimeoutThread(void*) { return 0; }
