// The class data cache's rules: which cache a runtime keeps, options that keep the launcher
// out, and the files of a cache folder (the real POSIX backend on a temporary folder).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/config.h"
#include "core/writable_config.h"
#include "fakes/fake_platform.h"
#include "jvm/class_data_cache.h"

namespace {

namespace fs = std::filesystem;

TEST(ClassDataCache, KindByVersion) {
    const std::pair<uint32_t, ClassDataKind> rows[] = {{12, ClassDataKind::None}, {13, ClassDataKind::SharedArchive},
                                                       {24, ClassDataKind::SharedArchive}, {25, ClassDataKind::AotCache}};
    for (const auto& row : rows) EXPECT_EQ(classDataKindFor(row.first), row.second) << row.first;
}

TEST(ClassDataCache, UsersSharingOptionsWin) {
    for (const char* own : {"-Xshare:off", "-XX:SharedArchiveFile=a.jsa", "-XX:AOTCache=a.aot", "-XX:+AutoCreateSharedArchive",
                            "-XX:ArchiveClassesAtExit=b.jsa"})
        EXPECT_STREQ(sharingOption({"-Xmx1g", own}), own);
    EXPECT_EQ(sharingOption({"-Xss1m", "-Dx=-Xshare:off", "-Xlog:cds", "-Djava.class.path=a.jar"}), nullptr);
}

std::string read(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The files of ours in the folder whose names end so.
std::vector<std::string> files(const std::string& folder, const std::string& tail) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename();
        if (name.compare(0, 4, "cds-") == 0 && name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0)
            found.push_back(entry.path());
    }
    return found;
}

// The runtime's java command as it archives a run's classes: the archive holds the list.
int archiving(const char* const* argv) {
    std::string list, archive;
    for (; *argv; ++argv) {
        if (std::strncmp(*argv, "-XX:SharedClassListFile=", 24) == 0) list = *argv + 24;
        if (std::strncmp(*argv, "-XX:SharedArchiveFile=", 22) == 0) archive = *argv + 22;
    }
    std::ofstream(archive) << read(list);
    return 0;
}
struct Folder {
    std::string dir, cache, classPath;
    const CacheFileOps* real = Platform.cacheFiles;
    CacheFileOps inProcess = *real;  // the runtime's java runs as `archiving` does
    Folder() {
        resetLauncherRecords();
        inProcess.startDetached = [](const char*, const char*) { return 0u; };
        inProcess.runQuietly = archiving;
        Platform.cacheFiles = &inProcess;
        char pattern[] = "/tmp/varnlet-cds-XXXXXX";
        dir = mkdtemp(pattern);
        cache = dir + "/cache";
        makeFile(dir + "/jdk/release", "JAVA_VERSION=\"13.0.2\"\n");
        makeFile(dir + "/a.jar", "x");
        classPath = "-Djava.class.path=" + dir + "/a.jar";
    }
    ~Folder() {
        Platform.cacheFiles = real;
        fs::remove_all(dir);
    }
    // A start with these final options: the options the JVM then gets, one a line.
    std::string start(std::vector<std::string> options) {
        writableConfig().ClassDataCache = true;
        writableConfig().ClassDataCacheDir = strdup(cache.c_str());
        prepareClassDataCache((dir + "/jdk/lib/server/libjvm.so").c_str(), &options);
        std::string given;
        for (const std::string& option : options) given += option + "\n";
        return given;
    }
    // A first start that ends as `end` has it.
    std::string made(const std::function<void()>& end, const char* extra = "-Dsun.java.command=App one") {
        std::string text = start({extra, classPath});
        std::string written = files(cache, ".classes.tmp").at(0);
        std::ofstream(written) << "archive";
        end();
        finishClassDataCache();
        return text;
    }
};

const CacheFileOps* Real;
// A cache another process holds cannot be replaced (Windows); the pointer still can.
bool failingRename(const char* from, const char* to) { return std::strstr(to, ".jsa") == nullptr && Real->renameFile(from, to); }

