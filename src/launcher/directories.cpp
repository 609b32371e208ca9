// The start-up and executable directories: recorded and entered as a run begins, and left
// again for the caller's directory by a command-line tool.
#include "launcher/directories.h"

#include <cstring>

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "core/working_directory.h"
#include "platform/platform.h"

bool captureStartupDirectory() {
    State.StartupDir[0] = '\0';
    uint32_t n = Platform.files.currentDirectory(State.StartupDir, kStartupDirSize);
    if (n == 0) return reportFileAccessFailure("CURRENT_DIR");
    if (n >= kStartupDirSize) {
        // Too long to keep: StartupDir stays empty, and only a run that has to return to it fails.
        State.StartupDir[0] = '\0';
        State.StartupDirTooLong = true;
    }
    return true;
}

bool enterExecutableDirectory() {
    char path[kPathBufferSize];
    if (!executableDirectory(path, sizeof path)) return reportFileAccessFailure("CURRENT_EXE");
    if (!Platform.files.setCurrentDirectory(path)) return reportFileAccessFailure(path);
    return true;
}

bool returnToStartupDirectory() {
    if (!Config.StayInStartupDir) return true;
    // The configuration keeps meaning the files beside the executable, as the java command's
    // own options would name them from any directory.
    char path[kPathBufferSize];
    if (!executableDirectory(path, sizeof path)) return reportFileAccessFailure("CURRENT_EXE");
    anchorConfiguredPaths(path);
    trace("staying in the start-up directory; configured paths are taken from ", path);
    if (State.StartupDirTooLong) {
        Platform.errors.set(Platform.errors.ofKind(ErrorKind::NameTooLong));
        return reportFileAccessFailure("CURRENT_DIR");
    }
    if (!Platform.files.setCurrentDirectory(State.StartupDir)) return reportFileAccessFailure(State.StartupDir);
    return true;
}
