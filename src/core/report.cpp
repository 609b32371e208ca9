// Message reporting. Formats only "%s" and "%%": message texts come from the configuration,
// so any other conversion in them is printed as it stands instead of reading arguments that
// were never passed. A windowed launcher's console run shows each report in a message box;
// the system's text of a failure waits for the launcher's message that follows it, so the
// two share one box.
#include "core/report.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "core/paths.h"
#include "core/state.h"
#include "platform/hex_text.h"
#include "platform/platform.h"

namespace {

// Where the character holding byte `at` of UTF-8 text starts.
size_t characterStart(const char* text, size_t at) {
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

// Appends with a bound; a text that does not fit ends in "..." so a cut is visible.
struct Writer {
    char* buffer;
    size_t size;
    size_t length;
    bool cut;
    void put(const char* s, size_t n) {
        if (cut) return;
        size_t room = size - 1 - length;
        if (n <= room) {
            memcpy(buffer + length, s, n);
            length += n;
            buffer[length] = '\0';
            return;
        }
        memcpy(buffer + length, s, room);
        cut = true;
        // The sign replaces whole characters: a cut never leaves half of one.
        length = characterStart(buffer, size - 4);
        memcpy(buffer + length, "...", 4);
        length += 3;
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

// The system's text of the last failure, waiting for its message (windowed runs only:
// they report from the main thread alone).
char pendingSystemText[kReportTextSize];
bool hasPendingSystemText = false;

bool showsBoxes() { return State.RunMode == RunModeKind::Console && State.Windowed; }

// The application's name: its version information's description or product name, else the
// executable's name without its extension.
void boxTitle(char* title, size_t size) {
    if (Platform.process.readVersionString("FileDescription", title, size) ||
        Platform.process.readVersionString("ProductName", title, size))
        return;
    char path[kReportTextSize];
    uint32_t n = Platform.files.modulePath(path, sizeof path);
    if (n == 0 || n >= sizeof path) path[0] = '\0';
    std::string name = pathFileName(Platform.traits.pathStyle, path);
    size_t length = name.size() < size - 1 ? name.size() : size - 1;
    memcpy(title, name.c_str(), length);
    title[length] = '\0';
    char* dot = strrchr(title, '.');
    if (dot && dot != title) *dot = '\0';
}

bool showBox(const char* text, BoxKind kind) {
    char title[1024];
    boxTitle(title, sizeof title);
    return Platform.desktop.showMessageBox(title, text, kind);
}

void showReportBox(ReportKind kind, const char* text) {
    showBox(text, kind == ReportKind::Error ? BoxKind::Error : BoxKind::Information);
}

void join(char* out, size_t size, const char* a, const char* separator, const char* b) {
    Writer w{out, size, 0, false};
    out[0] = '\0';
    w.put(a, strlen(a));
    w.put(separator, strlen(separator));
    w.put(b, strlen(b));
}

// The system's text without its line end, a blank line, then the message.
void joinWithSystemText(char* out, size_t size, const char* text) {
    size_t n = strlen(pendingSystemText);
    while (n > 0 && (pendingSystemText[n - 1] == '\n' || pendingSystemText[n - 1] == '\r')) --n;
    pendingSystemText[n] = '\0';
    join(out, size, pendingSystemText, "\n\n", text);
    hasPendingSystemText = false;
}

void reportFormatted(ReportKind kind, const char* format, va_list args) {
    char text[kReportTextSize];
    formatReport(text, sizeof text, format ? format : "", args);
    emitReport(kind, text);
}

}  // namespace

void flushReports() {
    if (!hasPendingSystemText) return;
    hasPendingSystemText = false;
    showReportBox(ReportKind::Error, pendingSystemText);
}

void emitReport(ReportKind kind, const char* text) {
    if (showsBoxes()) {
        if (hasPendingSystemText && kind == ReportKind::Error) {
            char joined[kReportTextSize];
            joinWithSystemText(joined, sizeof joined, text);
            showReportBox(kind, joined);
            return;
        }
        flushReports();
        showReportBox(kind, text);
        return;
    }
    if (State.RunMode == RunModeKind::Console) {
        Platform.console.writeLine(kind != ReportKind::Info, text);
        return;
    }
    void* source = State.EventSource;
    if (!source) return;
    Platform.eventLog.report(source, kind != ReportKind::Info, text);
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

void reportSystemError(SystemError error) {
    char text[kReportTextSize];
    if (!Platform.errors.text(error, text, sizeof text)) {
        // No text for this code: say which code it was rather than nothing.
        char hex[9];
        hexText(error.code, 8, true, hex);
        std::string fallback = "System error " + std::to_string(error.code) + " (0x" + hex + ").\n";
        memcpy(text, fallback.c_str(), fallback.size() + 1);
    }
    if (showsBoxes()) {
        flushReports();
        memcpy(pendingSystemText, text, sizeof text);
        hasPendingSystemText = true;
        return;
    }
    emitReport(ReportKind::Error, text);
}

void reportErrorOfferingPage(const char* url, const char* format, ...) {
    char text[kReportTextSize];
    va_list args;
    va_start(args, format);
    formatReport(text, sizeof text, format ? format : "", args);
    va_end(args);
    if (!url || !url[0]) {
        emitReport(ReportKind::Error, text);
        return;
    }
    char full[kReportTextSize];
    if (!showsBoxes()) {
        join(full, sizeof full, text, "\n", url);
        emitReport(ReportKind::Error, full);
        return;
    }
    join(full, sizeof full, text, "\n\nOpen the download page now?\n", url);
    if (hasPendingSystemText) {
        char offer[kReportTextSize];
        memcpy(offer, full, sizeof offer);
        joinWithSystemText(full, sizeof full, offer);
    }
    if (!showBox(full, BoxKind::ErrorQuestion)) return;
    if (!Platform.desktop.openUrl(url)) {
        reportLastError();
        reportError("%s", url);
    }
}

void reportErrorWithDetail(const char* detail, const char* format, ...) {
    char text[kReportTextSize];
    va_list args;
    va_start(args, format);
    formatReport(text, sizeof text, format ? format : "", args);
    va_end(args);
    bool box = showsBoxes();
    size_t length = strlen(detail);
    char full[kReportTextSize];
    Writer w{full, sizeof full, 0, false};
    full[0] = '\0';
    w.put(text, strlen(text));
    w.put(box ? "\n\n" : "\n", box ? 2 : 1);
    if (box && length > kBoxDetailSize) {
        w.put(detail, characterStart(detail, kBoxDetailSize - 3));
        w.put("...", 3);
    } else {
        w.put(detail, length);
    }
    emitReport(ReportKind::Error, full);
}

void reportPreface(const char* text) {
    if (!showsBoxes()) {
        emitReport(ReportKind::Error, text);
        return;
    }
    // Waits, as a system text does, for the message it leads up to: one box holds both.
    flushReports();
    Writer w{pendingSystemText, sizeof pendingSystemText, 0, false};
    w.put(text, strlen(text));
    hasPendingSystemText = true;
}

void reportLastError() { reportSystemError(Platform.errors.last()); }
