// Start-up configuration: entries (conversions, "<null>", descrambling, the INI override)
// and the start-up, executable and working directories.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "fakes/fake_platform.h"
#include "core/config.h"
#include "core/writable_config.h"
#include "core/state.h"
#include "core/working_directory.h"
#include "launcher/directories.h"

namespace {

struct ConfigTest : ::testing::Test {
    FakePlatform platform;
    FakeWorld& w = platform.world();
};

// Flags are true unless the text starts with "0"; integers and hex
// numbers read like atoi and strtoul, with the hex text kept as written.
TEST_F(ConfigTest, FlagIntegerAndHexConversions) {
    const unsigned flag = kEntryUseStartupDir, number = kEntryJavaSearchMode, hex = kEntryMinJavaVersion;
    struct { unsigned id; const char* text; int64_t value; } rows[] = {
        {flag, "1", 1}, {flag, "yes", 1}, {flag, "", 1}, {flag, " 0", 1}, {flag, "0", 0}, {flag, "00", 0},
        {flag, "0yes", 0}, {number, "letters", 0}, {number, " 7", 7}, {number, "-3x", -3}, {number, "+12", 12},
        {number, "", 0}, {number, "99999999999", INT32_MAX}, {hex, "0x00010003", 0x10003}, {hex, "00010003", 0x10003},
        {hex, " 0X1000a", 0x1000A}, {hex, "zz", 0}, {hex, "0x", 0}};
    for (const auto& row : rows) {
        w.strings[row.id] = row.text;
        resetLauncherRecords();
        loadConfiguration();
        int64_t got = row.id == flag     ? int64_t{Config.UseStartupDir}
                      : row.id == number ? int64_t{Config.JavaSearchMode}
                                         : int64_t{Config.MinJavaVersionValue};
        EXPECT_EQ(got, row.value) << row.id << " '" << row.text << "'";
    }
    EXPECT_STREQ(Config.MinJavaVersion, "0x");
}

// The defaults of this build; "<null>" only as the whole text; long entries cut.
TEST_F(ConfigTest, DefaultsNullMarkerAndLongEntries) {
    w.strings[kEntryAppOptions] = "<null>";
    w.strings[kEntryJvmOptions] = "<null> ";
    w.strings.erase(kEntryWorkingDir);
    w.strings[kEntryServiceDescription] = std::string(1500, 'a');
    loadConfiguration();
    EXPECT_STREQ(Config.AppOptions, "");
    EXPECT_STREQ(Config.JvmOptions, "<null> ");
    EXPECT_STREQ(Config.WorkingDir, "");
    EXPECT_EQ(strlen(Config.ServiceDescription), 1023u);
    EXPECT_STREQ(Config.MainClass, "org/vantohelix/launch/HelixMain");
    EXPECT_STREQ(Config.ClassPath, "vantoHelix.jar");
    EXPECT_EQ(Config.MinJavaVersionValue, 0x00010003u);
}

// Malformed texts (over 510 digits, an odd count, not a digit, small letters) decode to
// nothing, and the main class is then empty. The default main class and every jvm run show
// well-formed ones.
TEST_F(ConfigTest, MalformedScrambledTexts) {
    const std::string longest(2 * kMainClassMaxBytes, 'A');
    EXPECT_NE(descrambleText(longest.c_str()), nullptr);
    for (std::string bad : {longest + "00", std::string("ABC"), std::string("4g"), std::string("4b")})
        EXPECT_EQ(descrambleText(bad.c_str()), nullptr) << bad.substr(0, 8);
    w.strings[kEntryMainClass] = "XYZ";
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
        {longDir, longName, longDir + "\\" + longName, {{"AppOptions", "long"}}, "-Xmx64m", "long"},
        // An absolute name is joined like any other, so it names no file and overrides nothing.
        {"C:\\apps\\demo", "D:\\conf\\app.ini", "D:\\conf\\app.ini", {{"JvmOptions", "-Xmx1g"}}, "-Xmx64m", "embedded"},
    };
    for (const Row& row : rows) {
        resetLauncherRecords();
        w.strings[kEntryJvmOptions] = "-Xmx64m";
        w.strings[kEntryAppOptions] = "embedded";
        w.strings[kEntryOptionsFile] = row.optionsFile;
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

// Paths too long for the buffer are refused, never cut and entered; a directory that cannot
// be entered is reported with the system's text.
TEST_F(ConfigTest, EnteringDirectories) {
    loadConfiguration();
    w.modulePath = "C:\\" + std::string(kPathBufferSize + 40, 'p') + "\\varnlet.exe";
    EXPECT_FALSE(enterExecutableDirectory());
    w.modulePath = "C:\\apps\\gone\\varnlet.exe";
    EXPECT_FALSE(enterExecutableDirectory());
    w.currentDirectory = "C:\\" + std::string(kPathBufferSize + 10, 's');
    EXPECT_TRUE(captureStartupDirectory());
    EXPECT_STREQ(State.StartupDir, "");
    EXPECT_TRUE(enterWorkingDirectory(false));  // UseStartupDir clear: not needed
    writableConfig().UseStartupDir = true;
    EXPECT_FALSE(enterWorkingDirectory(false));
    EXPECT_EQ(w.directoryChanges, std::vector<std::string>{"C:\\apps\\gone"});
    const char* const system = "System text 206.\r\n";  // the name is too long
    EXPECT_EQ(w.takeConsole(), (std::vector<std::string>{system, "Error accessing file/directory: CURRENT_EXE", "System text 2.\r\n",
                                               "Error accessing file/directory: C:\\apps\\gone", system,
                                               "Error accessing file/directory: CURRENT_DIR"}));
}

}  // namespace
