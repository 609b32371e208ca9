// Log files the launcher keeps: the roll rule, the names of rolled files, and the roll-over
// itself, done under the file's lock so every write lands whole in exactly one file.
#include "core/log_files.h"

#include <cstdlib>
#include <cstring>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
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
};
LogFile files[kLogSlots];

// Moves app.log.1 ... up by one, the oldest kept one replaced, and the log itself to app.log.1.
void shiftRolledFiles(const LogFile& file) {
    const CacheFileOps& fs = *Platform.cacheFiles;
    for (uint32_t n = file.rotation.keep; n > 1; --n)
        fs.renameFile(rolledLogName(file.path, n - 1).c_str(), rolledLogName(file.path, n).c_str());
    if (file.rotation.keep > 0) fs.renameFile(file.path.c_str(), rolledLogName(file.path, 1).c_str());
}

// A fresh file under the log's name, opened before anything moves: when it cannot be made,
// the lines go on into the current file and nothing is renamed.
bool rollOver(LogFile& file) {
    const LogFileOps& ops = *Platform.logFiles;
    std::string fresh = file.rotation.keep > 0 ? file.path + ".new" : file.path;
    PlatformHandle handle = ops.open(fresh.c_str());
    if (!handle) return false;
    if (file.rotation.keep > 0) {
        shiftRolledFiles(file);
        if (!Platform.cacheFiles->renameFile(fresh.c_str(), file.path.c_str())) {
            ops.close(handle);
            return false;
        }
    }
    if (file.output || file.error) ops.pointStandardStreams(handle, file.output, file.error);
    ops.close(file.handle);
    file.handle = handle;
    file.size = 0;
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
    uint64_t size = 0, time = 0;
    if (logRotationWanted(rotation) && Platform.cacheFiles->fileStamp(path, &size, &time) && size > 0)
        shiftRolledFiles(file);
    file.handle = Platform.logFiles->open(path);
    if (!file.handle) return false;
    file.size = 0;
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
        if (logRollDue(file.rotation, file.size, length, file.day, today) && rollOver(file)) file.day = today;
        else if (file.size == 0) file.day = today;
    }
    bool written = ops.write(file.handle, data, length);
    if (written) file.size += length;
    Platform.threads.releaseLock(&file.lock);
    return written;
}
