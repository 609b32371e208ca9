// The start-up, executable and working directories.
#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/working_directory.h"
#include "launcher/directories.h"
#include "core/state.h"

namespace {

struct DirectoriesTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    void SetUp() override {
        loadDefaultStrings(w);
        loadConfiguration();
    }
};

TEST_F(DirectoriesTest, ExecutableDirectoryHasNoTrailingSeparator) {
    ASSERT_TRUE(enterExecutableDirectory());
    EXPECT_EQ(w.currentDirectory, "C:\\apps\\demo");
}

TEST_F(DirectoriesTest, ExecutableAtTheRootOfADrive) {
    w.modulePath = "E:\\varnlet.exe";
    w.enterableDirectories.insert("E:\\");
    ASSERT_TRUE(enterExecutableDirectory());
    // "E:" alone would be the drive's own current directory, not its root.
    EXPECT_EQ(w.currentDirectory, "E:\\");
}

TEST_F(DirectoriesTest, ExecutableAtTheRootOnLinux) {
    FakePlatform posix(false);
    loadDefaultStrings(posix.world());
    posix.world().modulePath = "/varnlet";
    posix.world().enterableDirectories.insert("/");
    ASSERT_TRUE(enterExecutableDirectory());
    EXPECT_EQ(posix.world().currentDirectory, "/");
}

TEST_F(DirectoriesTest, OverlongExecutablePathIsRefused) {
    w.modulePath = "C:\\" + std::string(kPathBufferSize + 40, 'p') + "\\varnlet.exe";
    EXPECT_FALSE(enterExecutableDirectory());
    EXPECT_TRUE(w.directoryChanges.empty());
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: CURRENT_EXE");
}

TEST_F(DirectoriesTest, UnenterableExecutableDirectoryIsReported) {
    w.enterableDirectories.erase("C:\\apps\\demo");
    EXPECT_FALSE(enterExecutableDirectory());
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[0].text, "System text 2.\r\n");
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: C:\\apps\\demo");
}

TEST_F(DirectoriesTest, WorkingDirectoryRules) {
    ASSERT_TRUE(captureStartupDirectory());
    EXPECT_STREQ(State.StartupDir, "C:\\start");
    w.currentDirectory = "C:\\apps\\demo";

    // Empty WorkingDir, no start-up dir: nothing changes.
    EXPECT_TRUE(enterWorkingDirectory(false));
    EXPECT_TRUE(w.directoryChanges.empty());

    Config.WorkingDir = const_cast<char*>("C:\\work");
    w.enterableDirectories.insert("C:\\work");
    EXPECT_TRUE(enterWorkingDirectory(false));
    EXPECT_EQ(w.currentDirectory, "C:\\work");

    Config.UseStartupDir = true;
    EXPECT_TRUE(enterWorkingDirectory(false));
    EXPECT_EQ(w.currentDirectory, "C:\\start");
    EXPECT_TRUE(enterWorkingDirectory(true));  // forced: WorkingDir wins
    EXPECT_EQ(w.currentDirectory, "C:\\work");

    Config.WorkingDir = const_cast<char*>("C:\\missing");
    EXPECT_FALSE(enterWorkingDirectory(true));
    EXPECT_EQ(w.console.back().text, "Error accessing file/directory: C:\\missing");
}

TEST_F(DirectoriesTest, OverlongStartupDirectoryFailsOnlyWhenNeeded) {
    w.currentDirectory = "C:\\" + std::string(kPathBufferSize + 10, 's');
    EXPECT_TRUE(captureStartupDirectory());
    EXPECT_STREQ(State.StartupDir, "");
    EXPECT_TRUE(w.console.empty());
    EXPECT_TRUE(enterWorkingDirectory(false));  // UseStartupDir clear: not needed
    Config.UseStartupDir = true;
    EXPECT_FALSE(enterWorkingDirectory(false));
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: CURRENT_DIR");
    EXPECT_TRUE(w.directoryChanges.empty());  // never entered a cut path
}

}  // namespace