// A cache is kept only from a run that ended normally and when it could be renamed into place;
// the one kept is used by the next start (whatever its arguments), files of the folder's earlier
// layout go, other files stay. None is begun where none can be written.
TEST(ClassDataCache, KeptOnlyWholeFromNormalEnds) {
    Folder f;
    makeFile(f.cache + "/cds-1.jsa", "old");
    makeFile(f.cache + "/notes.jsa", "not ours");
    CacheFileOps failing = *(Real = Platform.cacheFiles), readOnly = *Real;
    failing.renameFile = failingRename;
    readOnly.writeNewFile = [](const char*, const void*, size_t) { return false; };
    Platform.cacheFiles = &readOnly;
    EXPECT_EQ(f.start({f.classPath}), f.classPath + "\n");  // the options as they were
    const auto exitWith = [](int code) { return [code] { reinterpret_cast<void (*)(jint)>(classDataCacheExitHook())(code); }; };
    const std::pair<std::function<void()>, const CacheFileOps*> ends[] = {
        {[] {}, Real}, {exitWith(3), Real}, {classDataCacheMainReturned, &failing}, {exitWith(0), Real}};
    for (const auto& [end, ops] : ends) {
        Platform.cacheFiles = ops;
        EXPECT_NE(f.made(end).find("-XX:DumpLoadedClassList="), std::string::npos);
        Platform.cacheFiles = Real;
        EXPECT_TRUE(files(f.cache, ".tmp").empty());
        EXPECT_EQ(files(f.cache, ".key").size(), &end == &ends[3].first ? 1u : 0u);
    }
    const std::string kept = files(f.cache, ".jsa").at(0);
    EXPECT_EQ(read(kept), "archive");
    EXPECT_EQ(files(f.cache, ".jsa").size(), 1u);  // cds-1.jsa went
    EXPECT_TRUE(fs::exists(f.cache + "/notes.jsa"));
    EXPECT_NE(f.start({"-Dsun.java.command=App two", f.classPath}).find("-XX:SharedArchiveFile=" + kept + "\n"), std::string::npos);
    finishClassDataCache();
    makeFile(f.dir + "/a.jar", "changed");  // another size: another key
    EXPECT_NE(f.start({f.classPath}).find("DumpLoadedClassList"), std::string::npos);
    finishClassDataCache();
}

// A cache is used only as it was made, in a folder and file of this account that nobody else may
// write; a cache that changed, or that a start which crashed used, is removed.
TEST(ClassDataCache, UsedOnlyPrivateAndUnchanged) {
    pid_t ended = fork();
    if (ended == 0) _exit(0);
    waitpid(ended, nullptr, 0);
    const std::string endedMarker = "-" + std::to_string(ended) + ".started";
    struct Row { const char* what; std::function<void(Folder&, const std::string& cache)> change; bool used, kept; } rows[] = {
        {"as made", [](Folder&, const std::string&) {}, true, true},
        {"folder others may write", [](Folder& f, const std::string&) { chmod(f.cache.c_str(), 0770); }, false, true},
        {"cache others may write", [](Folder&, const std::string& c) { chmod(c.c_str(), 0646); }, false, true},
        {"cache a link", [](Folder& f, const std::string& c) { fs::rename(c, f.dir + "/x"), fs::create_symlink(f.dir + "/x", c); }, false, true},
        {"cache rewritten", [](Folder&, const std::string& c) { std::ofstream(c) << "archivf", fs::last_write_time(c, fs::last_write_time(c) - std::chrono::seconds(1)); }, false, false},
        {"cache truncated", [](Folder&, const std::string& c) { truncate(c.c_str(), 3); }, false, false},
        {"a start that used it did not end normally", [&](Folder&, const std::string& c) { makeFile(c.substr(0, c.rfind('-')) + endedMarker, fs::path(c).filename()); }, false, false},
        {"a start using it runs", [](Folder&, const std::string& c) { makeFile(c.substr(0, c.rfind('-')) + "-1.started", fs::path(c).filename()); }, true, true},
    };
    for (Row& row : rows) {
        Folder f;
        f.made(classDataCacheMainReturned);
        const std::string cache = files(f.cache, ".jsa").at(0);
        row.change(f, cache);
        std::string given = f.start({f.classPath});
        EXPECT_EQ(given.find("-XX:SharedArchiveFile=" + cache) != std::string::npos, row.used) << row.what << "\n" << given;
        EXPECT_EQ(fs::exists(fs::symlink_status(cache)), row.kept) << row.what;
        finishClassDataCache();
    }
}

}  // namespace
