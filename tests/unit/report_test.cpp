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

// Errors go to stderr, the rest to stdout; an argument is printed as it stands, and a
// configured format's "%s" beyond the first and other conversions are printed as written.
TEST_F(ReportTest, ConsoleRoutingAndSafeFormatting) {
    struct {
        bool error;
        const char *format, *argument, *printed;
    } rows[] = {{true, "Error accessing file/directory: %s", "C:\\x", "Error accessing file/directory: C:\\x"},
                {false, "Service installed: %s", "Svc", "Service installed: Svc"},
                {true, "Error: %s", "%APPDIR%\\lib %s %n", "Error: %APPDIR%\\lib %s %n"},
                {true, "%s and %s, %d%% %n", "one", "one and %s, %d% %n"},
                {false, "100%% done", nullptr, "100% done"}};
    for (const auto& row : rows) {
        row.error ? reportError(row.format, row.argument) : reportInfo(row.format, row.argument);
        EXPECT_EQ(w.console.back().text, row.printed);
        EXPECT_EQ(w.console.back().toError, row.error) << row.printed;
    }
    EXPECT_TRUE(w.events.empty());
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
    State.EventSource = nullptr;  // without a source, reports are dropped
    reportError("lost %s", "x");
    EXPECT_TRUE(w.console.empty());
    EXPECT_EQ(w.events.size(), 3u);
}

}  // namespace
