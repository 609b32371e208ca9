// Message reporting. Formats only "%s" and "%%": message texts come from the configuration,
// so any other conversion in them is printed as it stands instead of reading arguments that
// were never passed.
#include "core/report.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/state.h"
#include "platform/platform.h"

namespace {

// Appends with a bound; a text that does not fit ends in "..." so a cut is visible.
struct Writer {
    char* buffer;
    size_t size;
    size_t length;
    bool cut;
    void put(const char* s, size_t n) {
        if (cut) return;
        size_t room = size - 1 - length;
        if (n > room) {
            memcpy(buffer + length, s, room);
            length += room;
            cut = true;
            memcpy(buffer + size - 4, "...", 3);
        } else {
            memcpy(buffer + length, s, n);
            length += n;
        }
        buffer[length] = '\0';
    }
};

void formatReport(char* out, size_t size, const char* format, va_list args) {
    Writer w{out, size, 0, false};
    out[0] = '\0';
    bool argumentUsed = false;
    const char* run = format;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            w.put(run, static_cast<size_t>(p - run) + 1);
            run = p + 2;
            ++p;
        } else if (p[1] == 's' && !argumentUsed) {
            w.put(run, static_cast<size_t>(p - run));
            const char* argument = va_arg(args, const char*);
            if (!argument) argument = "(null)";
            w.put(argument, strlen(argument));
            argumentUsed = true;
            run = p + 2;
            ++p;
        }
    }
    w.put(run, strlen(run));
}

void reportFormatted(ReportKind kind, const char* format, va_list args) {
    char text[kReportTextSize];
    formatReport(text, sizeof text, format ? format : "", args);
    emitReport(kind, text);
}

}  // namespace

void emitReport(ReportKind kind, const char* text) {
    if (State.RunMode == RunModeKind::Console) {
        Platform.writeConsoleLine(kind == ReportKind::Error, text);
        return;
    }
    void* source = State.EventSource;
    if (!source) return;
    if (kind == ReportKind::Error)
        Platform.reportEvent(source, kEventTypeError, kErrorEventId, text);
    else
        Platform.reportEvent(source, kEventTypeInformation, kInfoEventId, text);
}

void reportInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    reportFormatted(ReportKind::Info, format, args);
    va_end(args);
}

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    reportFormatted(ReportKind::Error, format, args);
    va_end(args);
}

void reportSystemError(uint32_t code) {
    char text[kReportTextSize];
    if (!Platform.formatSystemMessage(code, text, sizeof text)) {
        // No text for this code: say which code it was rather than nothing.
        snprintf(text, sizeof text, "System error %lu (0x%08lX).\n", static_cast<unsigned long>(code),
                 static_cast<unsigned long>(code));
    }
    emitReport(ReportKind::Error, text);
}

void reportLastError() { reportSystemError(Platform.getLastError()); }
