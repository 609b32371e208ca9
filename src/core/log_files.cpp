// Log files the launcher keeps: the roll rule, the names of rolled files, and the roll-over
// itself, done under the file's lock so every write lands whole in exactly one file.
#include "core/log_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "core/working_directory.h"
#include "platform/platform.h"

std::string rolledLogName(const std::string& path, uint32_t n) { return path + "." + std::to_string(n); }

bool logRollDue(const LogRotation& rotation, uint64_t size, size_t length, int64_t openedDay, int64_t today) {
    if (size == 0) return false;  // a fresh file takes any write; an empty day leaves no file behind
    if (rotation.limit > 0 && length > rotation.limit - (size < rotation.limit ? size : rotation.limit)) return true;
    return rotation.daily && today != openedDay;
}

bool loadLogRotation(LogRotation* rotation) {
    rotation->daily = Config.LogRotateDaily;
    rotation->keep = Config.LogRotateKeep < 0 ? 0u : static_cast<uint32_t>(Config.LogRotateKeep);
    if (parseLogSize(Config.LogRotateSize, &rotation->limit)) return true;
    reportError("LogRotateSize \"%s\" is no size: write a number with KB, MB or GB, as 10 MB", Config.LogRotateSize);
    return false;
}

int64_t logToday() {
    const char* clock = Platform.process.environment("VARNLET_TEST_LOG_DAY_FILE");
    if (!clock || !*clock) return Platform.logFiles->localDay();
    char text[32] = {0};
    uint32_t got = 0;
    if (!Platform.files.readStart(clock, text, sizeof text - 1, &got)) return 0;
    text[got] = '\0';
    return strtoll(text, nullptr, 10);
}

namespace {

struct LogFile {
    std::string path;
    PlatformHandle handle = nullptr;
    uint64_t size = 0;
    int64_t day = 0;
    bool output = false, error = false;  // the process's streams that point here
    LogRotation rotation{};
    PlatformLock lock;
    bool rollOwed = false;  // the previous run's lines are still in the log: its roll at the start failed
    bool retrying = false;  // the last roll-over failed, at `failedAt` by the steady clock
    uint64_t failedAt = 0;
};
LogFile files[kLogSlots];

// Why a roll-over did not happen, on the trace: what failed, the system's words, where the
// lines go meanwhile.
void traceNotRolled(const LogFile& file, const std::string& step, SystemError failure) {
    if (!traceEnabled()) return;
    char text[512];
    std::string reason =
        Platform.errors.text(failure, text, sizeof text) ? text : "system error " + std::to_string(failure.code);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    trace("log not rolled over: ", (step + ": " + reason).c_str(), "; its lines go on into ",
          (file.path + ", tried again after a second").c_str());
}

// Moves the rolled files from app.log.1 up to the first missing number one up and the log
// itself to app.log.1, oldest first, each to a free name, so no move replaces a file (another
// process's roll-over of the same log included). A file another program holds open against
// moving stops the roll-over before anything moves; a move that fails all the same stops the
// shift there, every file still under a name of its own, and the gap it leaves is where the
// next try's shift ends.
bool shiftRolledFiles(const LogFile& file) {
    const LogFileOps& ops = *Platform.logFiles;
    uint32_t keep = file.rotation.keep, gap = 1;
    uint64_t size = 0, time = 0;
    while (gap <= keep + 1 && Platform.cacheFiles->fileStamp(rolledLogName(file.path, gap).c_str(), &size, &time))
        ++gap;
    if (gap > keep + 1) {  // a file past LogRotateKeep left from earlier: the shift takes its name
        std::string past = rolledLogName(file.path, --gap);
        if (!Platform.cacheFiles->deleteFile(past.c_str())) {
            traceNotRolled(file, "cannot delete " + past, Platform.errors.last());
            return false;
        }
    }
    for (uint32_t n = 0; n < gap; ++n) {
        std::string name = n > 0 ? rolledLogName(file.path, n) : file.path;
        if (!ops.movable(name.c_str())) {
            traceNotRolled(file, name + " cannot be moved", Platform.errors.last());
            return false;
        }
    }
    for (uint32_t n = gap; n > 0; --n) {
        std::string from = n > 1 ? rolledLogName(file.path, n - 1) : file.path, to = rolledLogName(file.path, n);
        if (!ops.move(from.c_str(), to.c_str())) {
            traceNotRolled(file, "cannot move " + from + " to " + to, Platform.errors.last());
            return false;
        }
    }
    return true;
}

// Once the fresh log is open: the file pushed past LogRotateKeep goes.
void dropOldest(const LogFile& file) {
    Platform.cacheFiles->deleteFile(rolledLogName(file.path, file.rotation.keep + 1).c_str());
}

// The log moves to app.log.1 first and a fresh file is opened under its name: when that
// cannot be made, the log moves back and the lines go on into it; with LogRotateKeep 0
// the log is emptied. No other file is made, so a failure leaves nothing behind.
bool rollOver(LogFile& file) {
    const LogFileOps& ops = *Platform.logFiles;
    bool keeping = file.rotation.keep > 0;
    if (keeping && !shiftRolledFiles(file)) return false;
    PlatformHandle handle = ops.open(file.path.c_str(), !keeping);
    if (!handle) {
        SystemError failure = Platform.errors.last();
        if (keeping) ops.move(rolledLogName(file.path, 1).c_str(), file.path.c_str());
        traceNotRolled(file, "cannot open a fresh " + file.path, failure);
        return false;
    }
    if (keeping) dropOldest(file);
    if (file.output || file.error) ops.pointStandardStreams(handle, file.output, file.error);
    ops.close(file.handle);
    file.handle = handle;
    file.size = keeping ? ops.size(handle) : 0;  // another process may share the log
    return true;
}

bool openQuietly(int slot, const char* path, const LogRotation& rotation, bool output, bool error) {
    LogFile& file = files[slot];
    Platform.threads.initLock(&file.lock);
    file.path = path;
    file.rotation = rotation;
    file.output = output;
    file.error = error;
    file.day = rotation.daily ? logToday() : 0;
    if (!makeLogFolder(path)) return false;
    // With rolled files kept, the log is appended to: another instance may be writing to
    // it, and a previous log that cannot be rolled yet keeps its lines.
    bool keeping = logRotationWanted(rotation) && rotation.keep > 0;
    uint64_t size = 0, time = 0;
    bool previous = keeping && Platform.cacheFiles->fileStamp(path, &size, &time) && size > 0;
    file.rollOwed = file.retrying = previous && !shiftRolledFiles(file);
    if (file.retrying) file.failedAt = Platform.logFiles->milliseconds();
    file.handle = Platform.logFiles->open(path, !keeping);
    if (!file.handle) return false;
    if (previous && !file.rollOwed) dropOldest(file);
    file.size = keeping ? Platform.logFiles->size(file.handle) : 0;
    if ((output || error) && !Platform.logFiles->pointStandardStreams(file.handle, output, error)) {
        SystemError failure = Platform.errors.last();
        Platform.logFiles->close(file.handle);
        file.handle = nullptr;
        Platform.errors.set(failure);
        return false;
    }
    return true;
}

// The folder main will be invoked in, as the invocation will enter it; empty when that
// cannot be known here.
std::string invocationDirectory() {
    char here[kStartupDirSize];
    uint32_t n = Platform.files.currentDirectory(here, sizeof here);
    if (n == 0 || n >= sizeof here) return "";
    if (Config.EarlyWorkingDir) return here;  // entered with the JVM's creation
    switch (workingDirectoryChoice(false)) {
    case WorkingDirectoryChoice::Unchanged: return here;
    case WorkingDirectoryChoice::WorkingDir: return resolvePath(Platform.traits.pathStyle, here, Config.WorkingDir);
    case WorkingDirectoryChoice::StartupDir: break;
    }
    return State.StartupDirTooLong ? "" : std::string(State.StartupDir);
}

}  // namespace

