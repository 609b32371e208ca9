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

// Each text gives exactly one error, which holds the given words (file, line and column where shown).
TEST(PackConfig, ErrorsNameFileLineAndKey) {
    const std::pair<std::string, const char*> rows[] = {
        {"target = \"win32\"\n\nMainClas = \"x\"\n", "app.toml:3:1: unknown key \"MainClas\" (did you mean MainClass?)"},
        {"classpath = \"x\"\n", "(did you mean ClassPath?)"},
        {"JavaSerachMode = 1\n", "(did you mean JavaSearchMode?)"},
        {"SingleInstanceMutex = \"My\\\\App\"\n", "backslash only"},
        {"SingleInstanceMutex = \"Local\\\\\"\n", "needs a name after"},
        {"SingleInstanceMutex = \"" + std::string(241, 'm') + "\"\n", "241 bytes long"},
        {"UseStartupDir = \"yes\"\n", "app.toml:1:17: UseStartupDir must be true or false"},
        {"JavaSearchMode = \"1\"\n", "must be an integer"},
        {"JavaSearchMode = 8\n", "0 to 7"},
        {"ClassPath = 3\n", "string or an array"},
        {"ClassPath = [\"a;b\"]\n", "must not hold \";\""},
        {"target = \"win16\"\n", "target must be"},
        {"[messages]\n1473 = \"x\"\n", "app.toml:2:1: unknown message"},
        {"[messages]\nClassPath = \"x\"\n", "unknown message"},
        {"[messages]\n1456 = \"%s %s\"\n", "at most one"},
        {"[version]\nFileVersion = \"1.x\"\n", "numbers separated by dots"},
        {"[version]\nTrademarks = \"x\"\n", "unknown version key"},
        {"[version]\nProductVersion = \"beta 1\"\n", "must start with numbers"}, {"version = \"1.2.3.4.5-rc\"\n", "or \"1.2.3-beta\""},
        {"[version]\nProductNmae = \"x\"\n", "(did you mean ProductName?)"},
        {"version = \"1.x\"\n", "version must be a table or a version"},
        {"name = \"\"\n", "name must hold 1 to 1023"},
        {"execution_level = \"admin\"\n", "execution_level must be \"asInvoker\""},
        {"ServiceName = \"a\\u0000b\"\n", "NUL"},
        {"MsgNoRuntime = \"a\"\n[messages]\n1472 = \"b\"\n", "set twice (app.toml:1:"},
        {"ServiceName = \n", "app.toml:1:"},  // a TOML syntax error
        {"MainClass = \"\"\n", "must not be empty"},
        {"MainClass = \"" + std::string(256, 'a') + "\"\n", "256 bytes long"},
        {"MainClass = \"a b\"\n", "blank"},
        {"ServiceRestartDelay = 86401\n", "ServiceRestartDelay must be 0 to 86400 seconds"},
        {"ServiceRestartCount = 0\n", "ServiceRestartCount must be 1 to 100"},
        {"ServiceStopTimeout = 0\n", "ServiceStopTimeout must be 1 to 86400"},
        {"LogRotateSize = \"10 MiBs\"\n", "LogRotateSize \"10 MiBs\" is no size"},
        {"LogRotateKeep = 1001\n", "LogRotateKeep must be 0 to 1000"},
        {"ServiceDependencies = \"a\\\\b\"\n", "ServiceDependencies: a service name holds"},
        {"ServiceName = \"App\"\nServiceAccount = \"NT SERVICE\\\\Other\"\n", "NT SERVICE\\App, after the service's own name"},
        {"ServiceDelayedStart = true\nServiceManualStart = true\n", "needs automatic start"},
        {"MainJar = \"app.zip\"\n", "MainJar \"app.zip\" is not a jar"},
        {"MainJar = \"" + testing::TempDir() + "notes.jar\"\n", "notes.jar is not a jar that can be read"},
        {"MainModule = \"com.9app\"\n", "\"com.9app\" is not a module name"},
        {"MainModule = \"app/com.\"\n", "\"com.\" is not a class name"},
        {"MainJar = \"a.jar\"\nMainModule = \"m\"\n", "exclude each other"},
    };
    std::ofstream(testing::TempDir() + "notes.jar") << "not a zip archive";
    for (const auto& [text, want] : rows) EXPECT_NE(oneError(text).find(want), std::string::npos) << text;
    EXPECT_EQ(errorsOf("UseStartupDir = 1\nB = 2\nA = 1\n"),  // every problem, in the file's order
              (std::vector<std::string>{"app.toml:1:17: UseStartupDir must be true or false", "app.toml:2:1: unknown key \"B\"",
                                        "app.toml:3:1: unknown key \"A\""}));
    for (const std::string& text : {"MainClass = \"" + std::string(255, 'a') + "\"\n",
                                    std::string("ServiceRestartDelay = 86400\nServiceDependencies = [\"Tcpip\", \"Event Log\"]\n"
                                                "ServiceAccount = \"NT AUTHORITY\\\\LocalService\"\n"),
                                    std::string("ServiceName = \"App\"\nServiceAccount = \"NT SERVICE\\\\app\"\n"),
                                    std::string("MainModule = \"app.x_1/app.$Main\"\nMainJar = \"\"\n"),
                                    "SingleInstanceMutex = \"Global\\\\" + std::string(233, 'm') + "\"\n"})
        EXPECT_TRUE(errorsOf(text).empty()) << text;
    std::string why;
    for (const char* format : {"plain", "%s and 50%%"}) EXPECT_TRUE(checkMessageFormat(format, &why)) << format;
    for (const char* format : {"%s and %s", "%d", "%-10s", "ends with %"}) EXPECT_FALSE(checkMessageFormat(format, &why)) << format;
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
            std::vector<std::string> got = referenceWarnings({{1056, utf8ToUtf16(options)}, {1888, utf8ToUtf16(modern)}});
            bool expected = *lost != '\0' && *modern == '0';
            ASSERT_EQ(got.size(), expected ? 1u : 0u) << options;
            if (expected) {
                EXPECT_EQ(got[0].rfind(std::string("JvmOptions \"") + options + "\": \"" + lost + "\"", 0), 0u) << got[0];
            }
        }
    }
    EXPECT_EQ(referenceWarnings({{1072, u"lib;%p"}}).at(0).rfind("ClassPath \"lib;%p\"", 0), 0u);
}
