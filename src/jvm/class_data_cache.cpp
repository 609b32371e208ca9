// The class data cache. An installation (the executable's full path) has a folder of its own,
// and in it one cache per runtime it runs with, a "slot" named by a checksum of the runtime's
// library: the pointer file "cds-SLOT.key" names the slot's cache with its size and time, the
// number of classes the run that made it loaded, and the key it was made for (the runtime's
// library and version, the final options and the size and time of every class path entry),
// so a changed runtime, class path or archive never meets a stale cache. Every file of the
// cache is named "cds-SLOT-PID..." after the process that made it: what a process that ended
// left unfinished is found by its number and removed.
//
// The folder and the files are trusted only when they are the account's own and nobody else
// may write them, since the JVM maps them into the application's process. A start that uses
// a cache leaves a marker until it ends in order: a later start removes a cache whose start
// crashed. A cache is kept only from a run that ended normally, and made again when
// a later run loaded clearly more classes than the run that made it.
#include "jvm/class_data_cache.h"

#include <jvmti.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/state.h"
#include "core/trace.h"
#include "jvm/installed_runtimes.h"
#include "jvm/java_version.h"
#include "platform/platform.h"

const char kClassDataJobVariable[] = "VARNLET_CLASS_DATA_JOB";

namespace {

const char kKeyHeader[] = "varnlet class data cache 2\n";
// The JVM ends the process when it cannot finish writing an archive; a cache is only begun
// with room to spare.
constexpr uint64_t kMinimumFreeBytes = 256ull << 20;
// The caches of one folder together, the newest always kept: beyond it the oldest go.
constexpr uint64_t kFolderBound = 1ull << 30;
constexpr size_t kMaxNameLength = 64;
constexpr uint32_t kJobBytes = 1u << 20;

struct Pointer {
    std::string name, key;
    uint64_t size = 0, time = 0;
    long long classes = -1, wanted = 0;  // -1: not counted; wanted: a new cache asked for
};

struct CacheRun {
    bool making, using_, mainReturned, exitHooked;
    int exitCode;
    long long classes;  // loaded by the time the JVM ended; -1 unknown
    ClassDataKind kind;
    std::string folder, slot, written, finalName, key, home, marker;
    Pointer pointer;  // the slot's, as this start found it
    std::vector<std::string> options;  // the final ones, for the assembling step
};
CacheRun Run;

std::string inFolder(const std::string& folder, const std::string& name) {
    return joinPath(Platform.traits.pathStyle, folder, name);
}
std::string own(const char* suffix) {
    return "cds-" + Run.slot + "-" + std::to_string(Platform.cacheFiles->processId()) + suffix;
}
std::string ownPath(const char* suffix) { return inFolder(Run.folder, own(suffix)); }
std::string pointerPath() { return inFolder(Run.folder, "cds-" + Run.slot + ".key"); }

std::string hex8(const std::string& text) {
    char out[9];
    uLong sum =
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    std::snprintf(out, sizeof out, "%08lx", static_cast<unsigned long>(sum & 0xffffffffu));
    return out;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

bool endsWith(const std::string& name, const char* tail) {
    size_t n = std::strlen(tail);
    return name.size() > n && name.compare(name.size() - n, n, tail) == 0;
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

// The configured folder, or the user's: "varnlet/NAME-SUM", NAME the executable's and SUM a
// checksum of its full path, so two installations of one name keep apart.
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
    const bool folded = Platform.traits.pathStyle.caseInsensitiveNames;
    std::string name = pathFileName(Platform.traits.pathStyle, executable);
    if (folded && endsWith(lowerAscii(name), ".exe")) name.resize(name.size() - 4);
    *folder = inFolder(inFolder(buffer, "varnlet"), name + "-" + hex8(folded ? lowerAscii(executable) : executable));
    trace("class data cache: folder ", folder->c_str(), " for ", executable.c_str());
    return true;
}

bool isClassPath(const std::string& option) { return option.compare(0, 18, "-Djava.class.path=") == 0; }

// The command line the launcher passes on as a property changes with every start's arguments
// and shapes no class.
std::string makeKey(const std::vector<std::string>& options, const std::string& version, const char* library) {
    std::string key = std::string(kKeyHeader) + (Run.kind == ClassDataKind::AotCache ? "aot" : "dynamic") + "\n" +
                      library + "\n" + version + "\n";
    for (const std::string& option : options)
        if (option.compare(0, 19, "-Dsun.java.command=") != 0) key += option + "\n";
    for (const std::string& option : options) {
        if (!isClassPath(option)) continue;
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
    std::string tail = lowerAscii(name);
    return endsWith(tail, ".jar") || endsWith(tail, ".zip");
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
        if (!isClassPath(option)) continue;
        std::string list = option.substr(18), kept;
        for (size_t at = 0; at <= list.size();) {
            size_t end = list.find(Platform.traits.pathStyle.classPathSeparator, at);
            if (end == std::string::npos) end = list.size();
            std::string entry = list.substr(at, end - at);
            at = end + 1;
            if (Platform.files.kind(entry.c_str()) == FileKind::Directory) {
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

// "cds-SLOT-PID.rest": the slot, the process and the rest; false for any other name.
bool parseName(const std::string& name, std::string* slot, uint32_t* pid, std::string* rest) {
    if (name.size() < 15 || name.compare(0, 4, "cds-") != 0 || name[12] != '-' ||
        name.find_first_not_of("0123456789abcdef", 4) != 12)
        return false;
    size_t dot = name.find('.', 13);
    if (dot == std::string::npos || dot == 13 || dot - 13 > 10 || name.find_first_not_of("0123456789", 13) != dot)
        return false;
    *slot = name.substr(4, 8);
    *pid = static_cast<uint32_t>(std::strtoul(name.c_str() + 13, nullptr, 10));
    *rest = name.substr(dot);
    return true;
}

// The pointer: the cache's name, "size time classes wanted", and the key.
std::string pointerText(const Pointer& p) {
    return p.name + "\n" + std::to_string(p.size) + " " + std::to_string(p.time) + " " + std::to_string(p.classes) +
           " " + std::to_string(p.wanted) + "\n" + p.key;
}

bool readPointer(Pointer* p) {
    std::vector<char> text(kMaxNameLength + Run.key.size() + 128);
    uint32_t got = 0;
    *p = Pointer{};
    if (!Platform.files.readStart(pointerPath().c_str(), text.data(), static_cast<uint32_t>(text.size()), &got))
        return false;
    std::string all(text.data(), got);
    size_t first = all.find('\n'), second = first == std::string::npos ? first : all.find('\n', first + 1);
    unsigned long long size = 0, time = 0;
    long long classes = 0, wanted = 0;
    if (second == std::string::npos || first == 0 || first > kMaxNameLength || all.find_first_of("/\\", 0) < first ||
        std::sscanf(all.c_str() + first + 1, "%llu %llu %lld %lld", &size, &time, &classes, &wanted) != 4)
        return false;
    *p = Pointer{all.substr(0, first), all.substr(second + 1), size, time, classes, wanted};
    return true;
}

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

void removeFile(const std::string& path) {
    if (Platform.cacheFiles->deleteFile(path.c_str())) trace("class data cache: removed ", path.c_str());
}

// The slot's cache and its pointer go; the next start makes a new one.
void retire(const char* why) {
    std::string cache = inFolder(Run.folder, Run.pointer.name);
    trace("class data cache: ", cache.c_str(), why);
    Platform.cacheFiles->deleteFile(pointerPath().c_str());
    removeFile(cache);
    Run.pointer = Pointer{};
}

// What processes that ended left: their temporary files go, and a marker of a start that
// used this slot's cache and crashed retires that cache (it may be what crashed it). True when a running process is making this slot's cache.
bool sweepFolder() {
    DirListing listing;
    if (Platform.files.listDirectory(Run.folder.c_str(), &listing).failed()) return false;
    bool othersMaking = false;
    const uint32_t self = Platform.cacheFiles->processId();
    for (const DirName& entry : listing.entries) {
        std::string name = listing.name(entry), slot, rest;
        uint32_t pid = 0;
        const bool temporary = endsWith(name, ".tmp") || endsWith(name, ".job") || endsWith(name, ".args");
        if (entry.isDirectory || !parseName(name, &slot, &pid, &rest) || pid == self ||
            (!temporary && rest != ".started"))
            continue;
        if (Platform.cacheFiles->processRunning(pid)) {
            othersMaking = othersMaking || (slot == Run.slot && rest != ".started");
            continue;
        }
        std::string path = inFolder(Run.folder, name);
        if (rest == ".started" && slot == Run.slot && !Run.pointer.name.empty()) {
            char used[kMaxNameLength + 1];
            uint32_t got = 0;
            if (Platform.files.readStart(path.c_str(), used, sizeof used - 1, &got) &&
                Run.pointer.name == std::string(used, got))
                retire(" is removed: a start that used it crashed");
        }
        removeFile(path);
    }
    return othersMaking;
}

// The slot's cache when it is there as it was made, private and made for this key; empty
// otherwise, with the reason traced.
std::string usableCache() {
    const Pointer& p = Run.pointer;
    if (p.name.empty()) return "";
    std::string path = inFolder(Run.folder, p.name);
    if (p.key != Run.key) {
        trace("class data cache: ", path.c_str(), " was made for another runtime version, class path or options");
        return "";
    }
    if (p.wanted > 0) {
        trace("class data cache: made again, a run loaded ", std::to_string(p.wanted).c_str(),
              " classes, more than the one that made ", path.c_str());
        return "";
    }
    uint64_t size = 0, time = 0;
    switch (Platform.cacheFiles->examine(path.c_str(), false, &size, &time)) {
    case CacheTrust::Missing: return "";
    case CacheTrust::Open:
        trace("class data cache: ", path.c_str(), " is not used: another account owns it or may write it");
        return "";
    case CacheTrust::Private: break;
    }
    if (size != p.size || time != p.time) {
        retire(" is removed: it changed after it was made");
        return "";
    }
    return path;
}

// A file the JVM will write, made now so a folder it cannot write costs nothing later.
bool claim(const std::string& path) {
    if (Platform.cacheFiles->writeNewFile(path.c_str(), "", 0)) return true;
    return Platform.cacheFiles->deleteFile(path.c_str()) && Platform.cacheFiles->writeNewFile(path.c_str(), "", 0);
}

// Other caches of the slot, and the files of the folder's earlier layout ("cds.key" and
// "cds-PID.jsa"); then, beyond the bound, the oldest caches of other slots with their pointers.
void removeStale(const std::string& keep) {
    DirListing listing;
    if (Platform.files.listDirectory(Run.folder.c_str(), &listing).failed()) return;
    struct Kept {
        std::string name, slot;
        uint64_t size, time;
    };
    std::vector<Kept> kept;
    uint64_t total = 0;
    for (const DirName& entry : listing.entries) {
        std::string name = listing.name(entry), slot, rest;
        uint32_t pid = 0;
        if (entry.isDirectory || name == keep) continue;
        bool finished = parseName(name, &slot, &pid, &rest) && (rest == ".jsa" || rest == ".aot");
        bool earlier = name == "cds.key" ||
                       (name.compare(0, 4, "cds-") == 0 && (endsWith(name, ".jsa") || endsWith(name, ".aot")) &&
                        name.find_first_not_of("0123456789", 4) == name.size() - 4);
        uint64_t size = 0, time = 0;
        if (earlier || (finished && slot == Run.slot)) removeFile(inFolder(Run.folder, name));
        else if (finished && Platform.cacheFiles->fileStamp(inFolder(Run.folder, name).c_str(), &size, &time))
            kept.push_back({name, slot, size, time}), total += size;
    }
    uint64_t size = 0, time = 0;
    if (Platform.cacheFiles->fileStamp(inFolder(Run.folder, keep).c_str(), &size, &time)) total += size;
    while (total > kFolderBound && !kept.empty()) {
        size_t oldest = 0;
        for (size_t i = 1; i < kept.size(); ++i)
            if (kept[i].time < kept[oldest].time) oldest = i;
        trace("class data cache: the folder's caches exceed ", std::to_string(kFolderBound >> 20).c_str(),
              " MiB, the oldest goes");
        Platform.cacheFiles->deleteFile(inFolder(Run.folder, "cds-" + kept[oldest].slot + ".key").c_str());
        removeFile(inFolder(Run.folder, kept[oldest].name));
        total -= kept[oldest].size;
        kept.erase(kept.begin() + static_cast<long>(oldest));
    }
}

// Writes the slot's pointer whole, by a rename; under the folder's lock.
bool writePointer(const Pointer& p) {
    std::string text = pointerText(p), temporary = ownPath(".key.tmp");
    Platform.cacheFiles->deleteFile(temporary.c_str());
    if (Platform.cacheFiles->writeNewFile(temporary.c_str(), text.data(), text.size()) &&
        Platform.cacheFiles->renameFile(temporary.c_str(), pointerPath().c_str()))
        return true;
    Platform.cacheFiles->deleteFile(temporary.c_str());
    return false;
}

// One start at a time puts its cache in place, names it in the pointer and removes the
// older files: two starts finishing at once would otherwise each remove the cache the other
// had just put in place, and the pointer would name a removed file.
void keepCache(const std::string& made, const std::string& finalName, long long classes) {
    std::string cache = inFolder(Run.folder, finalName), lock = inFolder(Run.folder, "cds.lock");
    if (!takeFolderLock(lock)) {
        trace("class data cache: could not keep ", cache.c_str(), ", another start holds the folder's lock");
        Platform.cacheFiles->deleteFile(made.c_str());
        return;
    }
    Pointer p{finalName, Run.key, 0, 0, classes, 0};
    if (!Platform.cacheFiles->renameFile(made.c_str(), cache.c_str()) ||
        !Platform.cacheFiles->fileStamp(cache.c_str(), &p.size, &p.time) || !writePointer(p)) {
        trace("class data cache: could not keep ", cache.c_str());
        Platform.cacheFiles->deleteFile(made.c_str());
    } else {
        trace("class data cache: made ", cache.c_str());
        removeStale(finalName);
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
}

// One option a line, as the java command reads an argument file.
std::string argumentFileText(const std::vector<std::string>& options) {
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
    std::string text;
    for (const std::string& option : options) {
        bool kept = true;
        for (const char* prefix : kLeftOut) kept = kept && option.compare(0, std::strlen(prefix), prefix) != 0;
        if (!kept) continue;
        text += '"';
        for (char c : option)
            text += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
        text += "\"\n";
    }
    return text;
}

std::string javaCommand() {
    return inFolder(inFolder(Run.home, "bin"), windowsPaths(Platform.traits.pathStyle) ? "java.exe" : "java");
}

// The Java 25 training run leaves a configuration; the runtime's own java command makes the
// cache from it, with the options of this process's argument file, and the cache is kept.
void assembleAndKeep(const std::string& java, const std::string& finalName, long long classes) {
    std::string configuration = ownPath(".aotconf.tmp"), arguments = ownPath(".args"), made = ownPath(".aot.tmp");
    std::vector<std::string> argv = {java, "@" + arguments, "-XX:AOTMode=create",
                                     "-XX:AOTConfiguration=" + configuration, "-XX:AOTCache=" + made};
    std::vector<const char*> pointers;
    for (const std::string& a : argv) pointers.push_back(a.c_str());
    pointers.push_back(nullptr);
    int code = claim(made) ? Platform.cacheFiles->runQuietly(pointers.data()) : -1;
    for (const std::string& path : {configuration, arguments}) Platform.cacheFiles->deleteFile(path.c_str());
    uint64_t size = 0, time = 0;
    if (code == 0 && Platform.cacheFiles->fileStamp(made.c_str(), &size, &time) && size > 0) {
        keepCache(made, finalName, classes);
        return;
    }
    trace("class data cache: ", java.c_str(), " could not make the cache, exit code ", std::to_string(code).c_str());
    Platform.cacheFiles->deleteFile(made.c_str());
}

// Hands the assembling to a detached process of low priority, so this one ends at its normal
// time: its files are renamed after that process's number, the job last, which it waits for.
bool startAssembly() {
    char executable[kPathBufferSize];
    uint32_t n = Platform.files.modulePath(executable, sizeof executable);
    std::string arguments = argumentFileText(Run.options), job = ownPath(".job.tmp");
    std::string text = javaCommand() + "\n" + Run.finalName + "\n" + std::to_string(Run.classes) + "\n" + Run.key;
    bool written = n > 0 && n < sizeof executable &&
                   Platform.cacheFiles->writeNewFile(ownPath(".args").c_str(), arguments.data(), arguments.size()) &&
                   Platform.cacheFiles->writeNewFile(job.c_str(), text.data(), text.size());
    std::string variable = std::string(kClassDataJobVariable) + "=" + inFolder(Run.folder, "cds-" + Run.slot + "-");
    uint32_t helper = written ? Platform.cacheFiles->startDetached(executable, variable.c_str()) : 0;
    std::string to = "cds-" + Run.slot + "-" + std::to_string(helper);
    bool handed =
        helper != 0 &&
        Platform.cacheFiles->renameFile(Run.written.c_str(), inFolder(Run.folder, to + ".aotconf.tmp").c_str()) &&
        Platform.cacheFiles->renameFile(ownPath(".args").c_str(), inFolder(Run.folder, to + ".args").c_str()) &&
        Platform.cacheFiles->renameFile(job.c_str(), inFolder(Run.folder, to + ".job").c_str());
    if (handed) {
        trace("class data cache: process ", std::to_string(helper).c_str(), " assembles ",
              inFolder(Run.folder, Run.finalName).c_str());
        return true;
    }
    for (const char* suffix : {".args", ".job.tmp"}) Platform.cacheFiles->deleteFile(ownPath(suffix).c_str());
    return false;
}

// How far two runs' class counts may differ and still count as one workload: the JVM loads
// classes of its own that differ with the way it runs (making or using a cache).
long long slack(long long classes) { return std::max(100LL, classes / 10); }

// The application ended normally: main returned, or System.exit said 0.
bool endedNormally() { return Run.exitHooked ? Run.exitCode == 0 : Run.mainReturned; }

// A run that used the cache and loaded clearly more classes than the run that made it asks
// for a new one: the next start makes it, and keeps it only from a run as large.
void compareWithUse() {
    const Pointer& p = Run.pointer;
    if (!endedNormally() || Run.classes < 0 || p.classes < 0) return;
    trace("class data cache: this run loaded ", std::to_string(Run.classes).c_str(),
          " classes, the one that made the cache ", std::to_string(p.classes).c_str());
    if (Run.classes <= p.classes + slack(p.classes)) return;
    std::string lock = inFolder(Run.folder, "cds.lock");
    Pointer now;
    if (!takeFolderLock(lock)) return;
    if (readPointer(&now) && now.name == p.name && now.wanted == 0) {
        now.wanted = Run.classes;
        if (writePointer(now)) trace("class data cache: the next start makes it again");
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
}

void JNICALL noteExit(jint code) {
    Run.exitHooked = true;
    Run.exitCode = code;
    if (State.JvmExitHook) reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code);
}

// The classes are counted as the shutdown hooks run: later, the JVM's own archiving at exit
// loads classes of its own.
jobject CountingHook;

void JNICALL countClasses(jvmtiEnv* jvmti, JNIEnv* env, jthread thread) {
    jint count = 0;
    jclass* classes = nullptr;
    if (!CountingHook || !env->IsSameObject(thread, CountingHook) ||
        jvmti->GetLoadedClasses(&count, &classes) != JVMTI_ERROR_NONE)
        return;
    Run.classes = count;
    jvmti->Deallocate(reinterpret_cast<unsigned char*>(classes));
}

// A shutdown hook that does nothing: its start is the moment the classes are counted.
jobject countingHook(JNIEnv* env) {
    jclass thread = env->FindClass("java/lang/Thread"), runtime = env->FindClass("java/lang/Runtime");
    jmethodID make = thread ? env->GetMethodID(thread, "<init>", "(Ljava/lang/String;)V") : nullptr;
    jmethodID get = runtime ? env->GetStaticMethodID(runtime, "getRuntime", "()Ljava/lang/Runtime;") : nullptr;
    jmethodID add = runtime ? env->GetMethodID(runtime, "addShutdownHook", "(Ljava/lang/Thread;)V") : nullptr;
    jobject hook = make ? env->NewObject(thread, make, env->NewStringUTF("varnlet class data cache")) : nullptr;
    jobject current = get ? env->CallStaticObjectMethod(runtime, get) : nullptr;
    if (hook && current && add) env->CallVoidMethod(current, add, hook);
    if (env->ExceptionCheck() || !hook || !current || !add) {
        env->ExceptionClear();
        return nullptr;
    }
    return env->NewGlobalRef(hook);
}

void finishAtExit() { finishClassDataCache(); }

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

void prepareClassDataCache(const char* library, int* count, char*** tokens) {
    if (!Config.ClassDataCache || library == nullptr) return;
    Run = CacheRun{};
    std::vector<std::string> options(*tokens, *tokens + *count);
    std::string home, version;
    uint32_t major = 0;
    if (const char* user = sharingOption(options)) {
        trace("class data cache: left to the option ", user);
        return;
    }
    if (!runtimeVersion(library, &home, &version, &major)) {
        trace("class data cache: none, the runtime's release file names no version: ", home.c_str());
        return;
    }
    if ((Run.kind = classDataKindFor(major)) == ClassDataKind::None) {
        trace("class data cache: none for Java ", version.c_str(), " (it needs Java 13 or later)");
        return;
    }
    if (!cacheFolder(&Run.folder)) {
        trace("class data cache: none, no cache folder for this user");
        return;
    }
    if (!archivableClassPath(&options)) return;
    Run.key = makeKey(options, version, library);
    Run.slot = hex8(library);
    trace("class data cache: runtime ", library, (" (Java " + version + "), its cache cds-" + Run.slot).c_str());
    uint64_t size = 0, time = 0;
    CacheTrust folder = Platform.cacheFiles->examine(Run.folder.c_str(), true, &size, &time);
    if (folder == CacheTrust::Open) {
        trace("class data cache: none, another account owns ", Run.folder.c_str(), " or may write in it");
        return;
    }
    bool othersMaking = false;
    if (folder == CacheTrust::Private) {
        readPointer(&Run.pointer);
        othersMaking = sweepFolder();
    }

    const bool aot = Run.kind == ClassDataKind::AotCache;
    // The runtime's own rejection of a cache then goes unsaid (sharing stays on its default,
    // auto: a cache it rejects is passed over).
    std::vector<std::string> added = {aot ? "-Xlog:cds*=off,aot*=off" : "-Xlog:cds*=off"};
    std::string cache = usableCache();
    if (!cache.empty()) {
        trace("class data cache: using ", cache.c_str());
        added.push_back((aot ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=") + cache);
        Run.using_ = true;
        Run.marker = ownPath(".started");
        if (!Platform.cacheFiles->writeNewFile(Run.marker.c_str(), Run.pointer.name.data(), Run.pointer.name.size()))
            Run.marker.clear();
    } else if (othersMaking) {
        trace("class data cache: none this time, another process is making it");
        return;
    } else {
        Run.home = home;
        Run.finalName = own(aot ? ".aot" : ".jsa");
        Run.written = ownPath(aot ? ".aotconf.tmp" : ".jsa.tmp");
        if ((folder == CacheTrust::Missing &&
             (!Platform.cacheFiles->createFolders(Run.folder.c_str()) ||
              Platform.cacheFiles->examine(Run.folder.c_str(), true, &size, &time) != CacheTrust::Private)) ||
            !claim(Run.written)) {
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
        Run.making = true;
    }
    Run.options = options;
    // In front, so the user's own -Xlog options come later and win.
    options.insert(options.begin(), added.begin(), added.end());
    char** vector = static_cast<char**>(std::calloc(options.size() + 1, sizeof(char*)));
    size_t copied = 0;
    for (; vector && copied < options.size(); ++copied)
        if (!(vector[copied] = static_cast<char*>(std::malloc(options[copied].size() + 1)))) break;
        else std::memcpy(vector[copied], options[copied].c_str(), options[copied].size() + 1);
    if (!vector || copied < options.size()) {
        for (size_t i = 0; vector && i < copied; ++i) std::free(vector[i]);
        std::free(vector);
        trace("class data cache: none, out of memory");
        if (Run.making) Platform.cacheFiles->deleteFile(Run.written.c_str());
        if (!Run.marker.empty()) Platform.cacheFiles->deleteFile(Run.marker.c_str());
        Run = CacheRun{};
        return;
    }
    for (int i = 0; i < *count; ++i) std::free((*tokens)[i]);
    std::free(*tokens);
    *tokens = vector;
    *count = static_cast<int>(options.size());
    static bool registered = false;
    if (!registered) registered = std::atexit(finishAtExit) == 0;
}

void* classDataCacheExitHook() {
    return Run.making || Run.using_ ? reinterpret_cast<void*>(noteExit) : State.JvmExitHook;
}

void classDataCacheJvmCreated(JavaVM* jvm, JNIEnv* env) {
    jvmtiEnv* jvmti = nullptr;
    if ((!Run.making && !Run.using_) || jvm->GetEnv(reinterpret_cast<void**>(&jvmti), JVMTI_VERSION_1_0) != JNI_OK)
        return;
    jvmtiEventCallbacks callbacks{};
    callbacks.ThreadStart = countClasses;
    if (jvmti->SetEventCallbacks(&callbacks, sizeof callbacks) == JVMTI_ERROR_NONE &&
        jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_THREAD_START, nullptr) == JVMTI_ERROR_NONE)
        CountingHook = countingHook(env);
}

void classDataCacheMainReturned() { Run.mainReturned = true; }

void finishClassDataCache() {
    if (!Run.marker.empty()) Platform.cacheFiles->deleteFile(Run.marker.c_str());
    Run.marker.clear();
    if (Run.using_) {
        Run.using_ = false;
        compareWithUse();
    }
    if (!Run.making) return;
    Run.making = false;
    uint64_t size = 0, time = 0;
    if (!Platform.cacheFiles->fileStamp(Run.written.c_str(), &size, &time) || size == 0) {
        trace("class data cache: the runtime wrote none");
        Platform.cacheFiles->deleteFile(Run.written.c_str());
        return;
    }
    const char* dropped =
        !endedNormally() ? "the application did not end normally"
        : Run.pointer.wanted > 0 && Run.classes >= 0 && Run.classes + slack(Run.pointer.wanted) < Run.pointer.wanted
            ? "this run loaded fewer classes than the one that asked for a new cache"
            : nullptr;
    if (dropped) {
        trace("class data cache: not kept, ", dropped);
        Platform.cacheFiles->deleteFile(Run.written.c_str());
        return;
    }
    if (Run.kind == ClassDataKind::DynamicArchive) return keepCache(Run.written, Run.finalName, Run.classes);
    // A service's manager may end what its process leaves running: a service assembles before it ends.
    if (State.RunMode == RunModeKind::Service || !startAssembly()) {
        std::string arguments = argumentFileText(Run.options);
        if (Platform.cacheFiles->writeNewFile(ownPath(".args").c_str(), arguments.data(), arguments.size()))
            assembleAndKeep(javaCommand(), Run.finalName, Run.classes);
        else Platform.cacheFiles->deleteFile(Run.written.c_str());
    }
}

int runClassDataJob(const char* prefix) {
    const PathStyle& style = Platform.traits.pathStyle;
    std::string base = pathFileName(style, prefix), java, name, classes;
    Run = CacheRun{};
    if (!parentPath(style, prefix, &Run.folder) || base.size() != 13 || base.compare(0, 4, "cds-") != 0 ||
        base[12] != '-' || base.find_first_not_of("0123456789abcdef", 4) != 12)
        return 1;
    Run.slot = base.substr(4, 8);
    uint64_t size = 0, time = 0;
    std::string job = ownPath(".job");
    // The process that started this one renames the job last; it may take a moment.
    CacheTrust trust = CacheTrust::Missing;
    for (int waited = 0; waited < 500 && (trust = Platform.cacheFiles->examine(job.c_str(), false, &size, &time)) ==
                                             CacheTrust::Missing;
         ++waited)
        Platform.threads.sleepMs(10);
    std::vector<char> text(kJobBytes);
    uint32_t got = 0;
    if (trust != CacheTrust::Private ||
        Platform.cacheFiles->examine(Run.folder.c_str(), true, &size, &time) != CacheTrust::Private ||
        !Platform.files.readStart(job.c_str(), text.data(), kJobBytes, &got) || got == kJobBytes)
        return 1;
    std::string all(text.data(), got);
    size_t a = all.find('\n'), b = all.find('\n', a + 1), c = b == std::string::npos ? b : all.find('\n', b + 1);
    Platform.cacheFiles->deleteFile(job.c_str());
    std::string finalName = c == std::string::npos ? "" : all.substr(a + 1, b - a - 1);
    if (finalName.empty() || finalName.find_first_of("/\\") != std::string::npos) return 1;
    Run.key = all.substr(c + 1);
    assembleAndKeep(all.substr(0, a), finalName, std::atoll(all.c_str() + b + 1));
    return 0;
}
