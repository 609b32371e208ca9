// varnlet-pack's configuration file: the forms of values, the errors (with file and line)
// for everything the launcher could not read as meant, and the text length limits. The stored
// form of every kind of value is checked on the real bodies by tests/pack/pack_check.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "entry_values.h"
#include "pack_config.h"
#include "platform/unicode.h"
#include "reference_warnings.h"

namespace {

std::vector<std::string> errorsOf(const std::string& text, PackConfig* config = nullptr) {
    PackConfig local;
    std::vector<std::string> errors;
    parsePackConfig(text, "app.toml", config ? config : &local, &errors);
    return errors;
}

std::string oneError(const std::string& text) {
    std::vector<std::string> errors = errorsOf(text);
    EXPECT_EQ(errors.size(), 1u) << text;
    return errors.empty() ? "" : errors[0];
}

}  // namespace

TEST(PackConfig, MinJavaVersionForms) {
    const std::pair<const char*, const char*> rows[] = {  // given, stored (nullptr: refused)
        {"0x00010008", "0x00010008"}, {"1.3", "0x00010003"}, {"17", "0x00110000"}, {"21", "0x00150000"},
        {"17.0", "0x00110000"}, {"65535", "0xFFFF0000"}, {"65536", nullptr}, {"1A", nullptr}, {"1.16", nullptr},  // the minor has four bits
        {"1.8.0", nullptr}, {"0x", nullptr}, {"0x123456789", nullptr}, {"java8", nullptr}};
    for (const auto& [given, want] : rows) {
        std::string stored, why;
        EXPECT_EQ(convertMinJavaVersion(given, &stored, &why), want != nullptr) << given;
        if (want) {
            EXPECT_EQ(stored, want) << given;
        }
    }
    PackConfig c;  // a hexadecimal TOML integer is stored as it is; a decimal one is a major version (pack_check.py)
    EXPECT_TRUE(errorsOf("MinJavaVersion = 0x00010008\n", &c).empty());
    EXPECT_EQ(c.entries[1024], "0x00010008");
}

// Each text gives exactly one error, naming the range both packers take from pack_rules.def (tests/pack/differential.py
// compares every other message with the Java packer's); then texts at the limits that are taken.
TEST(PackConfig, ErrorsNameFileLineAndKey) {
    const std::pair<std::string, const char*> rows[] = {
        {"JavaSearchMode = 8\n", "app.toml:1:18: JavaSearchMode must be 0 to 7"},
        {"ServiceRestartDelay = 86401\n", "ServiceRestartDelay must be 0 to 86400 seconds"},
        {"ServiceRestartCount = 0\n", "ServiceRestartCount must be 1 to 100"},
        {"ServiceStopTimeout = 0\n", "ServiceStopTimeout must be 1 to 86400"},
        {"LogRotateKeep = 1001\n", "LogRotateKeep must be 0 to 1000"},
    };
    for (const auto& [text, want] : rows) EXPECT_NE(oneError(text).find(want), std::string::npos) << text;
    for (const std::string& text : {std::string("ServiceRestartDelay = 86400\nServiceDependencies = [\"Tcpip\", \"Event Log\"]\n"
                                                "ServiceAccount = \"NT AUTHORITY\\\\LocalService\"\n"),
                                    std::string("ServiceName = \"App\"\nServiceAccount = \"NT SERVICE\\\\app\"\n"),
                                    std::string("MainModule = \"app.x_1/app.$Main\"\nMainJar = \"\"\n"),
                                    "SingleInstanceMutex = \"Global\\\\" + std::string(233, 'm') + "\"\n"})
        EXPECT_TRUE(errorsOf(text).empty()) << text;
}

// Every TOML sample of the user's guide (```toml blocks) and of the manual page (.nf blocks of CONFIGURATION, with
// troff's escapes undone) is a configuration varnlet-pack takes, read with its own TOML reader.
TEST(PackConfig, DocumentedSamplesAreTaken) {
    std::ifstream guide(VARNLET_SOURCE_DIR "/docs/GUIDE.md"), page(VARNLET_SOURCE_DIR "/tools/release/varnlet-pack.1");
    std::string text(std::istreambuf_iterator<char>(guide), {}), manual(std::istreambuf_iterator<char>(page), {});
    manual = manual.substr(manual.find(".SH CONFIGURATION"), manual.find(".SH SIGNING") - manual.find(".SH CONFIGURATION"));
    for (const auto& [escape, plain] : {std::pair<std::string, std::string>{"\\-", "-"}, {"\\e", "\\"}, {"\\&", ""}})
        for (size_t at = manual.find(escape); at != std::string::npos; at = manual.find(escape, at + plain.size())) manual.replace(at, escape.size(), plain);
    size_t samples[2] = {0, 0};
    for (const auto& [document, open, close, count] : {std::tuple<std::string, std::string, std::string, size_t*>{text, "```toml\n", "```", &samples[0]},
                                                       {manual, ".nf\n", ".fi\n", &samples[1]}})
        for (size_t at = document.find(open), from = at + open.size(); at != std::string::npos; at = document.find(open, from), from = at + open.size(), ++*count)
            EXPECT_EQ(errorsOf(document.substr(from, document.find(close, from) - from)), std::vector<std::string>{}) << document.substr(from, 200);
    EXPECT_GE(samples[0], 8u);  // all found
    EXPECT_EQ(samples[1], 1u);
}

