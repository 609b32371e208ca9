// Windowed launchers, what the wine scenarios cannot see: icons, the title's fallbacks, no
// dialog in a service run, a lone system text, the mutex name, the packed checksum.
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "core/report.h"
#include "core/state.h"
#include "launcher/dispatch.h"
#include "launcher/single_instance.h"
#include "launcher_file.h"
#include "pack/test_images.h"
#include "pe_image.h"

namespace {

std::vector<std::string> boxes;  // "title|text|style"
const char* productName;

int fakeBox(const char* title, const char* text, uint32_t style) {
    boxes.push_back(std::string(title) + "|" + text + "|" + std::to_string(style));
    return 0;
}
bool fakeVersion(const char* key, char* buffer, size_t size) {
    return productName && std::string(key) == "ProductName" && snprintf(buffer, size, "%s", productName) > 0;
}

TEST(Windowed, BoxesByKindTitledByProductOrExecutable) {
    FakePlatform platform;
    Platform.showMessageBox = fakeBox;
    Platform.readVersionString = fakeVersion;
    Platform.startedWithConsole = [] { return false; };
    Platform.startServiceDispatcher = [](const char*, ServiceMainRoutine) { return false; };
    boxes.clear();
    productName = "Helix";
    State.Windowed = true;
    reportInfo("Installed");
    productName = nullptr;
    reportErrorOfferingPage("", "No Java.");
    State.RunMode = RunModeKind::Service;
    reportError("never a box");
    EXPECT_EQ(boxes, (std::vector<std::string>{"Helix|Installed|64", "varnlet|No Java.|16"}));

    // Before a service run, with the start-up directory unreadable: no box. Otherwise the
    // system's text and message share one, and a lone system text shows at the end.
    loadDefaultStrings(platform.world());
    platform.world().strings[1248] = "Svc";
    for (const char* argument : {"-startlauncherinservicemode", "-install"}) {
        for (uint32_t startupDirError : {5u, 0u}) {
            platform.world().currentDirectoryError = startupDirError;
            boxes.clear();
            std::string exe = "C:\\apps\\demo\\varnlet.exe", given = argument;
            char* argv[] = {&exe[0], &given[0]};
            launcherMain(2, argv);
            EXPECT_EQ(boxes.size(), argument[1] == 'i' ? 1u : 0u) << argument << startupDirError;
        }
    }
    State.Windowed = false;
    reportErrorOfferingPage("https://example.org/java", "No Java.");
    EXPECT_EQ(platform.world().console.back().text, "No Java.\nhttps://example.org/java");
}

TEST(Windowed, MutexNameFollowsTheFolderNotTheCase) {
    FakePlatform platform;
    char a[32], b[32], c[32];
    instanceMutexName("C:\\Apps\\One\\helix.exe", a, sizeof a);
    instanceMutexName("c:\\apps\\one\\HELIX.EXE", b, sizeof b);
    instanceMutexName("C:\\Apps\\Two\\helix.exe", c, sizeof c);
    EXPECT_STREQ(a, b);
    EXPECT_STRNE(a, c);
    EXPECT_TRUE(claimSingleInstance());  // SingleInstance off: no mutex, as before
}

TEST(PackSubsystem, GuiSetsTheSubsystemAndAValidChecksum) {
    Bytes body = makeTestPe(false, {{".rsrc", 0x1000, buildResourceTree({}, 0x1000), kTestData}}, 0), out;
    for (bool windowed : {true, false}) {
        PackRequest request;
        request.setSubsystem = true, request.windowed = windowed;
        std::vector<std::string> notes;
        std::string error;
        LauncherContents contents;
        PeImage pe;
        ASSERT_TRUE(packLauncher(body, request, &out, &notes, &error) && readLauncher(out, &contents, &error) &&
                    parsePe(out, &pe, &error)) << error;
        EXPECT_EQ(contents.windowed, windowed);
        EXPECT_EQ(rd32(out.data() + checksumOffset(pe)), peChecksum(out, checksumOffset(pe)));
    }
}

}  // namespace
