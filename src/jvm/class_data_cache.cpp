// The class data cache. A folder holds one cache, named by the pointer file "cds.key"
// together with the key it was made for: the runtime's library and version, the final
// option text and the size and time of every class path entry, so a changed runtime,
// class path or archive never meets a stale cache. A start whose key differs makes a new
// cache: the JVM writes it under a name of this process's own, and only the finished file
// is renamed into place and named in the pointer, so two starts at once never read a half
// written cache. Older files of the folder are removed then.
#include "jvm/class_data_cache.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "invoke/split.h"
#include "jvm/installed_runtimes.h"
#include "jvm/java_version.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/state.h"
#include "core/trace.h"
#include "platform/platform.h"

namespace {

const char kPointer[] = "cds.key";
const char kKeyHeader[] = "varnlet class data cache 1\n";
// The JVM ends the process when it cannot finish writing an archive; a cache is only begun
// with room to spare.
constexpr uint64_t kMinimumFreeBytes = 256ull << 20;
constexpr size_t kMaxNameLength = 64;

struct CacheRun {
    bool making;
    ClassDataKind kind;
    std::string folder, written, finalName, key, home, userOptions;
};
CacheRun Run;

std::string inFolder(const std::string& folder, const std::string& name) {
    return joinPath(Platform.traits.pathStyle, folder, name);
}

// The path without its last `levels` names; false when it has too few.
bool parentOf(std::string path, int levels, std::string* parent) {
    for (; levels > 0; --levels)
        if (!parentPath(Platform.traits.pathStyle, path, &path)) return false;
    *parent = path;
    return true;
}

// The runtime's home and major version, from the release file beside bin (lib) and server.
bool runtimeVersion(const char* library, std::string* home, std::string* version, uint32_t* major) {
    char text[4096];
    uint32_t got = 0;
    char name[64];
    JavaVersion parsed;
    if (!parentOf(library, 3, home) ||
        !Platform.files.readStart(inFolder(*home, "release").c_str(), text, sizeof text, &got) ||
        !parseReleaseVersion(text, got, name, sizeof name) || !parseJavaVersion(name, &parsed))
        return false;
    *version = name;
    *major = parsed.major;
    return true;
}

bool cacheFolder(std::string* folder) {
    char buffer[kPathBufferSize];
    uint32_t n = Platform.files.modulePath(buffer, sizeof buffer);
    std::string executable(buffer, n > 0 && n < sizeof buffer ? n : 0), executableDir;
    if (Config.ClassDataCacheDir[0] != '\0') {
        if (isAbsolutePath(Platform.traits.pathStyle, Config.ClassDataCacheDir)) *folder = Config.ClassDataCacheDir;
        else if (parentOf(executable, 1, &executableDir)) *folder = inFolder(executableDir, Config.ClassDataCacheDir);
        else return false;
        return true;
    }
    if (executable.empty() ||
        !Platform.cacheFiles->userCacheFolder(State.RunMode == RunModeKind::Service, buffer, sizeof buffer))
        return false;
    std::string name = pathFileName(Platform.traits.pathStyle, executable);
    if (name.size() > 4 && Platform.traits.pathStyle.caseInsensitiveNames) {
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (tail == ".exe") name.resize(name.size() - 4);
    }
    *folder = inFolder(inFolder(buffer, "varnlet"), name);
    return true;
}

std::string makeKey(const std::vector<std::string>& options, const std::string& version, const char* library,
                    const char* optionText) {
    std::string key = std::string(kKeyHeader) + (Run.kind == ClassDataKind::AotCache ? "aot" : "dynamic") + "\n" +
                      library + "\n" + version + "\n" + optionText + "\n";
    for (const std::string& option : options) {
        if (option.compare(0, 18, "-Djava.class.path=") != 0) continue;
        std::string list = option.substr(18);
        for (size_t at = 0; at <= list.size();) {
            size_t end = list.find(Platform.traits.pathStyle.classPathSeparator, at);
            if (end == std::string::npos) end = list.size();
            uint64_t size = 0, time = 0;
            bool there = Platform.cacheFiles->fileStamp(list.substr(at, end - at).c_str(), &size, &time);
            key += there ? std::to_string(size) + " " + std::to_string(time) + "\n" : "-\n";
            at = end + 1;
        }
    }
    return key;
}

bool endsWithArchive(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".jar" || tail == ".zip";
}

// True when nothing beneath the folder but archives (which the class path lists anyway)
// could be found through it.
bool onlyArchivesBeneath(const std::string& folder, int depth) {
    DirListing listing;
    if (!Platform.files.listDirectory(folder.c_str(), &listing).listedAll()) return false;
    for (const DirName& entry : listing.entries) {
        std::string name = listing.name(entry);
        if (entry.isDirectory ? depth == 0 || !onlyArchivesBeneath(inFolder(folder, name), depth - 1)
                              : !endsWithArchive(name))
            return false;
    }
    return true;
}

// The runtime refuses to archive with a folder on the class path that is not empty. A
// folder entry that only holds archives (the usual "lib") adds nothing its archives do not,
// so it is left out; one with files of its own means no cache.
bool archivableClassPath(std::vector<std::string>* options) {
    for (std::string& option : *options) {
        if (option.compare(0, 18, "-Djava.class.path=") != 0) continue;
        std::string list = option.substr(18), kept;
        for (size_t at = 0; at <= list.size();) {
            size_t end = list.find(Platform.traits.pathStyle.classPathSeparator, at);
            if (end == std::string::npos) end = list.size();
            std::string entry = list.substr(at, end - at);
            at = end + 1;
            uint32_t attributes = Platform.files.attributes(entry.c_str());
            if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0) {
                if (!onlyArchivesBeneath(entry, 16)) {
                    trace("class data cache: none, the class path folder ", entry.c_str(),
                          " holds files other than archives");
                    return false;
                }
                trace("class data cache: the class path folder ", entry.c_str(),
                      " holds only archives and is left out");
                continue;
            }
            kept += (kept.empty() ? "" : std::string(1, Platform.traits.pathStyle.classPathSeparator)) + entry;
        }
        option = "-Djava.class.path=" + kept;
    }
    return true;
}

