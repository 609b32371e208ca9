// Reporting: console routing, event-log routing, safe formatting of configured texts.
#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_platform.h"
#include "core/report.h"
#include "core/state.h"

namespace {

struct ReportTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
};

TEST_F(ReportTest, ConsoleRouting) {
    reportError("Error accessing file/directory: %s", "C:\\x");
    reportInfo("Service installed: %s", "Svc");
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_TRUE(w.console[0].toError);
    EXPECT_EQ(w.console[0].text, "Error accessing file/directory: C:\\x");
    EXPECT_FALSE(w.console[1].toError);
    EXPECT_EQ(w.console[1].text, "Service installed: Svc");
    EXPECT_TRUE(w.events.empty());
}

TEST_F(ReportTest, PercentInArgumentPrintedUnchanged) {
    reportError("Error accessing file/directory: %s", "%APPDIR%\\lib %s %n");
    EXPECT_EQ(w.console.at(0).text, "Error accessing file/directory: %APPDIR%\\lib %s %n");
}

TEST_F(ReportTest, ConfiguredFormatsCannotReadMissingArguments) {
    // Only one "%s" receives the argument; other conversions are printed as written.
    const char* configured = "%s and %s, %d%% %n";
    reportError(configured, "one");
    EXPECT_EQ(w.console.at(0).text, "one and %s, %d% %n");
    reportInfo("100%% done");
    EXPECT_EQ(w.console.at(1).text, "100% done");
}

TEST_F(ReportTest, LastErrorTextThenEmptyLine) {
    w.lastError = 3;
    reportLastError();
    ASSERT_EQ(w.console.size(), 1u);
    EXPECT_TRUE(w.console[0].toError);
    // The system text keeps its own line end; the console adds one more: an empty line follows.
    EXPECT_EQ(w.console[0].text, "System text 3.\r\n");
}

TEST_F(ReportTest, CodeWithoutSystemTextNamesTheCode) {
    w.codesWithoutText.insert(0xE0001234);
    reportSystemError(0xE0001234);
    EXPECT_EQ(w.console.at(0).text, "System error 3758101044 (0xE0001234).\n");
}

TEST_F(ReportTest, OverlongTextIsCutVisibly) {
    std::string big(9000, 'x');
    reportInfo("%s", big.c_str());
    const std::string& text = w.console.at(0).text;
    EXPECT_EQ(text.size(), kReportTextSize - 1);
    EXPECT_EQ(text.substr(text.size() - 3), "...");
}

TEST_F(ReportTest, ServiceModeWritesEvents) {
    State.RunMode = RunModeKind::Service;
    int source;
    State.EventSource = &source;
    reportInfo("The %s service has started.", "Svc");
    reportError("The %s service failed to start.", "Svc");
    w.lastError = 5;
    reportLastError();
    EXPECT_TRUE(w.console.empty());
    ASSERT_EQ(w.events.size(), 3u);
    EXPECT_EQ(w.events[0].type, kEventTypeInformation);
    EXPECT_EQ(w.events[0].id, 0x40000001u);
    EXPECT_EQ(w.events[0].text, "The Svc service has started.");
    EXPECT_EQ(w.events[1].type, kEventTypeError);
    EXPECT_EQ(w.events[1].id, 0xC0000002u);
    EXPECT_EQ(w.events[2].text, "System text 5.\r\n");
    EXPECT_EQ(w.events[2].source, &source);
}

TEST_F(ReportTest, ServiceModeWithoutSourceDropsReports) {
    State.RunMode = RunModeKind::Service;
    reportError("lost %s", "x");
    EXPECT_TRUE(w.console.empty());
    EXPECT_TRUE(w.events.empty());
}

}  // namespace
