// The search of runtimes installed without registry entries. Each runtime is judged by its
// own `release` file and its library's header, and one passed over leaves a note, so that
// a search that ends in "no runtime" can say what it saw.
#include "runtimes/installed_runtimes.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/trace.h"
#include "platform/platform.h"
#include "runtimes/java_version.h"
#include "runtimes/probes.h"
#include "runtimes/runtime_home.h"

namespace {

constexpr uint32_t kReleaseReadSize = 16 * 1024;
constexpr uint32_t kHeaderReadSize = 4096;
constexpr size_t kVersionSize = 64;

std::vector<std::string> skippedRuntimes;
std::vector<std::string> seenHomes;  // links followed, so a runtime is judged once

void skip(const std::string& place, const std::string& why) {
    std::string note = place + ": " + why;
    trace("  skipped: ", note.c_str());
    skippedRuntimes.push_back(note);
}

bool readReleaseVersion(const char* home, char* version, size_t size) {
    char path[kPathBufferSize];
    if (!joinPath(Platform.traits.pathStyle, path, sizeof path, home, "release")) return false;
    std::vector<char> text(kReleaseReadSize);
    uint32_t got = 0;
    return Platform.files.readStart(path, text.data(), kReleaseReadSize, &got) &&
           parseReleaseVersion(text.data(), got, version, size);
}

// A Java 8 kit keeps its release file beside its `jre` folder, not in it, and people point
// JAVA_HOME at either.
bool readKitReleaseVersion(const char* home, char* version, size_t size) {
    std::string parent;
    std::string last =
        pathFileName(Platform.traits.pathStyle, withoutTrailingSeparators(Platform.traits.pathStyle, home));
    if (Platform.traits.pathStyle.caseInsensitiveNames)
        for (char& c : last) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (last != "jre" || !parentPath(Platform.traits.pathStyle, home, &parent) ||
        !readReleaseVersion(parent.c_str(), version, size))
        return false;
    trace("  release file of the kit above: ", parent.c_str());
    return true;
}

// Windows users write `set JAVA_HOME="C:\Program Files\..."`, and cmd keeps the quotes.
std::string unquoted(std::string text) {
    if (windowsPaths(Platform.traits.pathStyle) && text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return text;
}

// A minimum that parses and asks for more than nothing.
bool hasMinimum() {
    JavaVersion minimum;
    return parseMinimumJavaVersion(Config.MinJavaVersion, &minimum) && (minimum.major != 0 || minimum.minor != 0);
}

std::string minimumText() { return Config.MinJavaVersion ? Config.MinJavaVersion : ""; }

// Version, library and width checks for one runtime home.
bool tryInstalledHome(const char* home, const char* source, RuntimeSearch& search, char* buffer, size_t size) {
    trace(source, ": ", home);
    char resolved[kPathBufferSize];
    std::string identity = Platform.files.resolveLinks(home, resolved, sizeof resolved) ? resolved : home;
    if (std::find(seenHomes.begin(), seenHomes.end(), identity) != seenHomes.end()) {
        trace("  already judged as ", identity.c_str());
        return false;
    }
    seenHomes.push_back(identity);
    if (Platform.files.kind(home) != FileKind::Directory) {
        skip(home, "no such folder");
        return false;
    }
    if (std::strlen(home) + 1 > sizeof search.home) {
        skip(home, "path too long");
        return false;
    }

    char version[kVersionSize];
    if (readReleaseVersion(home, version, sizeof version) || readKitReleaseVersion(home, version, sizeof version)) {
        if (!versionPasses(version, false)) {
            skip(home, std::string("Java ") + version + " does not meet MinJavaVersion " + minimumText());
            return false;
        }
        trace("  release file: Java ", version);
    } else if (hasMinimum()) {
        skip(home, "no version in a release file, and MinJavaVersion " + minimumText() + " asks for one");
        return false;
    } else {
        trace("  no version in a release file; no minimum asked for");
    }

    if (!tryHomeCandidates(home, search.jvmPathUnderHome, buffer, size)) {
        skip(home, "no JVM library in it");
        return false;
    }
    unsigned char head[kHeaderReadSize];
    uint32_t got = 0;
    std::string why =
        Platform.files.readStart(buffer, head, sizeof head, &got) ? libraryMismatch(head, got) : "cannot be read";
    if (!why.empty()) {
        skip(buffer, why);
        std::memset(buffer, 0, size);
        return false;
    }
    std::memset(search.home, 0, sizeof search.home);
    std::memcpy(search.home, home, std::strlen(home) + 1);
    trace("  taken: ", buffer);
    return true;
}

// Version managers (asdf, jenv) put a shell script named `java` on PATH: no runtime's home
// lies above it, and the runtime it would pick may well be further along PATH.
bool isScript(const char* program) {
    char head[2];
    uint32_t got = 0;
    return Platform.files.readStart(program, head, sizeof head, &got) && got == 2 && head[0] == '#' && head[1] == '!';
}

// The first `java` program on PATH that is no script, with its links followed. Relative
// entries mean the directory the launcher was started from, as they did for the shell.
bool findJavaOnPath(std::string* program) {
    const char* path = Platform.process.environment("PATH");
    if (path == nullptr) return false;
    bool windows = windowsPaths(Platform.traits.pathStyle);
    const char* name = windows ? "java.exe" : "java";
    char candidate[kPathBufferSize];
    for (const char* entry = path; *entry != '\0';) {
        const char* end = std::strchr(entry, Platform.traits.pathStyle.classPathSeparator);
        if (end == nullptr) end = entry + std::strlen(entry);
        std::string folder = unquoted(std::string(entry, static_cast<size_t>(end - entry)));
        entry = *end != '\0' ? end + 1 : end;
        // An empty entry would mean the current directory: no place to pick up a runtime.
        bool relative = !isAbsolutePath(Platform.traits.pathStyle, folder.c_str());
        if (folder.empty() || (relative && State.StartupDirTooLong)) continue;
        if (relative) folder = joinPath(Platform.traits.pathStyle, State.StartupDir, folder);
        if (!joinPath(Platform.traits.pathStyle, candidate, sizeof candidate, folder.c_str(), name) ||
            !fileExists(candidate))
            continue;
        char resolved[kPathBufferSize];
        *program = Platform.files.resolveLinks(candidate, resolved, sizeof resolved) ? resolved : candidate;
        if (isScript(program->c_str())) {
            skip(candidate, "a script (a version manager's shim?), not a Java runtime's program");
            continue;
        }
        trace("PATH: ", candidate, " is ", program->c_str());
        return true;
    }
    trace("PATH: no ", name);
    return false;
}

// Compares version texts number by number ("17.0.10" after "17.0.9").
bool newer(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        while (i < a.size() && !std::isdigit(static_cast<unsigned char>(a[i]))) ++i;
        while (j < b.size() && !std::isdigit(static_cast<unsigned char>(b[j]))) ++j;
        size_t si = i, sj = j;
        while (i < a.size() && std::isdigit(static_cast<unsigned char>(a[i]))) ++i;
        while (j < b.size() && std::isdigit(static_cast<unsigned char>(b[j]))) ++j;
        std::string x = a.substr(si, i - si), y = b.substr(sj, j - sj);
        while (x.size() > 1 && x[0] == '0') x.erase(0, 1);
        while (y.size() > 1 && y[0] == '0') y.erase(0, 1);
        if (x.size() != y.size()) return x.size() > y.size();
        if (x != y) return x > y;
    }
    return false;
}

struct FolderRuntime {
    std::string home;
    std::string version;  // empty when its release file names none
};

bool searchStandardFolder(const char* folder, RuntimeSearch& search, char* buffer, size_t size) {
    DirListing listing;
    SystemError rc = Platform.files.listDirectory(folder, &listing);
    if (rc.failed() && listing.entries.empty()) {
        trace(folder, ": cannot be listed");
        return false;
    }
    std::vector<FolderRuntime> runtimes;
    for (const DirName& entry : listing.entries) {
        if (!entry.isDirectory) continue;
        char home[kPathBufferSize];
        if (!joinPath(Platform.traits.pathStyle, home, sizeof home, folder, listing.name(entry))) continue;
        char version[kVersionSize];
        runtimes.push_back({home, readReleaseVersion(home, version, sizeof version) ? version : ""});
    }
    // Newest first; those without a version last; equal versions by name, so the order
    // does not depend on the listing's.
    std::sort(runtimes.begin(), runtimes.end(), [](const FolderRuntime& a, const FolderRuntime& b) {
        if (a.version.empty() != b.version.empty()) return b.version.empty();
        if (newer(a.version, b.version)) return true;
        if (newer(b.version, a.version)) return false;
        return a.home < b.home;
    });
    for (const FolderRuntime& runtime : runtimes)
        if (tryInstalledHome(runtime.home.c_str(), folder, search, buffer, size)) return true;
    return false;
}

}  // namespace