// The cache the pointer names when it was made for `key`; empty otherwise.
std::string cacheFor(const std::string& key) {
    std::vector<char> text(kMaxNameLength + key.size() + 2);
    uint32_t got = 0;
    if (!Platform.files.readStart(inFolder(Run.folder, kPointer).c_str(), text.data(),
                                  static_cast<uint32_t>(text.size()), &got))
        return "";
    const char* begin = text.data();
    const char* newline = static_cast<const char*>(std::memchr(begin, '\n', got));
    if (!newline) return "";
    std::string name(begin, newline), rest(newline + 1, begin + got);
    if (rest != key || name.empty() || name.find_first_of("/\\") != std::string::npos) return "";
    uint64_t size = 0, time = 0;
    std::string path = inFolder(Run.folder, name);
    return Platform.cacheFiles->fileStamp(path.c_str(), &size, &time) && size > 0 ? path : "";
}

std::string ownName(const char* suffix) { return "cds-" + std::to_string(Platform.cacheFiles->processId()) + suffix; }

// A file the JVM will write, made now so a folder it cannot write costs nothing later.
bool claim(const std::string& path) {
    if (Platform.cacheFiles->writeNewFile(path.c_str(), "", 0)) return true;
    return Platform.cacheFiles->deleteFile(path.c_str()) && Platform.cacheFiles->writeNewFile(path.c_str(), "", 0);
}

void finishAtExit() { finishClassDataCache(); }

// The folder's lock, a file made only when it does not exist. It is held for a few renames:
// one still there after half a second was left by a start that ended while holding it.
bool takeFolderLock(const std::string& lock) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Platform.cacheFiles->writeNewFile(lock.c_str(), "", 0)) return true;
        Platform.threads.sleepMs(10);
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
    return Platform.cacheFiles->writeNewFile(lock.c_str(), "", 0);
}

// Files of older caches (and what runs that did not finish left), never the one just made.
void removeStale(const std::string& keep) {
    DirListing listing;
    if (Platform.files.listDirectory(Run.folder.c_str(), &listing).failed()) return;
    for (const DirName& entry : listing.entries) {
        std::string name = listing.name(entry);
        auto endsWith = [&](const char* tail) {
            size_t n = std::strlen(tail);
            return name.size() > n && name.compare(name.size() - n, n, tail) == 0;
        };
        if (entry.isDirectory || name == keep || name.compare(0, 4, "cds-") != 0 ||
            !(endsWith(".jsa") || endsWith(".aot") || endsWith(".tmp")))
            continue;
        std::string path = inFolder(Run.folder, name);
        if (Platform.cacheFiles->deleteFile(path.c_str())) trace("class data cache: removed ", path.c_str());
    }
}

