// The log files' portable rules: size texts, the names of rolled files, when a write rolls over,
// and a roll-over that meets files another program holds open (on a real folder).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/writable_config.h"
#include "core/log_files.h"

namespace {

TEST(LogFiles, SizeTexts) {
    struct {
        const char* text;
        bool ok;
        uint64_t bytes;
    } rows[] = {{"", true, 0}, {"  ", true, 0}, {"0", true, 0}, {"4096", true, 4096}, {"30 B", true, 30},
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

TEST(LogFiles, RollRuleAndNames) {
    const LogRotation size{100, false, 5}, daily{0, true, 5}, both{100, true, 5};
    struct {
        const LogRotation* rotation;
        uint64_t size;
        size_t length;
        int64_t openedDay, today;
        bool due;
    } rows[] = {{&size, 0, 500, 1, 1, false},  // a fresh file takes any write
                {&size, 60, 40, 1, 1, false}, {&size, 60, 41, 1, 1, true}, {&size, 100, 1, 1, 1, true},
                {&size, 150, 0, 1, 1, false},  // nothing to write
                {&size, 10, 20, 1, 2, false}, {&daily, 10, 20, 1, 2, true}, {&daily, 10, 1000, 1, 1, false},
                {&daily, 0, 20, 1, 2, false},  // an empty day leaves no file
                {&both, 90, 20, 3, 3, true}, {&both, 10, 20, 3, 4, true}};
    for (const auto& row : rows)
        EXPECT_EQ(logRollDue(*row.rotation, row.size, row.length, row.openedDay, row.today), row.due)
            << row.size << "+" << row.length << " day " << row.openedDay << "->" << row.today;
    EXPECT_EQ(rolledLogName("logs/app.log", 1), "logs/app.log.1");
    EXPECT_EQ(rolledLogName("C:\\app.log", 12), "C:\\app.log.12");
}

TEST(LogFiles, SettingsFromTheEntries) {
    FakePlatform platform;
    writableConfig().LogRotateSize = const_cast<char*>("10 MB");
    writableConfig().LogRotateDaily = true;
    writableConfig().LogRotateKeep = -3;
    LogRotation rotation{};
    ASSERT_TRUE(loadLogRotation(&rotation));
    EXPECT_TRUE(rotation.limit == 10u << 20 && rotation.daily && rotation.keep == 0);
    writableConfig().LogRotateSize = const_cast<char*>("10 parsecs");
    EXPECT_FALSE(loadLogRotation(&rotation));
    EXPECT_EQ(platform.world().console.back().text,
              "LogRotateSize \"10 parsecs\" is no size: write a number with KB, MB or GB, as 10 MB");
    writableConfig().LogRotateSize = const_cast<char*>("");
    writableConfig().LogRotateDaily = false;
}

using Files = std::map<std::string, std::string>;

struct Holder {  // another program's hold on a file, as Windows shows it
    static inline std::string held;
    static inline bool unseen = false, refuseOpen = false;  // held only once checked; no fresh file
    static inline uint64_t now = 0;
    static inline LogFileOps logs;
    static bool refuse() { return Platform.errors.set(win32ErrorOfKind(ErrorKind::AccessDenied)), false; }
};

Files folderFiles(const std::string& folder) {
    Files found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ostringstream text;
        text << std::ifstream(entry.path()).rdbuf();
        found[entry.path().filename()] = text.str();
    }
    return found;
}

// Every step writes a line and then finds the folder as given: the log held at the start is
// appended to; a failed roll-over is tried again a second later, moves nothing while a file is
// seen held, stops where a move fails, and moves the log back when no fresh one can be opened;
// the file past LogRotateKeep goes only with a roll-over done.
TEST(LogFiles, FilesHeldOpenDelayTheRollOverAndLoseNothing) {
    FakePlatform platform(false);
    platform.world().environment["VARNLET_TRACE"] = "";
    char pattern[] = "/tmp/varnlet-logs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern, log = dir + "/app.log";
    LogFileOps logs = Holder::logs = *Platform.logFiles;
    logs.move = [](const char* from, const char* to) {
        return Holder::held == from || Holder::held == to ? Holder::refuse() : Holder::logs.move(from, to);
    };
    logs.movable = [](const char* path) { return Holder::unseen || Holder::held != path || Holder::refuse(); };
    logs.open = [](const char* path, bool empty) {
        return Holder::refuseOpen ? (Holder::refuse(), nullptr) : Holder::logs.open(path, empty);
    };
    logs.milliseconds = [] { return Holder::now; };
    Platform.logFiles = &logs;
    Files start{{"app.log", "previous\n"}, {"app.log.1", "one\n"}, {"app.log.2", "two\n"}, {"app.log.3", "three\n"}};
    for (const auto& [name, text] : start) makeFile(dir + "/" + name, text);
    struct {
        const char* held;
        bool unseen, refuseOpen;
        uint64_t now;
        const char* line;
        Files files;
    } steps[] = {
        {"app.log", false, false, 0, "a\n", {{"app.log", "previous\na\n"}, {"app.log.1", "one\n"}, {"app.log.2", "two\n"}, {"app.log.3", "three\n"}}},
        {"", false, false, 999, "b\n", {{"app.log", "previous\na\nb\n"}, {"app.log.1", "one\n"}, {"app.log.2", "two\n"}, {"app.log.3", "three\n"}}},
        {"app.log.2", false, false, 1000, "c\n", {{"app.log", "previous\na\nb\nc\n"}, {"app.log.1", "one\n"}, {"app.log.2", "two\n"}, {"app.log.3", "three\n"}}},
        {"app.log.2", true, false, 2000, "d\n", {{"app.log", "previous\na\nb\nc\nd\n"}, {"app.log.1", "one\n"}, {"app.log.2", "two\n"}, {"app.log.4", "three\n"}}},
        {"", false, true, 3000, "e\n", {{"app.log", "previous\na\nb\nc\nd\ne\n"}, {"app.log.2", "one\n"}, {"app.log.3", "two\n"}, {"app.log.4", "three\n"}}},
        {"", false, false, 4000, "f\n", {{"app.log", "f\n"}, {"app.log.1", "previous\na\nb\nc\nd\ne\n"}, {"app.log.2", "one\n"}, {"app.log.3", "two\n"}}},
        {"", false, false, 4001, "g\n", {{"app.log", "f\ng\n"}, {"app.log.1", "previous\na\nb\nc\nd\ne\n"}, {"app.log.2", "one\n"}, {"app.log.3", "two\n"}}},
    };
    for (const auto& step : steps) {
        Holder::held = step.held[0] ? dir + "/" + step.held : "";
        Holder::unseen = step.unseen, Holder::refuseOpen = step.refuseOpen, Holder::now = step.now;
        if (&step == steps) ASSERT_TRUE(openLogFile(0, log.c_str(), LogRotation{10, false, 3}, false, false));
        ASSERT_TRUE(writeLogFile(0, step.line, 2));
        EXPECT_EQ(folderFiles(dir), step.files) << "at " << step.now;
    }
    EXPECT_EQ(platform.world().console.at(0).text, "varnlet: log not rolled over: " + log +
              " cannot be moved: System text 5.; its lines go on into " + log + ", tried again after a second");
    std::filesystem::remove_all(dir);
}

}  // namespace
