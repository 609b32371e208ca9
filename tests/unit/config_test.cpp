// Configuration loading: conversions, "<null>", descrambling, dots to slashes, INI override.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "fakes/fake_platform.h"
#include "core/config.h"

namespace {

std::string scramble(const std::string& name) {
    std::string hex;
    char digits[3];
    for (size_t i = 0; i < name.size(); ++i) {
        snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(name[i] ^ kScrambleKey[i % 17]));
        hex += digits;
    }
    return hex;
}

struct ConfigTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
    void SetUp() override {
        loadDefaultStrings(w);
        w.currentDirectory = "C:\\apps\\demo";
    }
};

TEST_F(ConfigTest, DefaultsOfThisBuild) {
    loadConfiguration();
    EXPECT_STREQ(Config.MainClass, "org/vantohelix/launch/HelixMain");
    EXPECT_STREQ(Config.ClassPath, "vantoHelix.jar");
    EXPECT_EQ(Config.MinJavaVersionValue, 0x00010003u);
    EXPECT_STREQ(message(MsgFileAccess), "Error accessing file/directory: %s");
}

// Flags are true unless the text starts with "0" and no other digit; integers and hex
// numbers read like atoi and strtoul, with the hex text kept as written.
TEST_F(ConfigTest, FlagIntegerAndHexConversions) {
    struct {
        unsigned id;
        const char* text;
        int64_t value;
    } rows[] = {{1216, "1", 1}, {1216, "yes", 1}, {1216, "", 1}, {1216, " 0", 1}, {1216, "0", 0}, {1216, "00", 0},
                {1216, "0yes", 0}, {1088, "letters", 0}, {1088, " 7", 7}, {1088, "-3x", -3}, {1088, "+12", 12},
                {1088, "", 0}, {1088, "99999999999", INT32_MAX}, {1024, "0x00010003", 0x10003}, {1024, "00010003", 0x10003},
                {1024, " 0X1000a", 0x1000A}, {1024, "zz", 0}, {1024, "0x", 0}};
    for (const auto& row : rows) {
        w.strings[row.id] = row.text;
        resetLauncherRecords();
        loadConfiguration();
        int64_t got = row.id == 1216   ? int64_t{Config.UseStartupDir}
                      : row.id == 1088 ? int64_t{Config.JavaSearchMode}
                                       : int64_t{Config.MinJavaVersionValue};
        EXPECT_EQ(got, row.value) << row.id << " '" << row.text << "'";
    }
    EXPECT_STREQ(Config.MinJavaVersion, "0x");
    w.strings.erase(1312);  // a missing flag is true
    resetLauncherRecords();
    loadConfiguration();
    EXPECT_TRUE(Config.ServiceStopByExit);
}

TEST_F(ConfigTest, NullMarkerOnlyWhenWholeAndLongEntriesCut) {
    w.strings[1184] = "<null>";
    w.strings[1056] = "<null> ";
    w.strings.erase(1152);
    w.strings[1264] = std::string(1500, 'a');
    loadConfiguration();
    EXPECT_STREQ(Config.AppOptions, "");
    EXPECT_STREQ(Config.JvmOptions, "<null> ");
    EXPECT_STREQ(Config.WorkingDir, "");
    EXPECT_EQ(strlen(Config.ServiceDescription), 1023u);
}

TEST_F(ConfigTest, DescramblingAndSlashes) {
    const char* two = descrambleText(scramble("Q").c_str());
    ASSERT_NE(two, nullptr);
    EXPECT_STREQ(two, "Q");

    // The 17th byte (index 16) is stored without XOR.
    std::string hex = scramble("abcdefghijklmnopqrstu");
    EXPECT_EQ(hex.substr(32, 2), "71");  // 'q' as it stands
    EXPECT_STREQ(descrambleText(hex.c_str()), "abcdefghijklmnopqrstu");

    w.strings[1168] = scramble("com.example.Main");
    loadConfiguration();
    EXPECT_STREQ(Config.MainClass, "com/example/Main");
    w.strings[1168] = scramble("com/example/Main");
    resetLauncherRecords();
    loadConfiguration();
    EXPECT_STREQ(Config.MainClass, "com/example/Main");
}

TEST_F(ConfigTest, MalformedScrambledTextDecodesToNothing) {
    std::string longest = scramble(std::string(255, 'x'));
    EXPECT_NE(descrambleText(longest.c_str()), nullptr);
    EXPECT_EQ(descrambleText((longest + "00").c_str()), nullptr);  // over 510 digits
    EXPECT_EQ(descrambleText("ABC"), nullptr);                      // odd count
    EXPECT_EQ(descrambleText("4g"), nullptr);                       // not a digit
    EXPECT_EQ(descrambleText("4b"), nullptr);                       // small letters are not stored
    w.strings[1168] = "XYZ";
    loadConfiguration();
    EXPECT_STREQ(Config.MainClass, "");
}

// The INI named by OptionsFile, joined to the executable's directory, overrides the two
// option texts: a value set there wins, an empty or missing one keeps the embedded text.
TEST_F(ConfigTest, IniOverride) {
    const std::string longDir = "C:\\" + std::string(250, 'd'), longName = std::string(40, 'n') + ".ini";
    struct Row {
        std::string directory, optionsFile, file;  // file: where the INI lies
        std::map<std::string, std::string> values;
        const char *jvmOptions, *appOptions;
        bool readable = true;
    } rows[] = {
        {"C:\\apps\\demo", "app.ini", "C:\\apps\\demo\\app.ini", {{"JvmOptions", "-Xmx1g"}, {"AppOptions", "from ini"}},
         "-Xmx1g", "from ini"},
        {"C:\\apps\\demo", "app.ini", "C:\\apps\\demo\\app.ini", {{"JvmOptions", ""}, {"AppOptions", "only this"}},
         "-Xmx64m", "only this"},
        {"C:\\apps\\demo", "app.ini", "C:\\apps\\demo\\app.ini", {{"JvmOptions", "-Xmx1g"}}, "-Xmx64m", "embedded",
         false},
        {"M:\\", "app.ini", "M:\\app.ini", {{"AppOptions", "at the root"}}, "-Xmx64m", "at the root"},
        {longDir, longName, longDir + "\\" + longName, {{"AppOptions", "long"}}, "-Xmx64m", "long"},
        // An absolute name is joined like any other, so it names no file and overrides nothing.
        {"C:\\apps\\demo", "D:\\conf\\app.ini", "D:\\conf\\app.ini", {{"JvmOptions", "-Xmx1g"}}, "-Xmx64m",
         "embedded"},
    };
    for (const Row& row : rows) {
        resetLauncherRecords();
        w.strings[1056] = "-Xmx64m";
        w.strings[1184] = "embedded";
        w.strings[1200] = row.optionsFile;
        w.currentDirectory = row.directory;
        w.readableFiles.clear();
        if (row.readable) w.readableFiles.insert(row.optionsFile);
        w.profiles = {{row.file, row.values}};
        loadConfiguration();
        EXPECT_STREQ(Config.JvmOptions, row.jvmOptions) << row.file;
        EXPECT_STREQ(Config.AppOptions, row.appOptions) << row.file;
        EXPECT_TRUE(w.console.empty());
    }
}

}  // namespace
