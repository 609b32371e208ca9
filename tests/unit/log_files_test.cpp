// The log files' portable rules: size texts, when a write rolls over, and a roll-over that meets
// files another program holds open (on a real folder), which shows the rolled files' names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/writable_config.h"
#include "core/log_files.h"
#include "platform/win32/backend.h"

namespace {

TEST(LogFiles, SizeTexts) {
    struct { const char* text; bool ok; uint64_t bytes; } rows[] = {
        {"", true, 0}, {"  ", true, 0}, {"0", true, 0}, {"4096", true, 4096}, {"30 B", true, 30},
        {"10 MB", true, 10u << 20}, {"10mb", true, 10u << 20}, {" 512 K ", true, 512u << 10},
        {"2KiB", true, 2048}, {"1 GB", true, 1u << 30}, {"3 g", true, 3ull << 30},
        {"17179869183 GB", true, 17179869183ull << 30}, {"17179869184 GB", false, 0},
        {"18446744073709551615", true, 18446744073709551615ull}, {"18446744073709551616", false, 0},
        {"MB", false, 0}, {"-1 MB", false, 0}, {"1.5 MB", false, 0}, {"10 MBs", false, 0},
        {"10 TB", false, 0}, {"10 M B", false, 0}, {"ten", false, 0}};
    for (const auto& row : rows) {
        uint64_t bytes = 99;
        EXPECT_EQ(parseLogSize(row.text, &bytes), row.ok) << row.text;
        if (row.ok) {
            EXPECT_EQ(bytes, row.bytes) << row.text;
        }
    }
}

TEST(LogFiles, RollRule) {
    const LogRotation size{100, false, 5}, daily{0, true, 5}, both{100, true, 5};
    struct { const LogRotation* rotation; uint64_t size; size_t length; int64_t openedDay, today; bool due; } rows[] = {
        {&size, 0, 500, 1, 1, false},  // a fresh file takes any write
        {&size, 60, 40, 1, 1, false}, {&size, 60, 41, 1, 1, true}, {&size, 100, 1, 1, 1, true},
        {&size, 150, 0, 1, 1, false},  // nothing to write
        {&size, 10, 20, 1, 2, false}, {&daily, 10, 20, 1, 2, true}, {&daily, 10, 1000, 1, 1, false},
        {&daily, 0, 20, 1, 2, false},  // an empty day leaves no file
        {&both, 90, 20, 3, 3, true}, {&both, 10, 20, 3, 4, true}};
    for (const auto& row : rows)
        EXPECT_EQ(logRollDue(*row.rotation, row.size, row.length, row.openedDay, row.today), row.due)
            << row.size << "+" << row.length << " day " << row.openedDay << "->" << row.today;
}

TEST(LogFiles, SettingsFromTheEntries) {
    FakePlatform platform;
    writableConfig().LogRotateSize = "10 MB";
    writableConfig().LogRotateDaily = true;
    writableConfig().LogRotateKeep = -3;
    LogRotation rotation{};
    ASSERT_TRUE(loadLogRotation(&rotation));
    EXPECT_TRUE(rotation.limit == 10u << 20 && rotation.daily && rotation.keep == 0);
    writableConfig().LogRotateSize = "10 parsecs";
    EXPECT_FALSE(loadLogRotation(&rotation));
    EXPECT_EQ(platform.world().console.back().text,
              "LogRotateSize \"10 parsecs\" is no size: write a number with KB, MB or GB, as 10 MB");
}

// Another program's hold on a file, as Windows shows it: the `held` file cannot be moved, nor
// moved onto (`unseen`: not before a move tries); with `refuseOpen` no fresh log opens.
std::string held;
bool unseen, refuseOpen;
uint64_t now;
LogFileOps real;
bool refuse() { return Platform.errors.set(win32ErrorOfKind(ErrorKind::AccessDenied)), false; }

std::string folderText(const std::string& dir) {  // "name:text name:text ..."
    std::string text;
    for (const auto& path : std::set<std::filesystem::path>(std::filesystem::directory_iterator(dir), {}))
        text += path.filename().string() + ":" + std::string(std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {}) + " ";
    return text;
}

// A log held at the start is appended to; a failed roll-over is tried again a second later,
// stops where a move fails, and moves the log back when no fresh one opens; the file past
// LogRotateKeep goes with a roll-over done. Each file first holds its own name.
TEST(LogFiles, FilesHeldOpenDelayTheRollOverAndLoseNothing) {
    FakePlatform platform(false);
    char dir[] = "/tmp/varnlet-logs-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    LogFileOps logs = real = *Platform.logFiles;
    logs.move = [](const char* from, const char* to) { return held == from || held == to ? refuse() : real.move(from, to); };
    logs.movable = [](const char* path) { return unseen || held != path || refuse(); };
    logs.open = [](const char* path, bool empty) { return refuseOpen ? (refuse(), nullptr) : real.open(path, empty); };
    logs.milliseconds = [] { return now; };
    Platform.logFiles = &logs;
    for (const char* name : {"app.log", "app.log.1", "app.log.2", "app.log.3"}) makeFile(std::string(dir) + "/" + name, name);
    struct { const char* held; bool unseen, refuseOpen; uint64_t now; const char* files; } steps[] = {
        {"app.log", false, false, 0, "app.log:app.log0 app.log.1:app.log.1 app.log.2:app.log.2 app.log.3:app.log.3 "},
        {"", false, false, 999, "app.log:app.log01 app.log.1:app.log.1 app.log.2:app.log.2 app.log.3:app.log.3 "},
        {"app.log.2", true, false, 1000, "app.log:app.log012 app.log.1:app.log.1 app.log.2:app.log.2 app.log.4:app.log.3 "},
        {"", false, true, 2000, "app.log:app.log0123 app.log.2:app.log.1 app.log.3:app.log.2 app.log.4:app.log.3 "},
        {"", false, false, 3000, "app.log:4 app.log.1:app.log0123 app.log.2:app.log.1 app.log.3:app.log.2 "},
    };
    for (const auto& step : steps) {
        held = step.held[0] ? std::string(dir) + "/" + step.held : "", unseen = step.unseen, refuseOpen = step.refuseOpen, now = step.now;
        if (&step == steps) { ASSERT_TRUE(openLogFile(0, (std::string(dir) + "/app.log").c_str(), {4, false, 3}, false, false)); }
        ASSERT_TRUE(writeLogFile(0, std::to_string(&step - steps).c_str(), 1));
        EXPECT_EQ(folderText(dir), step.files) << "at " << step.now;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
