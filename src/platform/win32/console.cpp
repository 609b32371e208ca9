// Win32 backend: standard streams, environment and the console of a service run.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <string>

#include "platform/win32/backend.h"

void win32WriteConsoleLine(bool toError, const char* text) {
    FILE* stream = toError ? stderr : stdout;
    fflush(stream);
    // A console reads bytes by its own code page, not the process's UTF-8: handed the
    // characters, it shows every one (accents, ideographs, emoji).
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0, written = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::u16string wide, line;
        win32DecodeCodePage(text, &wide);
        for (char16_t c : wide + u"\n") {
            if (c == u'\n' && (line.empty() || line.back() != u'\r')) line += u'\r';
            line += c;
        }
        if (WriteConsoleW(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) return;
    }
    fputs(text, stream);
    fputc('\n', stream);
    fflush(stream);
}

const char* win32GetEnvironment(const char* name) { return getenv(name); }

bool win32AllocConsole() { return AllocConsole() != 0; }

static ConsoleHandlerRoutine consoleHandler;

static BOOL WINAPI consoleHandlerTrampoline(DWORD eventType) {
    ConsoleEvent event = eventType == CTRL_C_EVENT          ? ConsoleEvent::Interrupt
                         : eventType == CTRL_BREAK_EVENT    ? ConsoleEvent::Break
                         : eventType == CTRL_LOGOFF_EVENT   ? ConsoleEvent::Logoff
                         : eventType == CTRL_SHUTDOWN_EVENT ? ConsoleEvent::Shutdown
                                                            : ConsoleEvent::Close;
    return consoleHandler(event) ? TRUE : FALSE;
}

bool win32SetConsoleCtrlHandler(ConsoleHandlerRoutine handler) {
    consoleHandler = handler;
    return SetConsoleCtrlHandler(consoleHandlerTrampoline, TRUE) != 0;
}

bool win32ReopenStdStreamsOnConsole() {
    bool ok = freopen("CONOUT$", "a", stdout) != nullptr;
    ok = freopen("CONOUT$", "a", stderr) != nullptr && ok;
    return ok;
}
