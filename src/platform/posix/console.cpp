// POSIX backend: standard streams and environment. There is no console to allocate, so
// the console steps of a service run leave the streams as they are (its stop signals are
// the service runner's, posix_service_run.cpp).
#include <cstdio>
#include <cstdlib>

#include "platform/posix/backend.h"

void posixWriteConsoleLine(bool toError, const char* text) {
    FILE* stream = toError ? stderr : stdout;
    fprintf(stream, "%s\n", text);
    fflush(stream);
}

const char* posixGetEnvironment(const char* name) { return getenv(name); }

bool posixAllocConsole() { return false; }
bool posixReopenStdStreamsOnConsole() { return false; }