// The Java 25 training run leaves a configuration; the cache itself is made from it by the
// runtime's own java command, whose streams lead nowhere.
bool assembleAotCache(const std::string& cache) {
    std::string java =
        inFolder(inFolder(Run.home, "bin"), windowsPaths(Platform.traits.pathStyle) ? "java.exe" : "java");
    std::vector<std::string> arguments = {java, "-XX:AOTMode=create", "-XX:AOTConfiguration=" + Run.written,
                                          "-XX:AOTCache=" + cache};
    int count = 0;
    char** tokens = nullptr;
    if (!splitArguments(Run.userOptions.c_str(), &count, &tokens)) return false;
    // The application's options shape the cache (class path, modules, heap); those that
    // write files or run code of their own would act a second time, and stay out.
    static const char* const kLeftOut[] = {"-Xlog",
                                           "-Xloggc",
                                           "-verbose",
                                           "-agent",
                                           "-javaagent",
                                           "-XX:StartFlightRecording",
                                           "-XX:FlightRecorderOptions",
                                           "-XX:+PrintFlagsFinal",
                                           "-XX:+PrintCommandLineFlags"};
    for (int i = 0; i < count; ++i) {
        bool kept = true;
        for (const char* prefix : kLeftOut) kept = kept && std::strncmp(tokens[i], prefix, std::strlen(prefix)) != 0;
        if (kept) arguments.push_back(tokens[i]);
        std::free(tokens[i]);
    }
    std::free(tokens);
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    int code = Platform.cacheFiles->runQuietly(argv.data());
    uint64_t size = 0, time = 0;
    bool made = code == 0 && Platform.cacheFiles->fileStamp(cache.c_str(), &size, &time) && size > 0;
    if (!made)
        trace("class data cache: ", java.c_str(), " could not make the cache, exit code ",
              std::to_string(code).c_str());
    Platform.cacheFiles->deleteFile(Run.written.c_str());
    return made;
}

}  // namespace

ClassDataKind classDataKindFor(uint32_t major) {
    if (major >= 25) return ClassDataKind::AotCache;
    return major >= 13 ? ClassDataKind::DynamicArchive : ClassDataKind::None;
}

const char* sharingOption(const std::vector<std::string>& options) {
    static const char* const kSharing[] = {
        "-Xshare", "-XX:SharedArchiveFile", "-XX:ArchiveClassesAtExit", "-XX:+AutoCreateSharedArchive",
        "-XX:AOT", "-XX:+UseSharedSpaces",  "-XX:-UseSharedSpaces",     "-XX:SharedClassListFile"};
    for (const std::string& option : options)
        for (const char* prefix : kSharing)
            if (option.compare(0, std::strlen(prefix), prefix) == 0) return option.c_str();
    return nullptr;
}

