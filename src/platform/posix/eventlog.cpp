// POSIX backend: the event log is standard error, each line with the syslog priority
// prefix that systemd's journal reads (<3> errors, <6> information), so that
// `journalctl -p err` finds the failures of a service.
#include <cstdio>
#include <cstring>

#include "platform/posix/backend.h"

namespace {
int sourceTag;
}

PlatformHandle posixRegisterEventSource(const char*) { return &sourceTag; }

bool posixReportEvent(PlatformHandle source, bool error, const char* text) {
    if (!source) return false;
    int priority = error ? 3 : 6;
    // One report stays together even when several threads report at once.
    FILE* stream = posixReportStream();
    flockfile(stream);
    for (const char* line = text; *line;) {
        size_t n = strcspn(line, "\n");
        size_t shown = n > 0 && line[n - 1] == '\r' ? n - 1 : n;
        fprintf(stream, "<%d>%.*s\n", priority, static_cast<int>(shown), line);
        line += n;
        if (*line) ++line;
    }
    fflush(stream);
    funlockfile(stream);
    return true;
}

bool posixDeregisterEventSource(PlatformHandle source) { return source != nullptr; }

// The journal keeps a service's lines without being told of it.
bool posixAddEventSource(const char*, const char*) { return true; }
