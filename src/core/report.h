// Message reporting: console streams or the event log, chosen by RunMode.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// A refusal is a start the launcher declines on purpose (a second instance): reported as an
// error, but its message box shows the information icon, since nothing has gone wrong.
enum class ReportKind { Info, Error, Refusal };

constexpr size_t kReportTextSize = 8192;

void reportInfo(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void reportError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void reportLastError();
// Reports the system's text for an error kept from earlier or returned by a call (the registry's).
void reportSystemError(SystemError error);
void emitReport(ReportKind kind, const char* text);
// An error report that names a web page that helps: a message box offers to open it, console
// lines and events carry its address after the text. Without a page, a plain error report.
void reportErrorOfferingPage(const char* url, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
// An error report followed by a detail (an exception's text) on a line of its own; in a box,
// after an empty line and cut to kBoxDetailSize bytes. A cut text ends in "...".
void reportErrorWithDetail(const char* detail, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
constexpr size_t kBoxDetailSize = 1024;
// An error text that explains the message reported next (what a search passed over): a
// message box shows it above that message, console lines and events carry it first.
void reportPreface(const char* text);
// Shows a system text still waiting for its message; the end of a run calls it.
void flushReports();
