// Windowed launchers: reports in message boxes, the download page offer, one instance, and
// varnlet-pack's subsystem switch.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/report.h"
#include "core/state.h"
#include "launcher/dispatch.h"
#include "launcher/single_instance.h"
#include "launcher_file.h"
#include "pack/test_images.h"
#include "pe_image.h"

namespace {

struct Box {
    std::string title, text;
    uint32_t style;
};
std::vector<Box> boxes;
std::map<std::string, std::string> versionStrings;
std::vector<std::string> opened;
int answer = 0;

int fakeBox(const char* title, const char* text, uint32_t style) {
    boxes.push_back(Box{title, text, style});
    return answer;
}
bool fakeVersion(const char* key, char* buffer, size_t size) {
    auto it = versionStrings.find(key);
    if (it == versionStrings.end()) return false;
    snprintf(buffer, size, "%s", it->second.c_str());
    return true;
}
bool fakeOpen(const char* url) {
    opened.push_back(url);
    return true;
}
bool mutexExists = false;
PlatformHandle fakeMutex(const char*, bool* existed) {
    *existed = mutexExists;
    return &mutexExists;
}

struct Windowed : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    void SetUp() override {
        boxes.clear(), versionStrings.clear(), opened.clear(), answer = 0, mutexExists = false;
        Platform.showMessageBox = fakeBox;
        Platform.readVersionString = fakeVersion;
        Platform.openUrl = fakeOpen;
        Platform.createNamedMutex = fakeMutex;
        State.Windowed = true;
    }
};

TEST_F(Windowed, SystemTextAndMessageShareOneBoxWithTheirIcon) {
    w.lastError = 3;
    reportLastError();
    reportError("Error accessing file/directory: %s", "C:\\x");
    reportInfo("Service installed: %s", "Svc");
    w.lastError = 5;
    reportLastError();
    flushReports();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "System text 3.\n\nError accessing file/directory: C:\\x");
    EXPECT_EQ(boxes[0].style, kBoxIconError);
    EXPECT_EQ(boxes[1].text, "Service installed: Svc");
    EXPECT_EQ(boxes[1].style, kBoxIconInformation);
    EXPECT_EQ(boxes[2].text, "System text 5.\r\n");
    EXPECT_TRUE(w.console.empty());
}

TEST_F(Windowed, TitleIsTheDescriptionProductOrExecutableName) {
    struct Row {
        std::map<std::string, std::string> version;
        const char* title;
    } rows[] = {{{{"FileDescription", "Helix Desk"}, {"ProductName", "Helix"}}, "Helix Desk"},
                {{{"ProductName", "Helix"}}, "Helix"},
                {{}, "varnlet"}};
    for (const Row& row : rows) {
        versionStrings = row.version;
        reportError("x");
        EXPECT_EQ(boxes.back().title, row.title);
    }
}

TEST_F(Windowed, ServiceRunShowsNoBox) {
    State.RunMode = RunModeKind::Service;
    State.EventSource = &w;
    reportError("failed");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(w.events.size(), 1u);
}

TEST_F(Windowed, NoDialogBeforeAServiceRunAndNoSystemTextLost) {
    Platform.startedWithConsole = [] { return false; };
    loadDefaultStrings(w);
    w.strings[1248] = "Svc";
    struct Row {
        const char* argument;
        uint32_t startupDirError;
        size_t boxes;
    } rows[] = {{"-startlauncherinservicemode", 5, 0}, {"-install", 5, 1}, {"-install", 0, 1}};
    for (const Row& row : rows) {
        boxes.clear();
        w.currentDirectoryError = row.startupDirError;
        std::string exe = "C:\\apps\\demo\\varnlet.exe", argument = row.argument;
        char* argv[] = {&exe[0], &argument[0]};
        launcherMain(2, argv);
        EXPECT_EQ(boxes.size(), row.boxes) << row.argument << " " << row.startupDirError;
    }
}

TEST_F(Windowed, DownloadPageOfferedAndOpenedOnYes) {
    for (int given : {7, kBoxAnswerYes}) {  // No, then Yes
        answer = given;
        reportErrorOfferingPage("https://example.org/java", "No Java.%s", "");
        EXPECT_EQ(opened.size(), given == kBoxAnswerYes ? 1u : 0u);
    }
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "No Java.\n\nOpen the download page now?\nhttps://example.org/java");
    EXPECT_EQ(boxes[0].style, kBoxYesNo | kBoxIconError);
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/java"});
    State.Windowed = false;
    reportErrorOfferingPage("https://example.org/java", "No Java.");
    EXPECT_EQ(w.console.at(0).text, "No Java.\nhttps://example.org/java");
}

TEST_F(Windowed, SecondInstanceIsRefusedWithItsMessage) {
    Config.SingleInstanceMutex = const_cast<char*>("");
    Config.SingleInstanceMessage = const_cast<char*>("Already running, 100%");
    mutexExists = true;
    EXPECT_TRUE(claimSingleInstance());  // the flag is off: as before
    Config.SingleInstance = true;
    EXPECT_FALSE(claimSingleInstance());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Already running, 100%");
    mutexExists = false;
    EXPECT_TRUE(claimSingleInstance());
}

TEST_F(Windowed, MutexNameFollowsTheFolderNotTheCase) {
    char a[32], b[32], c[32];
    instanceMutexName("C:\\Apps\\One\\helix.exe", a, sizeof a);
    instanceMutexName("c:\\apps\\one\\HELIX.EXE", b, sizeof b);
    instanceMutexName("C:\\Apps\\Two\\helix.exe", c, sizeof c);
    EXPECT_STREQ(a, b);
    EXPECT_STRNE(a, c);
}

TEST(PackSubsystem, GuiSetsTheSubsystemAndAValidChecksum) {
    Bytes body = makeTestPe(false, {{".rsrc", 0x1000, buildResourceTree({}, 0x1000), kTestData}}, 0);
    for (bool windowed : {true, false}) {
        PackRequest request;
        request.setSubsystem = true;
        request.windowed = windowed;
        Bytes out;
        std::vector<std::string> notes;
        std::string error;
        ASSERT_TRUE(packLauncher(body, request, &out, &notes, &error)) << error;
        LauncherContents contents;
        ASSERT_TRUE(readLauncher(out, &contents, &error)) << error;
        EXPECT_EQ(contents.windowed, windowed);
        PeImage pe;
        ASSERT_TRUE(parsePe(out, &pe, &error));
        EXPECT_EQ(rd32(out.data() + checksumOffset(pe)), peChecksum(out, checksumOffset(pe)));
    }
}

}  // namespace
