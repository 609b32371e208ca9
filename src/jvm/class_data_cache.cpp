// The class data cache. An installation (the executable's full path) has a folder of its own,
// and in it one cache per runtime it runs with, a "slot" named by a checksum of the runtime's
// library: the pointer file "cds-SLOT.key" names the slot's cache with its size and time, the
// number of classes the run that made it loaded, and the key it was made for (the runtime's
// library and version, the final options and the size and time of every class path entry),
// so a changed runtime, class path or archive never meets a stale cache.
//
// The folder and the files are trusted only when they are the account's own and nobody else
// may write them, since the JVM maps them into the application's process. A start that uses
// a cache leaves a marker until it ends normally: a later start removes a cache whose start
// crashed or failed. A cache is kept only from a run that ended normally, and made again when
// a later run loaded clearly more classes than the run that made it.
//
// A start that makes a cache has the JVM list the classes it loads, a line as each loads;
// once the run has ended, the runtime's own java command archives them. The JVM writes no
// archive as it ends (one it cannot finish there makes it end the process with exit code 1),
// it passes over a line of the list it cannot write, and the run costs about what a run
// without the cache costs.
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
#include "jvm/class_data_assembly.h"
#include "jvm/class_data_folder.h"
#include "platform/hex_text.h"
#include "platform/platform.h"
#include "runtimes/installed_runtimes.h"
#include "runtimes/java_version.h"

