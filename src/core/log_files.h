// The redirected standard streams' files when the launcher keeps them itself: opened by the
// launcher, written without a buffer of ours, and rolled over (app.log -> app.log.1 -> ...)
// at a size or at a new day, with the process's own standard streams following them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "entries/log_size.h"

struct LogRotation {
    uint64_t limit;  // bytes; 0: no size limit
    bool daily;
    uint32_t keep;  // rolled files kept beside the log
};

// The n-th rolled file of `path` (n from 1, the newest): "app.log.3".
std::string rolledLogName(const std::string& path, uint32_t n);

// Whether a write of `length` bytes goes into a fresh file first: it would take a non-empty
// file past the limit, or the file was opened on an earlier day. A file exceeds the limit
// only by a single write larger than the limit.
bool logRollDue(const LogRotation& rotation, uint64_t size, size_t length, int64_t openedDay, int64_t today);

// The rotation the entries ask for; false after reporting a size text that means nothing.
bool loadLogRotation(LogRotation* rotation);
inline bool logRotationWanted(const LogRotation& r) { return r.limit > 0 || r.daily; }

// The test clock: with VARNLET_TEST_LOG_DAY_FILE naming a file, the day number written in it
// replaces the local date (tests change the day while the application runs).
int64_t logToday();

constexpr int kLogSlots = 2;  // System.out's file, System.err's (unused when both share one)

// Creates the missing folders above a log file, as logging libraries do; false with the last
// error set.
bool makeLogFolder(const char* path);

// How long a roll-over that failed (a file held open by another program) waits before it is
// tried again, at the next write that finds it due; meanwhile the lines go on into the log.
constexpr uint64_t kLogRollRetryMs = 1000;

// Opens the file of `slot`, and its missing folders: with rotation, an earlier non-empty file
// is rolled first, so the previous run's lines are kept (appended to when it cannot be rolled
// yet, rolled at a later try); without, or with LogRotateKeep 0, it is emptied. `output` and
// `error` point the process's standard streams at it as well. False after reporting the
// failure.
bool openLogFile(int slot, const char* path, const LogRotation& rotation, bool output, bool error);
// Whether the slot's file is open (opened before the JVM, see below).
bool logFileOpen(int slot);

// A service or a windowed launcher has no console to show what the JVM writes while it
// starts: there the files, and the process's streams with them, are opened before the JVM
// is, in the folder main will be invoked in, so those lines land beside the application's.
// Nothing is reported here: a file that cannot be opened yet is opened again, and its
// failure reported, when main is invoked.
void openLogFilesBeforeJvm();
// The process's streams follow the files (a run without a console).
bool logFilesTakeStandardStreams();
// Whether both entries name one file, seen from `directory`.
bool logFilesAreOne(const char* directory);

// Writes one whole write into the slot's file, rolling over first when due. Threads may call
// it at once: each write lands whole, in the order they get the file. A roll-over that fails
// loses nothing: the rolled files keep their lines under their names, the write goes into
// the log as it is, and the trace says why. False with the last error set when the system
// refused the bytes.
bool writeLogFile(int slot, const void* data, size_t length);
