// The start-up, executable and working directories, and the changes between them.
#include "launcher/directories.h"

#include <cstring>

#include "launcher/config.h"
#include "launcher/report.h"
#include "launcher/state.h"
#include "platform/platform.h"

static bool failWithFileMessage(const char* object) {
    reportLastError();
    reportError(message(MsgFileAccess), object);
    return false;
}

static bool startupDirTooLong;

bool captureStartupDirectory() {
    State.StartupDir[0] = '\0';
    uint32_t n = Platform.getCurrentDirectory(State.StartupDir, kStartupDirSize);
    if (n == 0) return failWithFileMessage("CURRENT_DIR");
    if (n >= kStartupDirSize) {
        // Too long to keep: StartupDir stays empty, and only a run that has to return to it fails.
        State.StartupDir[0] = '\0';
        startupDirTooLong = true;
    }
    return true;
}

bool enterExecutableDirectory() {
    char path[kPathBufferSize];
    uint32_t n = Platform.getModulePath(path, sizeof path);
    if (n == 0) return failWithFileMessage("CURRENT_EXE");
    if (n >= sizeof path) {
        // A cut path would name some other directory.
        Platform.setLastError(kErrorFilenameTooLong);
        return failWithFileMessage("CURRENT_EXE");
    }
    char* last = strrchr(path, Platform.pathStyle.dirSeparator);
    if (!last) return failWithFileMessage("CURRENT_EXE");
    // At the root of a drive the separator stays: a bare "C:" would name the drive's own
    // current directory, which need not be its root.
    if (last == path || last[-1] == ':')
        last[1] = '\0';
    else
        *last = '\0';
    if (!Platform.setCurrentDirectory(path)) return failWithFileMessage(path);
    return true;
}

bool enterWorkingDirectory(bool forceWorkingDir) {
    if (forceWorkingDir || !Config.UseStartupDir) {
        if (Config.WorkingDir[0] == '\0') return true;
        if (!Platform.setCurrentDirectory(Config.WorkingDir)) return failWithFileMessage(Config.WorkingDir);
        return true;
    }
    if (startupDirTooLong) {
        Platform.setLastError(kErrorFilenameTooLong);
        return failWithFileMessage("CURRENT_DIR");
    }
    if (!Platform.setCurrentDirectory(State.StartupDir)) return failWithFileMessage(State.StartupDir);
    return true;
}
