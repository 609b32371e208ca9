// The class path builder on real Linux directories (the POSIX backend's attributes,
// listing and identity): the documented edge cases, a symlink cycle and a large tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fakes/fake_platform.h"
#include "jvm/options.h"
#include "core/config.h"
#include "core/state.h"

namespace {

struct RealClassPathTest : ::testing::Test {
    FakePlatform platform{false};
    FakeWorld& w = platform.world();
    std::string root;
    std::string previous;

    void SetUp() override {
        // Real files, real errors and their real texts; reports still go to the fake console.
        const PlatformOps& d = defaultPlatformOps();
        Platform.getLastError = d.getLastError;
        Platform.setLastError = d.setLastError;
        Platform.formatSystemMessage = d.formatSystemMessage;
        Platform.canOpenForReading = d.canOpenForReading;
        loadDefaultStrings(w);
        loadConfiguration();
        char pattern[] = "/tmp/varnlet-classpath-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        previous = cwd;
        ASSERT_EQ(chdir(root.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(previous.c_str()), 0);
        std::string command = "rm -rf '" + root + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    static void makeFile(const std::string& path) {
        makeParents(path);
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr) << path;
        std::fclose(f);
    }
    static void makeParents(const std::string& path) {
        for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
            mkdir(path.substr(0, at).c_str(), 0755);
    }
    std::string build(const char* options, const char* classPath) {
        Config.JvmOptions = strdup(options);
        Config.ClassPath = strdup(classPath);
        if (!buildJvmOptions()) return "<failed>";
        return Config.JvmOptions;
    }
};

TEST_F(RealClassPathTest, DirectoryWithArchivesNotesAndSubdirectory) {
    makeFile("lib/a.jar");
    makeFile("lib/b.ZIP");
    makeFile("lib/notes.txt");
    makeFile("lib/ext/c.jar");
    EXPECT_EQ(build("-Xmx256m", "lib"), "-Xmx256m \"-Djava.class.path=lib:lib/a.jar:lib/b.ZIP:lib/ext/c.jar\"");
}

TEST_F(RealClassPathTest, TrailingSeparatorAndAbsoluteEntries) {
    makeFile("lib/a.jar");
    EXPECT_EQ(build("", "lib/"), " \"-Djava.class.path=lib/:lib/a.jar\"");
    std::string absolute = root + "/lib";
    EXPECT_EQ(build("", absolute.c_str()), " \"-Djava.class.path=" + absolute + ":" + absolute + "/a.jar\"");
}

TEST_F(RealClassPathTest, EnvironmentEntryUntouchedUntilExpansion) {
    w.environment["APPDIR"] = root;
    makeFile("lib/a.jar");
    EXPECT_EQ(build("", "%APPDIR%/lib"), " \"-Djava.class.path=" + root + "/lib\"");
}

TEST_F(RealClassPathTest, MissingEntryReportsTheSystemTextFirst) {
    makeFile("a.jar");
    EXPECT_EQ(build("-Xss2m", "a.jar;missing.jar"), "<failed>");
    EXPECT_STREQ(Config.JvmOptions, "-Xss2m");
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_NE(w.console[0].text.find("No such file or directory"), std::string::npos) << w.console[0].text;
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: missing.jar");
}

TEST_F(RealClassPathTest, OnlySeparatorsAndLineBreaks) {
    EXPECT_EQ(build("", ";;"), "");
    makeFile("a.jar");
    makeFile("b.jar");
    EXPECT_EQ(build("", "a.jar\r\nb.jar"), "<failed>");
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: \nb.jar");
}

TEST_F(RealClassPathTest, JavaHomeUndefinedAndUnclosedReferences) {
    std::strcpy(State.DiscoveredJavaHome, "/opt/jdk");
    w.environment["JAVA_HOME"] = "/somewhere/else";
    makeFile("a.jar");
    EXPECT_EQ(build("-Dh=%JAVA_HOME% -Dx=%NOSUCH%end -Dy=abc%DEF", "a.jar"),
              "-Dh=/opt/jdk -Dx=end -Dy=abcDEF \"-Djava.class.path=a.jar\"");
}

TEST_F(RealClassPathTest, SymlinkCycleEndsAndListsEachArchiveOnce) {
    makeFile("lib/a.jar");
    makeFile("lib/sub/b.jar");
    ASSERT_EQ(symlink("..", "lib/sub/up"), 0);          // back to lib
    ASSERT_EQ(symlink("../lib", "lib/self"), 0);        // lib again, under another name
    ASSERT_EQ(symlink("sub/b.jar", "lib/link.jar"), 0);  // a link to an archive is an archive
    EXPECT_EQ(build("", "lib"), " \"-Djava.class.path=lib:lib/a.jar:lib/link.jar:lib/sub/b.jar\"");
}

TEST_F(RealClassPathTest, TenThousandArchivesInNestedDirectories) {
    // 10 top directories, each with 10 subdirectories of 100 archives (and one stray file).
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 10; ++j) {
            char dir[64];
            std::snprintf(dir, sizeof dir, "tree/d%d/s%d", i, j);
            makeParents(std::string(dir) + "/x");
            mkdir(dir, 0755);
            for (int k = 0; k < 100; ++k) {
                char name[96];
                std::snprintf(name, sizeof name, "%s/lib%03d.jar", dir, k);
                FILE* f = std::fopen(name, "w");
                ASSERT_NE(f, nullptr);
                std::fclose(f);
                expected.push_back(name);
            }
            makeFile(std::string(dir) + "/README");
        }
    }
    std::string text = build("", "tree");
    const std::string prefix = " \"-Djava.class.path=";
    ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0);
    ASSERT_EQ(text.back(), '"');
    std::string list = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    std::vector<std::string> entries;
    size_t start = 0;
    for (size_t colon; (colon = list.find(':', start)) != std::string::npos; start = colon + 1)
        entries.push_back(list.substr(start, colon - start));
    entries.push_back(list.substr(start));
    ASSERT_EQ(entries.size(), 10001u);
    EXPECT_EQ(entries[0], "tree");
    entries.erase(entries.begin());
    // Sorted per directory, and the names above were made to sort the same way overall.
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()).size(), 10000u);
}

