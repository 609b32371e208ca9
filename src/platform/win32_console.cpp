// Win32 backend: standard streams, environment and the console of a service run.
#include <windows.h>
#include <cstdio>
#include <cstdlib>

#include "platform/win32_backend.h"

void win32WriteConsoleLine(bool toError, const char* text) {
    FILE* stream = toError ? stderr : stdout;
    fprintf(stream, "%s\n", text);
    fflush(stream);
}

const char* win32GetEnvironment(const char* name) { return getenv(name); }

bool win32AllocConsole() { return AllocConsole() != 0; }

static ConsoleHandlerRoutine consoleHandler;

static BOOL WINAPI consoleHandlerTrampoline(DWORD eventType) { return consoleHandler(eventType) ? TRUE : FALSE; }

bool win32SetConsoleCtrlHandler(ConsoleHandlerRoutine handler) {
    consoleHandler = handler;
    return SetConsoleCtrlHandler(consoleHandlerTrampoline, TRUE) != 0;
}

bool win32ReopenStdStreamsOnConsole() {
    bool ok = freopen("CONOUT$", "a", stdout) != nullptr;
    ok = freopen("CONOUT$", "a", stderr) != nullptr && ok;
    return ok;
}
