// JVM options for applications started as they ship. The runtime takes the module options
// in their one-word forms only ("--module-path=", "--add-opens=..."), and a module made the
// main one by the property jdk.module.main becomes a root of the boot layer, as `java -m`
// makes it; "-Djdk.module.path=" and the other reserved jdk.module properties are ignored.
#include "options/launch_options.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/jar_file.h"
#include "archive/jar_manifest.h"
#include "core/allocation.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "options/environment_references.h"
#include "options/options.h"
#include "platform/platform.h"

namespace {

char* heapCopy(const std::string& text) { return ::heapCopy(text.data(), text.size()); }

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The jar's path as the agent loader needs it, whatever directory main later runs in.
std::string fullPath(const char* path) {
    if (isAbsolutePath(Platform.traits.pathStyle, path)) return path;
    char directory[kStartupDirSize];
    uint32_t n = Platform.files.currentDirectory(directory, sizeof directory);
    if (n == 0 || n >= sizeof directory) return path;
    return joinPath(Platform.traits.pathStyle, directory, path);
}

BuildOutcome failJar(unsigned id, const std::string& why) {
    reportError(message(id), (std::string(runMainJar()) + why).c_str());
    return BuildOutcome::Reported;
}

BuildOutcome addJarOptions(std::vector<std::string>* options) {
    std::string manifest, value;
    State.MainJarFullPath = heapCopy(fullPath(runMainJar()));
    // As `java -jar` reads it: the manifest's exact name, its last entry, its checksum unread.
    switch (readJarEntry(Platform.files.readAt, runMainJar(), "META-INF/MANIFEST.MF", false, &manifest, false)) {
    case JarEntryRead::CannotOpen:
        reportLastError();
        reportError(message(MsgFileAccess), runMainJar());
        return BuildOutcome::Reported;
    case JarEntryRead::Damaged: return failJar(MsgFileAccess, " (not a jar that can be read)");
    case JarEntryRead::Missing: manifest.clear(); break;  // only MainClass can name main then
    case JarEntryRead::Found:
        if (!manifestReadable(manifest)) return failJar(MsgFileAccess, " (its manifest is malformed)");
        break;
    }
    if (!isSet(Config.MainClass)) {
        std::string mainClass = manifestAttribute(manifest, "Main-Class", &value) ? trimmed(value) : "";
        if (mainClass.empty()) return failJar(MsgLocateClass, " (its manifest names no Main-Class)");
        for (char& c : mainClass)
            if (c == '.') c = '/';
        State.MainClass = heapCopy(mainClass);
    }
    if (manifestAttribute(manifest, "Add-Opens", &value)) State.JarAddOpens = heapCopy(value);
    if (manifestAttribute(manifest, "Add-Exports", &value)) State.JarAddExports = heapCopy(value);
    // Known to `java -jar` from Java 22 on; before, it passes the attribute over.
    if (manifestAttribute(manifest, "Enable-Native-Access", &value) && State.RuntimeFeature >= 22) {
        if (value != "ALL-UNNAMED") return failJar(MsgCreateJvm, " (Enable-Native-Access takes only ALL-UNNAMED)");
        options->push_back("--enable-native-access=ALL-UNNAMED");
    }
    if (manifestAttribute(manifest, "Launcher-Agent-Class", &value) && !trimmed(value).empty())
        State.LauncherAgentClass = heapCopy(trimmed(value));
    if (manifestAttribute(manifest, "SplashScreen-Image", &value) && !trimmed(value).empty())
        State.SplashJarEntry = heapCopy(trimmed(value));
    return BuildOutcome::Done;
}

}  // namespace

char* mainModuleName(const char* mainModule, const char** className) {
    const char* slash = std::strchr(mainModule, '/');
    *className = slash ? slash + 1 : nullptr;
    return heapCopy(slash ? std::string(mainModule, slash) : std::string(mainModule));
}

BuildOutcome addLaunchOptions(std::vector<std::string>* options, const char* javaHome) {
    if (isSet(Config.MainJar)) {
        // The manifest is read before the JVM exists, so the jar's path is expanded here.
        State.MainJar = expandEnvironmentReferences(Config.MainJar, javaHome);
        BuildOutcome done = addJarOptions(options);
        if (done != BuildOutcome::Done) return done;
    }
    if (isSet(Config.ModulePath)) {
        std::string path = "--module-path=";
        for (const char* p = Config.ModulePath; *p; ++p)
            path += *p == ';' ? Platform.traits.pathStyle.classPathSeparator : *p;
        options->push_back(path);
    }
    if (isSet(Config.MainModule)) {
        const char* className;
        char* module = mainModuleName(Config.MainModule, &className);
        options->push_back(std::string("-Djdk.module.main=") + module);
        std::free(module);
    }
    return BuildOutcome::Done;
}