#if defined(__SANITIZE_ADDRESS__)
#define VARNLET_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNLET_UNDER_ASAN 1
#endif
#endif

// The walk's memory is taken away (an address-space limit in a child process): the build
// must fail with a report and keep the configured options, never hand on a class path
// that silently lacks archives.
TEST_F(RealClassPathTest, RunningOutOfMemoryFailsTheBuildWithAReport) {
#ifdef VARNLET_UNDER_ASAN
    GTEST_SKIP() << "the sanitizer's allocator does not return null under an address-space limit";
#else
    const std::string tail(180, 'n');
    for (int i = 0; i < 4000; ++i) makeFile("big/" + std::to_string(i) + tail + ".jar");
    Config.JvmOptions = strdup("-Xmx1g");
    Config.ClassPath = strdup("big");
    Config.JvmPath = strdup("/opt/jdk/lib/server/libjvm.so");
    ::testing::FLAGS_gtest_death_test_style = "fast";
    EXPECT_EXIT(
        {
            // About 800 KB of names and 3 MB of option text are needed; allow 512 KiB more.
            FILE* status = std::fopen("/proc/self/status", "r");
            long vmKiB = 0;
            char line[256];
            while (status && std::fgets(line, sizeof line, status))
                if (std::sscanf(line, "VmSize: %ld kB", &vmKiB) == 1) break;
            if (status) std::fclose(status);
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(vmKiB + 512) * 1024;
            if (vmKiB == 0 || setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
            bool built = buildJvmOptions();
            bool kept = std::strcmp(Config.JvmOptions, "-Xmx1g") == 0;
            bool reported = w.console.size() == 1 &&
                            w.console[0].text == "Unable to create JVM instance using /opt/jdk/lib/server/libjvm.so";
            std::_Exit(!built && kept && reported ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