void prepareClassDataCache(const char* library, char** optionText) {
    if (!Config.ClassDataCache || library == nullptr || *optionText == nullptr) return;
    Run = CacheRun{};
    int count = 0;
    char** split = nullptr;
    if (!splitArguments(*optionText, &count, &split)) return;
    std::vector<std::string> options(split, split + count);
    for (int i = 0; i < count; ++i) std::free(split[i]);
    std::free(split);
    std::string home, version, key;
    uint32_t major = 0;
    if (const char* own = sharingOption(options)) {
        trace("class data cache: left to the option ", own);
    } else if (!runtimeVersion(library, &home, &version, &major)) {
        trace("class data cache: none, the runtime's release file names no version: ", home.c_str());
    } else if ((Run.kind = classDataKindFor(major)) == ClassDataKind::None) {
        trace("class data cache: none for Java ", version.c_str(), " (it needs Java 13 or later)");
    } else if (!cacheFolder(&Run.folder)) {
        trace("class data cache: none, no cache folder for this user");
    } else if (archivableClassPath(&options)) {
        key = makeKey(options, version, library, *optionText);
    }
    if (key.empty()) return;

    const bool aot = Run.kind == ClassDataKind::AotCache;
    // The runtime's own rejection of a cache then goes unsaid (sharing stays on its default,
    // auto: a cache it rejects is passed over).
    std::vector<std::string> added = {aot ? "-Xlog:cds*=off,aot*=off" : "-Xlog:cds*=off"};
    std::string cache = cacheFor(key);
    if (!cache.empty()) {
        trace("class data cache: using ", cache.c_str());
        added.push_back((aot ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=") + cache);
    } else {
        Run.home = home;
        Run.key = key;
        Run.finalName = ownName(aot ? ".aot" : ".jsa");
        Run.written = inFolder(Run.folder, ownName(aot ? ".aotconf.tmp" : ".jsa.tmp"));
        if (!Platform.cacheFiles->createFolders(Run.folder.c_str()) || !claim(Run.written)) {
            trace("class data cache: none, cannot write in ", Run.folder.c_str());
            return;
        }
        if (Platform.cacheFiles->freeBytes(Run.folder.c_str()) < kMinimumFreeBytes) {
            Platform.cacheFiles->deleteFile(Run.written.c_str());
            trace("class data cache: none, too little free space in ", Run.folder.c_str());
            return;
        }
        trace("class data cache: making ", inFolder(Run.folder, Run.finalName).c_str(),
              " (none yet for this runtime, class path and options)");
        if (aot) {
            // The training run tells of its configuration on the application's stream.
            added.insert(added.end(), {"-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput", "-XX:AOTMode=record",
                                       "-XX:AOTConfiguration=" + Run.written});
        } else {
            added.push_back("-XX:ArchiveClassesAtExit=" + Run.written);
        }
    }
    // In front, so the user's own -Xlog options come later and win.
    std::string text, userText;
    for (size_t i = 0; i < added.size() + options.size(); ++i) {
        const std::string& option = i < added.size() ? added[i] : options[i - added.size()];
        if (option.find('"') != std::string::npos) {
            trace("class data cache: none, an option holds a double quote: ", option.c_str());
            if (!Run.written.empty()) Platform.cacheFiles->deleteFile(Run.written.c_str());
            return;
        }
        std::string& to = i < added.size() ? text : userText;
        to += (to.empty() ? "\"" : " \"") + option + "\"";
    }
    Run.userOptions = userText;
    text += (text.empty() || userText.empty() ? "" : " ") + userText;
    char* joined = static_cast<char*>(std::malloc(text.size() + 1));
    if (!joined) return;
    std::memcpy(joined, text.c_str(), text.size() + 1);
    std::free(*optionText);
    *optionText = joined;
    if (!Run.written.empty() && !Run.making) {
        Run.making = true;
        static bool registered = false;
        if (!registered) registered = std::atexit(finishAtExit) == 0;
    }
}

void finishClassDataCache() {
    if (!Run.making) return;
    Run.making = false;
    std::string cache = inFolder(Run.folder, Run.finalName);
    uint64_t size = 0, time = 0;
    if (!Platform.cacheFiles->fileStamp(Run.written.c_str(), &size, &time) || size == 0) {
        trace("class data cache: the runtime wrote none");
        Platform.cacheFiles->deleteFile(Run.written.c_str());
        return;
    }
    std::string made = Run.kind == ClassDataKind::AotCache ? inFolder(Run.folder, ownName(".aot.tmp")) : Run.written;
    if (Run.kind == ClassDataKind::AotCache && !assembleAotCache(made)) {
        Platform.cacheFiles->deleteFile(made.c_str());
        return;
    }
    // One start at a time puts its cache in place, names it in the pointer and removes the
    // older files: two starts finishing at once would otherwise each remove the cache the
    // other had just put in place, and the pointer would name a removed file.
    std::string lock = inFolder(Run.folder, "cds.lock");
    if (!takeFolderLock(lock)) {
        trace("class data cache: could not keep ", cache.c_str(), ", another start holds the folder's lock");
        Platform.cacheFiles->deleteFile(made.c_str());
        return;
    }
    std::string pointer = Run.finalName + "\n" + Run.key;
    std::string pointerTemp = inFolder(Run.folder, ownName(".key.tmp"));
    Platform.cacheFiles->deleteFile(pointerTemp.c_str());
    if (!Platform.cacheFiles->renameFile(made.c_str(), cache.c_str()) ||
        !Platform.cacheFiles->writeNewFile(pointerTemp.c_str(), pointer.data(), pointer.size()) ||
        !Platform.cacheFiles->renameFile(pointerTemp.c_str(), inFolder(Run.folder, kPointer).c_str())) {
        trace("class data cache: could not keep ", cache.c_str());
        for (const std::string& path : {made, pointerTemp}) Platform.cacheFiles->deleteFile(path.c_str());
    } else {
        trace("class data cache: made ", cache.c_str());
        removeStale(Run.finalName);
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
}