bool findInstalledJvm(RuntimeSearch& search, char* buffer, size_t size) {
    skippedRuntimes.clear();
    seenHomes.clear();
    const char* javaHomeText = Platform.process.environment("JAVA_HOME");
    std::string javaHome = unquoted(javaHomeText != nullptr ? javaHomeText : "");
    if (!javaHome.empty()) {
        if (tryInstalledHome(javaHome.c_str(), "JAVA_HOME", search, buffer, size)) return true;
    } else {
        trace("JAVA_HOME: not set");
    }
    std::string program;
    if (findJavaOnPath(&program)) {
        std::string bin, home;
        if (parentPath(Platform.traits.pathStyle, program, &bin) && parentPath(Platform.traits.pathStyle, bin, &home)) {
            if (tryInstalledHome(home.c_str(), "PATH", search, buffer, size)) return true;
        }
    }
    const char* folder = Platform.traits.standardRuntimeFolder;
    return folder != nullptr && searchStandardFolder(folder, search, buffer, size);
}

void reportSkippedRuntimes() {
    if (skippedRuntimes.empty()) return;
    std::string text = "Java runtimes found but not used:";
    for (const std::string& note : skippedRuntimes) text += "\n  " + note;
    reportPreface(text.c_str());
}

void reportSearchHint() {
    if (State.RunMode != RunModeKind::Console || State.Windowed) return;
    JavaVersion minimum;
    std::string hint =
        "To see where the launcher looked for Java, run it again with the environment variable "
        "VARNLET_TRACE set.";
    if (hasMinimum() && parseMinimumJavaVersion(Config.MinJavaVersion, &minimum)) {
        std::string wanted = (minimum.major < 9 ? "1." : "") + std::to_string(minimum.major) +
                             (minimum.minor != 0 ? "." + std::to_string(minimum.minor) : "");
        hint = "Looked for Java " + wanted + " or later (MinJavaVersion " + minimumText() + "). " + hint;
    }
    emitReport(ReportKind::Error, hint.c_str());
}
