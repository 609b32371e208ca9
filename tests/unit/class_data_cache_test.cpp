// The class data cache's rules: which cache a runtime keeps, options that keep the launcher
// out, and the files of a cache folder (the real POSIX backend on a temporary folder).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "core/config.h"
#include "core/writable_config.h"
#include "fakes/fake_platform.h"
#include "jvm/class_data_cache.h"

namespace {

TEST(ClassDataCache, KindByVersion) {
    const std::pair<uint32_t, ClassDataKind> rows[] = {{12, ClassDataKind::None}, {13, ClassDataKind::DynamicArchive},
                                                       {24, ClassDataKind::DynamicArchive}, {25, ClassDataKind::AotCache}};
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

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

const CacheFileOps* Real;
// A cache another process holds cannot be replaced (Windows); the pointer still can.
bool failingRename(const char* from, const char* to) { return std::strstr(to, ".jsa") == nullptr && Real->renameFile(from, to); }

// A start with the given options text: the option text the JVM then gets.
std::string start(const std::string& dir, const char* options) {
    writableConfig().ClassDataCache = true;
    writableConfig().ClassDataCacheDir = strdup((dir + "/cache").c_str());
    char* text = strdup(options);
    prepareClassDataCache((dir + "/jdk/lib/server/libjvm.so").c_str(), &text);
    std::string given = text;
    free(text);
    return given;
}

// A cache is kept only when it could be renamed into place; the one kept is used by the next
// start and older files of ours go, other files stay. None is begun where none can be written.
TEST(ClassDataCache, KeptOnlyWhole) {
    resetLauncherRecords();
    char pattern[] = "/tmp/varnlet-cds-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern, cache = dir + "/cache/";
    makeFile(dir + "/jdk/release", "JAVA_VERSION=\"13.0.2\"\n");
    makeFile(dir + "/a.jar", "x");
    makeFile(cache + "cds-1.jsa", "old");
    makeFile(cache + "notes.jsa", "not ours");
    const std::string options = "\"-Djava.class.path=" + dir + "/a.jar\"";
    CacheFileOps failing = *(Real = Platform.cacheFiles);
    failing.renameFile = failingRename;
    CacheFileOps readOnly = *Real;
    readOnly.writeNewFile = [](const char*, const void*, size_t) { return false; };
    Platform.cacheFiles = &readOnly;
    EXPECT_EQ(start(dir, options.c_str()), options);  // a folder it cannot write in: the options as they were
    Platform.cacheFiles = Real;
    for (const CacheFileOps* ops : {static_cast<const CacheFileOps*>(&failing), Real}) {
        std::string text = start(dir, options.c_str());
        const std::string written = cache + "cds-" + std::to_string(getpid()) + ".jsa.tmp";
        EXPECT_NE(text.find("\"-XX:ArchiveClassesAtExit=" + written + "\" " + options), std::string::npos) << text;
        makeFile(written, "archive");
        Platform.cacheFiles = ops;
        finishClassDataCache();
        Platform.cacheFiles = Real;
        EXPECT_FALSE(exists(written));
        EXPECT_EQ(exists(cache + "cds.key"), ops == Real);
    }
    const std::string kept = cache + "cds-" + std::to_string(getpid()) + ".jsa";
    EXPECT_EQ(read(kept), "archive");
    EXPECT_FALSE(exists(cache + "cds-1.jsa"));
    EXPECT_TRUE(exists(cache + "notes.jsa"));
    EXPECT_NE(start(dir, options.c_str()).find("\"-XX:SharedArchiveFile=" + kept + "\""), std::string::npos);
    makeFile(dir + "/a.jar", "changed");  // another size: another key
    EXPECT_NE(start(dir, options.c_str()).find("ArchiveClassesAtExit"), std::string::npos);
    finishClassDataCache();
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
