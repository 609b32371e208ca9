// The option text: configured options, the class path option with directories expanded,
// failures on inaccessible entries, and environment references.
#include "options_fixture.h"

namespace {

TEST_F(OptionsTest, DefaultClassPathAlone) {
    files.addFile("vantoHelix.jar");
    set("", "vantoHelix.jar");
    EXPECT_EQ(build(), " \"-Djava.class.path=vantoHelix.jar\"");
}

TEST_F(OptionsTest, DirectoryIsFollowedByItsArchives) {
    files.addFile("lib\\notes.txt");
    files.addFile("lib\\b.ZIP");
    files.addFile("lib\\ext\\c.jar");
    files.addFile("lib\\a.jar");
    set("-Xmx256m", "lib");
    EXPECT_EQ(build(), "-Xmx256m \"-Djava.class.path=lib;lib\\a.jar;lib\\b.ZIP;lib\\ext\\c.jar\"");
}

TEST_F(OptionsTest, EntriesKeepTheirConfiguredOrder) {
    files.addFile("z.jar");
    files.addFile("lib\\m.jar");
    files.addFile("a.jar");
    set("", "z.jar;lib;a.jar");
    EXPECT_EQ(build(), " \"-Djava.class.path=z.jar;lib;lib\\m.jar;a.jar\"");
}

TEST_F(OptionsTest, TrailingBackslashStaysOnTheEntryOnly) {
    files.addFile("lib\\a.jar");
    set("", "lib\\");
    EXPECT_EQ(build(), " \"-Djava.class.path=lib\\;lib\\a.jar\"");
}

TEST_F(OptionsTest, EnvironmentEntryIsNeitherTestedNorScanned) {
    w.environment["APPDIR"] = "C:\\app";
    set("", "%APPDIR%\\lib");
    EXPECT_EQ(build(), " \"-Djava.class.path=C:\\app\\lib\"");
    EXPECT_TRUE(files.attributeCalls.empty());
    EXPECT_TRUE(files.listCalls.empty());
}

TEST_F(OptionsTest, MissingEntryIsReportedAndNothingChanges) {
    files.addFile("a.jar");
    set("-Xmx1g", "a.jar;missing.jar;b.jar");
    EXPECT_EQ(build(), "<failed>");
    EXPECT_STREQ(Config.JvmOptions, "-Xmx1g");
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[0].text, "System text 2.\r\n");
    EXPECT_TRUE(w.console[0].toError);
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: missing.jar");
    EXPECT_TRUE(w.console[1].toError);
    // The search stopped at the failing entry.
    EXPECT_EQ(files.attributeCalls.size(), 2u);
}

TEST_F(OptionsTest, AttributeErrorOtherThanMissingIsReportedWithItsOwnText) {
    files.addFile("locked.jar");
    files.node("locked.jar").attributeError = kErrorAccessDenied;
    set("", "locked.jar");
    EXPECT_EQ(build(), "<failed>");
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[0].text, "System text 5.\r\n");
}

TEST_F(OptionsTest, OnlySeparatorsOrEmptyGiveNoClassPathOption) {
    set("-Xss1m", ";;;");
    EXPECT_EQ(build(), "-Xss1m");
    std::free(Config.ClassPath);
    Config.ClassPath = strdup("");
    EXPECT_EQ(build(), "-Xss1m");
    std::free(Config.JvmOptions);
    Config.JvmOptions = strdup("");
    EXPECT_EQ(build(), "");
}

TEST_F(OptionsTest, EmptyEntriesVanish) {
    files.addFile("a.jar");
    files.addFile("b.jar");
    set("", ";a.jar;;b.jar;");
    EXPECT_EQ(build(), " \"-Djava.class.path=a.jar;b.jar\"");
}

TEST_F(OptionsTest, LineBreakEndsOnlyTheFirstEntry) {
    files.addFile("a.jar");
    files.addFile("b.jar");
    set("", "a.jar\r\nb.jar");
    // The line feed stays at the start of the second entry, which then cannot be found.
    EXPECT_EQ(build(), "<failed>");
    ASSERT_EQ(w.console.size(), 2u);
    EXPECT_EQ(w.console[1].text, "Error accessing file/directory: \nb.jar");
}

TEST_F(OptionsTest, JavaHomeMeansTheDiscoveredHome) {
    w.environment["JAVA_HOME"] = "C:\\elsewhere";
    std::strcpy(State.DiscoveredJavaHome, "C:\\jdk");
    files.addFile("a.jar");
    set("-Dhome=%JAVA_HOME%", "a.jar;%JAVA_HOME%\\lib\\tools.jar");
    EXPECT_EQ(build(), "-Dhome=C:\\jdk \"-Djava.class.path=a.jar;C:\\jdk\\lib\\tools.jar\"");
    State.DiscoveredJavaHome[0] = '\0';
    std::free(Config.JvmOptions);
    Config.JvmOptions = strdup("-Dhome=%JAVA_HOME%");
    std::free(Config.ClassPath);
    Config.ClassPath = strdup("");
    EXPECT_EQ(build(), "-Dhome=");
}

TEST_F(OptionsTest, EmptyDirectoryAddsOnlyItself) {
    files.addDirectory("empty");
    set("", "empty");
    EXPECT_EQ(build(), " \"-Djava.class.path=empty\"");
}

TEST_F(OptionsTest, OptionsEndingInASpaceKeepBothSpaces) {
    files.addFile("a.jar");
    set("-Xmx256m ", "a.jar");
    EXPECT_EQ(build(), "-Xmx256m  \"-Djava.class.path=a.jar\"");
}

TEST_F(OptionsTest, ClassPathIsSplitInPlace) {
    files.addFile("a.jar");
    files.addFile("b.jar");
    set("", "a.jar;b.jar");
    build();
    EXPECT_STREQ(Config.ClassPath, "a.jar");
}

TEST(ExpandEnvironmentReferences, Cases) {
    FakePlatform platform;
    platform.world().environment["DEF"] = "def";
    platform.world().environment["EMPTY"] = "";
    std::strcpy(State.DiscoveredJavaHome, "H");
    struct Row {
        const char* in;
        const char* out;
    } rows[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a%NOSUCH%b", "ab"},
        {"abc%DEF", "abcDEF"},
        {"%DEF%%DEF%", "defdef"},
        {"x%%y", "xy"},
        {"%", ""},
        {"a%DEF%b%", "adefb"},
        {"%EMPTY%|", "|"},
        {"%JAVA_HOME%\\bin", "H\\bin"},
        {"%java_home%", ""},
    };
    for (const Row& row : rows) {
        char* out = expandEnvironmentReferences(row.in);
        ASSERT_NE(out, nullptr);
        EXPECT_STREQ(out, row.out) << row.in;
        std::free(out);
    }
}

}  // namespace
