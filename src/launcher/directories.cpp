// The start-up and executable directories: recorded and entered as a run begins.
#include "launcher/directories.h"

#include <cstring>

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "core/working_directory.h"
#include "platform/platform.h"

bool captureStartupDirectory() {
    State.StartupDir[0] = '\0';
    uint32_t n = Platform.getCurrentDirectory(State.StartupDir, kStartupDirSize);
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
    uint32_t n = Platform.getModulePath(path, sizeof path);
    if (n == 0) return reportFileAccessFailure("CURRENT_EXE");
    if (n >= sizeof path) {
        // A cut path would name some other directory.
        Platform.setLastError(kErrorFilenameTooLong);
        return reportFileAccessFailure("CURRENT_EXE");
    }
    char* last = strrchr(path, Platform.pathStyle.dirSeparator);
    if (!last) return reportFileAccessFailure("CURRENT_EXE");
    // At the root of a drive the separator stays: a bare "C:" would name the drive's own
    // current directory, which need not be its root.
    if (last == path || last[-1] == ':')
        last[1] = '\0';
    else
        *last = '\0';
    if (!Platform.setCurrentDirectory(path)) return reportFileAccessFailure(path);
    return true;
}
