// POSIX backend: the event log is syslog, with the service name as identifier.
#include <cstdlib>
#include <cstring>
#include <syslog.h>

#include "platform/posix_backend.h"

PlatformHandle posixRegisterEventSource(const char* sourceName) {
    // openlog keeps the pointer, so the name must outlive the source.
    char* ident = strdup(sourceName ? sourceName : "varnlet");
    if (!ident) return nullptr;
    openlog(ident, LOG_PID, LOG_DAEMON);
    return ident;
}

bool posixReportEvent(PlatformHandle source, uint16_t eventType, uint32_t, const char* text) {
    if (!source) return false;
    syslog(eventType == 1 ? LOG_ERR : LOG_INFO, "%s", text);
    return true;
}

bool posixDeregisterEventSource(PlatformHandle source) {
    if (!source) return false;
    closelog();
    return true;  // the identifier stays allocated: a late syslog call may still read it
}
