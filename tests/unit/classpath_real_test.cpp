// The class path builder on real Linux directories (the POSIX backend's attributes,
// listing and identity): the documented edge cases, a symlink cycle and a large tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fakes/fake_platform.h"
#include "jvm/options.h"
#include "launcher/config.h"
#include "launcher/state.h"

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

}  // namespace