bool makeLogFolder(const char* path) {
    std::string folder;
    if (!parentPath(Platform.traits.pathStyle, path, &folder)) return true;
    if (Platform.files.kind(folder.c_str()) == FileKind::Directory) return true;
    return Platform.logFiles->createFolders(folder.c_str());
}

bool logFileOpen(int slot) { return files[slot].handle != nullptr; }

bool logFilesTakeStandardStreams() { return State.RunMode == RunModeKind::Service || State.Windowed; }

bool logFilesAreOne(const char* directory) {
    return Config.SystemOutFile[0] != '\0' && Config.SystemErrFile[0] != '\0' &&
           sameFile(Platform.traits.pathStyle, directory, Config.SystemOutFile, Config.SystemErrFile);
}

void openLogFilesBeforeJvm() {
    if (!logFilesTakeStandardStreams() || (Config.SystemOutFile[0] == '\0' && Config.SystemErrFile[0] == '\0')) return;
    LogRotation rotation;
    if (!loadLogRotation(&rotation)) return;  // reported again at the invocation
    std::string directory = invocationDirectory();
    if (directory.empty()) return;
    bool oneFile = logFilesAreOne(directory.c_str());
    if (Config.SystemOutFile[0] != '\0' &&
        !openQuietly(0, resolvePath(Platform.traits.pathStyle, directory.c_str(), Config.SystemOutFile).c_str(),
                     rotation, true, oneFile))
        return;
    if (Config.SystemErrFile[0] != '\0' && !oneFile)
        openQuietly(1, resolvePath(Platform.traits.pathStyle, directory.c_str(), Config.SystemErrFile).c_str(),
                    rotation, false, true);
}

bool openLogFile(int slot, const char* path, const LogRotation& rotation, bool output, bool error) {
    // Opened before the JVM: the streams are pointed at it again, since a service's console,
    // made after the JVM, took them over.
    if (logFileOpen(slot)) {
        if (!(output || error) || Platform.logFiles->pointStandardStreams(files[slot].handle, output, error))
            return true;
    } else if (openQuietly(slot, path, rotation, output, error)) {
        return true;
    }
    reportLastError();
    reportError(message(MsgFileAccess), path);
    return false;
}

bool writeLogFile(int slot, const void* data, size_t length) {
    LogFile& file = files[slot];
    const LogFileOps& ops = *Platform.logFiles;
    Platform.threads.acquireLock(&file.lock);
    if (logRotationWanted(file.rotation)) {
        // Native writers add to the file beside us; their bytes count too.
        if (file.output || file.error) file.size = ops.size(file.handle);
        int64_t today = file.rotation.daily ? logToday() : 0;
        bool due = file.rollOwed || logRollDue(file.rotation, file.size, length, file.day, today);
        if (due && file.retrying && ops.milliseconds() - file.failedAt < kLogRollRetryMs) due = false;
        if (due && rollOver(file)) {
            file.day = today;
            file.rollOwed = file.retrying = false;
        } else if (due) {
            file.retrying = true;
            file.failedAt = ops.milliseconds();
        } else if (file.size == 0) {
            file.day = today;
        }
    }
    bool written = ops.write(file.handle, data, length);
    if (written) file.size += length;
    Platform.threads.releaseLock(&file.lock);
    return written;
}