TEST(PackConfig, ServiceAccountsByTarget) {
    const std::tuple<const char*, const char*, bool> rows[] = {  // target, account, accepted
        {"win64", "bob", false}, {"win32", "NT AUTHORITY\\NetworkService", true}, {"linux", "app", true},
        {"linux", "app:adm", true}, {"linux", "LocalService", true}, {"linux", "-app", false},
        {"linux", "app:", false}, {"linux", "NT SERVICE\\App", false}};
    for (const auto& [target, account, accepted] : rows) {
        PackConfig c;
        PackRequest request;
        std::vector<std::string> errors;
        ASSERT_TRUE(errorsOf(std::string("ServiceAccount = '") + account + "'\n", &c).empty()) << account;
        EXPECT_EQ(makePackRequest(c, target, &request, &errors), accepted) << target << " " << account;
    }
}

TEST(PackConfig, TextLengthInCharactersOnEveryTarget) {
    PackConfig c;
    std::string ascii(1023, 'a'), umlauts;
    for (int i = 0; i < 600; ++i) umlauts += "\xC3\xBC";  // 600 characters, 1200 UTF-8 bytes
    ASSERT_TRUE(errorsOf("JvmOptions = \"" + ascii + "\"\nAppOptions = \"" + umlauts + "\"\n", &c).empty());
    PackRequest request;
    std::vector<std::string> errors;
    EXPECT_TRUE(makePackRequest(c, "win32", &request, &errors));
    EXPECT_TRUE(makePackRequest(c, "linux", &request, &errors));
    ASSERT_TRUE(errorsOf("JvmOptions = \"" + ascii + "b\"\nJvmPath = \"" + ascii + "b\"\n", &c).empty());
    EXPECT_FALSE(makePackRequest(c, "win64", &request, &errors));
    ASSERT_EQ(errors.size(), 2u);  // in the file's order
    EXPECT_EQ(errors[0].find("app.toml:1:14: JvmOptions: the text is 1024 characters long"), 0u) << errors[0];
    // The scrambled main class takes two digits per byte: 255 bytes make 510 digits, within 1023.
    ASSERT_TRUE(errorsOf("MainClass = \"" + std::string(255, 'q') + "\"\n", &c).empty());
    EXPECT_TRUE(makePackRequest(c, "linux", &request, &errors));
}

// Texts the stored reference rules would cut at run time are named with their key; meant
// references, and any text once ModernReferences is on, are not.
TEST(PackWarnings, PercentThatTheStoredRulesWouldCut) {
    const std::pair<const char*, const char*> rows[] = {  // JvmOptions, the part named ("": no warning)
        {"-Dh=%APPDATA%\\x -Dp=%ProgramFiles(x86)%", ""}, {"-XX:ErrorFile=hs_err_%p.log", "%"},
        {"-XX:ErrorFile=a%p.log -Xlog:gc:file=gc-%t.log", "%p.log -Xlog:gc:file=gc-%"}, {"-Dpct=100%%", "%%"},
        {"-Da=%A1% -Db=%1A%", "%1A%"}, {"-Dp=%p%", "%p%"}};
    for (const auto& [options, lost] : rows) {
        for (const char* modern : {"0", "1"}) {
            std::vector<std::string> got =
                referenceWarnings({{kEntryJvmOptions, utf8ToUtf16(options)}, {kEntryModernReferences, utf8ToUtf16(modern)}});
            bool expected = *lost != '\0' && *modern == '0';
            ASSERT_EQ(got.size(), expected ? 1u : 0u) << options;
            if (expected) {
                EXPECT_EQ(got[0].rfind(std::string("JvmOptions \"") + options + "\": \"" + lost + "\"", 0), 0u) << got[0];
            }
        }
    }
    EXPECT_EQ(referenceWarnings({{kEntryClassPath, u"lib;%p"}}).at(0).rfind("ClassPath \"lib;%p\"", 0), 0u);
}
