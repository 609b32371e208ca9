// The log files' portable rules: size texts, the names of rolled files, when a write rolls over.
#include <gtest/gtest.h>

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

}  // namespace
