// Entering the working directory (WorkingDir or the start-up directory), which the JVM
// creation and the invocation both do; the one report of a directory that fails; and the
// anchoring of configured paths to the executable's directory for a run that stays in the
// caller's directory.
#include "core/working_directory.h"

#include <cstdlib>
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

namespace {

// `path` as seen from `directory`; %NAME% references name their own root.
std::string anchored(const std::string& path, const char* directory) {
    if (path.empty() || path[0] == '%') return path;
    return resolvePath(Platform.traits.pathStyle, directory, path);
}

char* heapText(const std::string& value) {
    char* copy = static_cast<char*>(malloc(value.size() + 1));
    if (!copy) abort();  // nothing sensible can run without its configuration
    memcpy(copy, value.c_str(), value.size() + 1);
    return copy;
}

// A ';' list with every entry anchored. The first entry of a class path may also end at a
// line break, as the class path builder reads it; the break itself is kept after it.
char* anchorList(const std::string& text, const char* directory, bool firstEndsAtLineBreak) {
    std::string out;
    size_t at = 0;
    for (bool first = true; at <= text.size(); first = false) {
        size_t end = text.find_first_of(first && firstEndsAtLineBreak ? ";\r\n" : ";", at);
        if (end == std::string::npos) end = text.size();
        out += anchored(text.substr(at, end - at), directory);
        if (end < text.size()) out += text[end];
        at = end + 1;
    }
    return heapText(out);
}

}  // namespace

void anchorConfiguredPaths(const char* directory) {
    State.ClassPath = anchorList(Config.ClassPath, directory, true);
    State.JvmPath = anchorList(Config.JvmPath, directory, false);
    if (Config.SystemOutFile[0] != '\0') State.SystemOutFile = heapText(anchored(Config.SystemOutFile, directory));
    if (Config.SystemErrFile[0] != '\0') State.SystemErrFile = heapText(anchored(Config.SystemErrFile, directory));
}
