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

// At the root the separator stays: "E:" alone would be the drive's own current directory.
TEST_F(DirectoriesTest, ExecutableAtTheRootOfADriveOrTheFileSystem) {
    w.modulePath = "E:\\varnlet.exe";
    w.enterableDirectories.insert("E:\\");
    ASSERT_TRUE(enterExecutableDirectory());
    EXPECT_EQ(w.currentDirectory, "E:\\");
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

// Which directory is entered in which case is shown by the launcher runs; here, a missing one.
TEST_F(DirectoriesTest, UnenterableWorkingDirectoryIsReported) {
    ASSERT_TRUE(captureStartupDirectory());
    EXPECT_STREQ(State.StartupDir, "C:\\start");
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
