// The search trace. Lines go straight to standard error, whatever the run mode: a service
// has none, and the event log is no place for a trace.
#include "core/trace.h"

#include <string>

#include "platform/platform.h"

bool traceEnabled() { return Platform.process.environment("VARNLET_TRACE") != nullptr; }

void trace(const char* a, const char* b, const char* c, const char* d) {
    if (!traceEnabled()) return;
    std::string line = "varnlet: ";
    for (const char* piece : {a, b, c, d})
        if (piece != nullptr) line += piece;
    Platform.console.writeLine(true, line.c_str());
}
