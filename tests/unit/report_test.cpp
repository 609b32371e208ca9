// Reporting: console routing, safe formatting of configured texts, and the message boxes of
// windowed launchers. A service run's events are shown by the service tests.
#include <gtest/gtest.h>

#include <string>

#include "entries/entries.h"
#include "fakes/fake_platform.h"
#include "core/report.h"
#include "core/state.h"
#include "options/text_buffer.h"
#include "launcher/dispatch.h"
#include "launcher/single_instance.h"

namespace {

// Errors go to stderr, the rest to stdout; an argument is printed as it stands, and a
// configured format's "%s" beyond the first and other conversions are printed as written.
// The system text keeps its own line end (the console shows an empty line after it); a code
// without a text is named; an overlong text is cut visibly, between characters.
TEST(Report, ConsoleRoutingAndSafeFormatting) {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    struct { bool error; const char *format, *argument, *printed; } rows[] = {
        {false, "Service installed: %s", "Svc", "Service installed: Svc"},
        {true, "Error: %s", "%APPDIR%\\lib %s %n", "Error: %APPDIR%\\lib %s %n"},
        {true, "%s and %s, %d%% %n", "one", "one and %s, %d% %n"}, {false, "100%% done", nullptr, "100% done"}};
    for (const auto& row : rows) {
        row.error ? reportError(row.format, row.argument) : reportInfo(row.format, row.argument);
        EXPECT_EQ(w.console.back().text, row.printed);
        EXPECT_EQ(w.console.back().toError, row.error) << row.printed;
    }
    w.lastError = {ErrorKind::NotFound, 3};
    reportLastError();
    EXPECT_TRUE(w.console.back().toError && w.console.back().text == "System text 3.\r\n");
    w.codesWithoutText.insert(0xE0001234);
    reportSystemError({ErrorKind::Other, 0xE0001234});
    EXPECT_EQ(w.console.back().text, "System error 3758101044 (0xE0001234).\n");
    std::string accents;  // a cut at byte 8188 would fall inside the 4094th
    for (int i = 0; i < 4600; ++i) accents += "\xC3\xA9";
    reportInfo("%s", ("x" + accents).c_str());
    EXPECT_EQ(w.console.back().text, "x" + accents.substr(0, 2 * 4093) + "...");
}

// Memory that runs out (here a text too long to hold) ends the run with one report and the
// launcher's failure code.
TEST(Report, OutOfMemoryEndsTheRun) {
    FakePlatform platform;
    Platform.console.writeLine = [](bool toError, const char* text) { fprintf(stderr, "%d %s\n", toError, text); };
    TextBuffer text{nullptr, 0, 0};
    EXPECT_EXIT(reserveText(&text, SIZE_MAX / 2), testing::ExitedWithCode(255), "^1 Out of memory\\.\n$");
}

// Windowed launchers, what the wine scenarios cannot see: icons, the title's fallbacks, no
// dialog in a service run, a lone system text, the mutex name, the packed kind.
std::vector<std::string> boxes;  // "title|text|style"
const char* productName;

bool fakeBox(const char* title, const char* text, BoxKind kind) {
    const char* style = kind == BoxKind::Information ? "64" : kind == BoxKind::Error ? "16" : "20";  // the Win32 icons and buttons
    boxes.push_back(std::string(title) + "|" + text + "|" + style);
    return false;
}
bool fakeVersion(const char* key, char* buffer, size_t size) {
    return productName && std::string(key) == "ProductName" && snprintf(buffer, size, "%s", productName) > 0;
}

TEST(Windowed, BoxesByKindTitledByProductOrExecutable) {
    FakePlatform platform;
    Platform.desktop.showMessageBox = fakeBox;
    Platform.process.readVersionString = fakeVersion;
    Platform.console.startedWith = [] { return false; };
    Platform.services.run = [](const char*, ServiceMainRoutine) { return false; };
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
    platform.world().strings[kEntryServiceName] = "Svc";
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

}  // namespace