namespace {

const char kKeyHeader[] = "varnlet class data cache 2\n";
// A cache is made only with room to spare on its volume, before the run and after it: a disk
// that filled during the run may have cut the run's class list short.
constexpr uint64_t kMinimumFreeBytes = 256ull << 20;

std::string hex8(const std::string& text) {
    char out[9];
    uLong sum =
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
    hexText(sum & 0xffffffffu, 8, false, out);
    return out;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
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
    std::string key = std::string(kKeyHeader) + (CacheRun.kind == ClassDataKind::AotCache ? "aot" : "archive") + "\n" +
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

// How far two runs' class counts may differ and still count as one workload: the JVM loads
// classes of its own that differ with the way it runs (making or using a cache).
long long slack(long long classes) { return std::max(100LL, classes / 10); }

// The application ended normally: main returned, or System.exit said 0.
bool endedNormally() { return CacheRun.exitHooked ? CacheRun.exitCode == 0 : CacheRun.mainReturned; }

// A run that used the cache and loaded clearly more classes than the run that made it asks
// for a new one: the next start makes it, and keeps it only from a run as large.
void compareWithUse() {
    const CachePointer& p = CacheRun.pointer;
    if (!endedNormally() || CacheRun.classes < 0 || p.classes < 0) return;
    trace("class data cache: this run loaded ", std::to_string(CacheRun.classes).c_str(),
          " classes, the one that made the cache ", std::to_string(p.classes).c_str());
    if (CacheRun.classes <= p.classes + slack(p.classes)) return;
    std::string lock = inFolder(CacheRun.folder, "cds.lock");
    CachePointer now;
    if (!takeFolderLock(lock)) return;
    if (readPointer(&now) && now.name == p.name && now.wanted == 0) {
        now.wanted = CacheRun.classes;
        if (writePointer(now)) trace("class data cache: the next start makes it again");
    }
    Platform.cacheFiles->deleteFile(lock.c_str());
}

void JNICALL noteExit(jint code) {
    CacheRun.exitHooked = true;
    CacheRun.exitCode = code;
    if (State.JvmExitHook) reinterpret_cast<void(JNICALL*)(jint)>(State.JvmExitHook)(code);
}

// The classes are counted as the shutdown hooks start, the application's work done, whether
// main returned or System.exit was called.
jobject CountingHook;

void JNICALL countClasses(jvmtiEnv* jvmti, JNIEnv* env, jthread thread) {
    jint count = 0;
    jclass* classes = nullptr;
    if (!CountingHook || !env->IsSameObject(thread, CountingHook) ||
        jvmti->GetLoadedClasses(&count, &classes) != JVMTI_ERROR_NONE)
        return;
    CacheRun.classes = count;
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
    return major >= 13 ? ClassDataKind::SharedArchive : ClassDataKind::None;
}

const char* sharingOption(const std::vector<std::string>& options) {
    static const char* const kSharing[] = {"-Xshare",
                                           "-XX:SharedArchiveFile",
                                           "-XX:ArchiveClassesAtExit",
                                           "-XX:+AutoCreateSharedArchive",
                                           "-XX:AOT",
                                           "-XX:+UseSharedSpaces",
                                           "-XX:-UseSharedSpaces",
                                           "-XX:SharedClassListFile",
                                           "-XX:DumpLoadedClassList"};
    for (const std::string& option : options)
        for (const char* prefix : kSharing)
            if (option.compare(0, std::strlen(prefix), prefix) == 0) return option.c_str();
    return nullptr;
}

void prepareClassDataCache(const char* library, std::vector<std::string>* given) {
    if (!Config.ClassDataCache || library == nullptr) return;
    CacheRun = ClassDataRun{};
    // Worked on apart: the JVM gets the options as given unless a cache is used or made.
    std::vector<std::string> options(*given);
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
    if ((CacheRun.kind = classDataKindFor(major)) == ClassDataKind::None) {
        trace("class data cache: none for Java ", version.c_str(), " (it needs Java 13 or later)");
        return;
    }
    if (!cacheFolder(&CacheRun.folder)) {
        trace("class data cache: none, no cache folder for this user");
        return;
    }
    if (!archivableClassPath(&options)) return;
    CacheRun.key = makeKey(options, version, library);
    CacheRun.slot = hex8(library);
    trace("class data cache: runtime ", library, (" (Java " + version + "), its cache cds-" + CacheRun.slot).c_str());
    uint64_t size = 0, time = 0;
    CacheTrust folder = Platform.cacheFiles->examine(CacheRun.folder.c_str(), true, &size, &time);
    if (folder == CacheTrust::Open) {
        trace("class data cache: none, another account owns ", CacheRun.folder.c_str(), " or may write in it");
        return;
    }
    bool othersMaking = false;
    if (folder == CacheTrust::Private) {
        readPointer(&CacheRun.pointer);
        othersMaking = sweepFolder();
    }

    const bool aot = CacheRun.kind == ClassDataKind::AotCache;
    // The runtime's own rejection of a cache then goes unsaid (sharing stays on its default,
    // auto: a cache it rejects is passed over).
    std::vector<std::string> added = {aot ? "-Xlog:cds*=off,aot*=off" : "-Xlog:cds*=off"};
    std::string cache = usableCache();
    if (!cache.empty()) {
        trace("class data cache: using ", cache.c_str());
        added.push_back((aot ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=") + cache);
        CacheRun.using_ = true;
        CacheRun.marker = ownPath(".started");
        if (!Platform.cacheFiles->writeNewFile(CacheRun.marker.c_str(), CacheRun.pointer.name.data(),
                                               CacheRun.pointer.name.size()))
            CacheRun.marker.clear();
    } else if (othersMaking) {
        trace("class data cache: none this time, another process is making it");
        return;
    } else {
        CacheRun.home = home;
        CacheRun.finalName = ownName(aot ? ".aot" : ".jsa");
        CacheRun.written = ownPath(".classes.tmp");
        if ((folder == CacheTrust::Missing &&
             (!Platform.cacheFiles->createFolders(CacheRun.folder.c_str()) ||
              Platform.cacheFiles->examine(CacheRun.folder.c_str(), true, &size, &time) != CacheTrust::Private)) ||
            !claim(CacheRun.written)) {
            trace("class data cache: none, cannot write in ", CacheRun.folder.c_str());
            return;
        }
        if (Platform.cacheFiles->freeBytes(CacheRun.folder.c_str()) < kMinimumFreeBytes) {
            Platform.cacheFiles->deleteFile(CacheRun.written.c_str());
            trace("class data cache: none, too little free space in ", CacheRun.folder.c_str());
            return;
        }
        trace("class data cache: making ", inFolder(CacheRun.folder, CacheRun.finalName).c_str(),
              " (none yet for this runtime, class path and options)");
        // The JVM writes the list as classes load (Java 25 adds the constants it resolved as it
        // ends) and passes over a write that fails, so a full disk cannot change the exit code;
        // the run costs about what it would without the cache.
        added.push_back("-XX:DumpLoadedClassList=" + CacheRun.written);
        CacheRun.making = true;
    }
    CacheRun.options = options;
    // In front, so the user's own -Xlog options come later and win.
    options.insert(options.begin(), added.begin(), added.end());
    given->swap(options);
    static bool registered = false;
    if (!registered) registered = std::atexit(finishAtExit) == 0;
}

void* classDataCacheExitHook() {
    return CacheRun.making || CacheRun.using_ ? reinterpret_cast<void*>(noteExit) : State.JvmExitHook;
}

void classDataCacheJvmCreated(JavaVM* jvm, JNIEnv* env) {
    jvmtiEnv* jvmti = nullptr;
    if ((!CacheRun.making && !CacheRun.using_) ||
        jvm->GetEnv(reinterpret_cast<void**>(&jvmti), JVMTI_VERSION_1_0) != JNI_OK)
        return;
    jvmtiEventCallbacks callbacks{};
    callbacks.ThreadStart = countClasses;
    if (jvmti->SetEventCallbacks(&callbacks, sizeof callbacks) == JVMTI_ERROR_NONE &&
        jvmti->SetEventNotificationMode(JVMTI_ENABLE, JVMTI_EVENT_THREAD_START, nullptr) == JVMTI_ERROR_NONE)
        CountingHook = countingHook(env);
}

void classDataCacheMainReturned() { CacheRun.mainReturned = true; }

void finishClassDataCache() {
    // A run on a damaged cache may fail without a crash (an error thrown out of main): its marker
    // stays, so the next start removes the cache rather than fail the same way.
    if (!CacheRun.marker.empty() && endedNormally()) Platform.cacheFiles->deleteFile(CacheRun.marker.c_str());
    else if (!CacheRun.marker.empty())
        trace("class data cache: the application did not end normally; the next start removes the cache it used");
    CacheRun.marker.clear();
    if (CacheRun.using_) {
        CacheRun.using_ = false;
        compareWithUse();
    }
    if (!CacheRun.making) return;
    CacheRun.making = false;
    uint64_t size = 0, time = 0;
    if (!Platform.cacheFiles->fileStamp(CacheRun.written.c_str(), &size, &time) || size == 0) {
        trace("class data cache: the runtime wrote none");
        Platform.cacheFiles->deleteFile(CacheRun.written.c_str());
        return;
    }
    std::string dropped = !endedNormally() ? "the application did not end normally"
                          : CacheRun.pointer.wanted > 0 && CacheRun.classes >= 0 &&
                                  CacheRun.classes + slack(CacheRun.pointer.wanted) < CacheRun.pointer.wanted
                              ? "this run loaded fewer classes than the one that asked for a new cache"
                          : Platform.cacheFiles->freeBytes(CacheRun.folder.c_str()) < kMinimumFreeBytes
                              ? "too little free space left in " + CacheRun.folder +
                                    " after the run (its list of classes may be cut short)"
                              : "";
    if (!dropped.empty()) {
        trace("class data cache: not kept, ", dropped.c_str());
        Platform.cacheFiles->deleteFile(CacheRun.written.c_str());
        return;
    }
    assembleClassDataCache();
}
