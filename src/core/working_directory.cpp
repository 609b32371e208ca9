// Entering the working directory (WorkingDir or the start-up directory), which the JVM
// creation and the invocation both do; and the one report of a directory that fails.
#include "core/working_directory.h"

#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "platform/platform.h"

bool reportFileAccessFailure(const char* object) {
    reportLastError();
    reportError(message(MsgFileAccess), object);
    return false;
}

bool enterWorkingDirectory(bool forceWorkingDir) {
    if (forceWorkingDir || !Config.UseStartupDir) {
        if (Config.WorkingDir[0] == '\0') {
            if (traceEnabled()) {
                char here[kStartupDirSize];
                uint32_t n = Platform.getCurrentDirectory(here, sizeof here);
                trace("working directory: ", n > 0 && n < sizeof here ? here : "?", " (unchanged: WorkingDir is empty)");
            }
            return true;
        }
        if (!Platform.setCurrentDirectory(Config.WorkingDir)) return reportFileAccessFailure(Config.WorkingDir);
        trace("working directory: ", Config.WorkingDir, " (WorkingDir)");
        return true;
    }
    if (State.StartupDirTooLong) {
        Platform.setLastError(kErrorFilenameTooLong);
        return reportFileAccessFailure("CURRENT_DIR");
    }
    if (!Platform.setCurrentDirectory(State.StartupDir)) return reportFileAccessFailure(State.StartupDir);
    trace("working directory: ", State.StartupDir, " (the start-up directory)");
    return true;
}
