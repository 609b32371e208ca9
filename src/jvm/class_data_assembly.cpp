// Making a class data cache from a run's list of classes: the argument file of the run's final
// options, the runtime's java that archives the classes, and the job handed to a detached
// process, which waits for it, runs it and keeps the cache.
#include "jvm/class_data_assembly.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/state.h"
#include "core/trace.h"
#include "jvm/class_data_folder.h"
#include "platform/platform.h"

const char kClassDataJobVariable[] = "VARNLET_CLASS_DATA_JOB";

namespace {

constexpr uint32_t kJobBytes = 1u << 20;

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
    return inFolder(inFolder(CacheRun.home, "bin"), windowsPaths(Platform.traits.pathStyle) ? "java.exe" : "java");
}

// The run leaves the list of the classes it loaded; the runtime's own java command archives
// them, with the options of this process's argument file, and the cache is kept. From Java 25
// on the archive holds its classes linked, as the runtime's ahead-of-time cache does.
void assembleAndKeep(const std::string& java, const std::string& finalName, long long classes) {
    const bool linked = endsWith(finalName, ".aot");
    std::string list = ownPath(".classes.tmp"), arguments = ownPath(".args"),
                made = ownPath(linked ? ".aot.tmp" : ".jsa.tmp");
    std::vector<std::string> argv = {java, "@" + arguments, "-Xshare:dump", "-XX:SharedClassListFile=" + list,
                                     "-XX:SharedArchiveFile=" + made};
    if (linked) argv.push_back("-XX:+AOTClassLinking");
    std::vector<const char*> pointers;
    for (const std::string& a : argv) pointers.push_back(a.c_str());
    pointers.push_back(nullptr);
    int code = claim(made) ? Platform.cacheFiles->runQuietly(pointers.data()) : -1;
    for (const std::string& path : {list, arguments}) Platform.cacheFiles->deleteFile(path.c_str());
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
    std::string arguments = argumentFileText(CacheRun.options), job = ownPath(".job.tmp");
    std::string text =
        javaCommand() + "\n" + CacheRun.finalName + "\n" + std::to_string(CacheRun.classes) + "\n" + CacheRun.key;
    bool written = n > 0 && n < sizeof executable &&
                   Platform.cacheFiles->writeNewFile(ownPath(".args").c_str(), arguments.data(), arguments.size()) &&
                   Platform.cacheFiles->writeNewFile(job.c_str(), text.data(), text.size());
    std::string variable =
        std::string(kClassDataJobVariable) + "=" + inFolder(CacheRun.folder, "cds-" + CacheRun.slot + "-");
    uint32_t helper = written ? Platform.cacheFiles->startDetached(executable, variable.c_str()) : 0;
    std::string to = "cds-" + CacheRun.slot + "-" + std::to_string(helper);
    bool handed =
        helper != 0 &&
        Platform.cacheFiles->renameFile(CacheRun.written.c_str(),
                                        inFolder(CacheRun.folder, to + ".classes.tmp").c_str()) &&
        Platform.cacheFiles->renameFile(ownPath(".args").c_str(), inFolder(CacheRun.folder, to + ".args").c_str()) &&
        Platform.cacheFiles->renameFile(job.c_str(), inFolder(CacheRun.folder, to + ".job").c_str());
    if (handed) {
        trace("class data cache: process ", std::to_string(helper).c_str(), " assembles ",
              inFolder(CacheRun.folder, CacheRun.finalName).c_str());
        return true;
    }
    for (const char* suffix : {".args", ".job.tmp"}) Platform.cacheFiles->deleteFile(ownPath(suffix).c_str());
    return false;
}

}  // namespace

void assembleClassDataCache() {
    // A service's manager may end what its process leaves running: a service assembles before it ends.
    if (State.RunMode == RunModeKind::Service || !startAssembly()) {
        std::string arguments = argumentFileText(CacheRun.options);
        if (Platform.cacheFiles->writeNewFile(ownPath(".args").c_str(), arguments.data(), arguments.size()))
            assembleAndKeep(javaCommand(), CacheRun.finalName, CacheRun.classes);
        else Platform.cacheFiles->deleteFile(CacheRun.written.c_str());
    }
}

int runClassDataJob(const char* prefix) {
    const PathStyle& style = Platform.traits.pathStyle;
    std::string base = pathFileName(style, prefix);
    CacheRun = ClassDataRun{};
    if (!parentPath(style, prefix, &CacheRun.folder) || base.size() != 13 || base.compare(0, 4, "cds-") != 0 ||
        base[12] != '-' || base.find_first_not_of("0123456789abcdef", 4) != 12)
        return 1;
    CacheRun.slot = base.substr(4, 8);
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
        Platform.cacheFiles->examine(CacheRun.folder.c_str(), true, &size, &time) != CacheTrust::Private ||
        !Platform.files.readStart(job.c_str(), text.data(), kJobBytes, &got) || got == kJobBytes)
        return 1;
    std::string all(text.data(), got);
    size_t a = all.find('\n'), b = all.find('\n', a + 1), c = b == std::string::npos ? b : all.find('\n', b + 1);
    Platform.cacheFiles->deleteFile(job.c_str());
    std::string finalName = c == std::string::npos ? "" : all.substr(a + 1, b - a - 1);
    if (finalName.empty() || finalName.find_first_of("/\\") != std::string::npos) return 1;
    CacheRun.key = all.substr(c + 1);
    assembleAndKeep(all.substr(0, a), finalName, std::atoll(all.c_str() + b + 1));
    return 0;
}
