// Entering the working directory (WorkingDir or the start-up directory), which the JVM
// creation and the invocation both do; the one report of a directory that fails; and the
// executable's own folder.
#include "core/working_directory.h"

#include <cstring>
#include <string>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "platform/platform.h"

bool reportFileAccessFailure(const char* object) {
    reportLastError();
    reportError(message(MsgFileAccess), object);
    return false;
}

WorkingDirectoryChoice workingDirectoryChoice(bool forceWorkingDir) {
    if (Config.StayInStartupDir) return WorkingDirectoryChoice::Unchanged;
    if (forceWorkingDir || !Config.UseStartupDir)
        return Config.WorkingDir[0] == '\0' ? WorkingDirectoryChoice::Unchanged : WorkingDirectoryChoice::WorkingDir;
    return WorkingDirectoryChoice::StartupDir;
}

bool enterWorkingDirectory(bool forceWorkingDir) {
    switch (workingDirectoryChoice(forceWorkingDir)) {
    case WorkingDirectoryChoice::Unchanged:
        if (!Config.StayInStartupDir && traceEnabled()) {
            char here[kStartupDirSize];
            uint32_t n = Platform.files.currentDirectory(here, sizeof here);
            trace("working directory: ", n > 0 && n < sizeof here ? here : "?", " (unchanged: WorkingDir is empty)");
        }
        return true;
    case WorkingDirectoryChoice::WorkingDir:
        if (!Platform.files.setCurrentDirectory(Config.WorkingDir)) return reportFileAccessFailure(Config.WorkingDir);
        trace("working directory: ", Config.WorkingDir, " (WorkingDir)");
        return true;
    case WorkingDirectoryChoice::StartupDir: break;
    }
    if (State.StartupDirTooLong) {
        Platform.errors.set(Platform.errors.ofKind(ErrorKind::NameTooLong));
        return reportFileAccessFailure("CURRENT_DIR");
    }
    if (!Platform.files.setCurrentDirectory(State.StartupDir)) return reportFileAccessFailure(State.StartupDir);
    trace("working directory: ", State.StartupDir, " (the start-up directory)");
    return true;
}

bool executableDirectory(char* buffer, size_t size) {
    uint32_t n = Platform.files.modulePath(buffer, static_cast<uint32_t>(size));
    if (n == 0) return false;
    if (n >= size) {
        // A cut path would name some other directory.
        Platform.errors.set(Platform.errors.ofKind(ErrorKind::NameTooLong));
        return false;
    }
    std::string directory;
    if (!parentPath(Platform.traits.pathStyle, std::string(buffer, n), &directory)) return false;
    memcpy(buffer, directory.c_str(), directory.size() + 1);
    return true;
}
