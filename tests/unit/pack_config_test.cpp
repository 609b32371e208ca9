// varnlet-pack's configuration file: accepted values and their stored form, and the
// errors (with file and line) for everything the launcher could not read as meant.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "entry_values.h"
#include "core/config.h"
#include "core/text_encoding.h"
#include "pack_config.h"

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

TEST(PackConfig, ValuesBecomeTheStoredTexts) {
    PackConfig c;
    std::vector<std::string> errors = errorsOf(
        "target = \"linux\"\n"
        "MinJavaVersion = \"1.8\"\n"
        "ClassPath = [\"lib\", \"app.jar\"]\n"
        "JvmPath = \"a;b\"\n"
        "JavaSearchMode = 6\n"
        "UseStartupDir = true\n"
        "EarlyWorkingDir = false\n"
        "MainClass = \"com.example.Main\"\n"
        "[messages]\n"
        "1472 = \"none here\"\n"
        "MsgLoadJvm = \"cannot load %s (100%%)\"\n",
        &c);
    ASSERT_TRUE(errors.empty()) << errors[0];
    EXPECT_EQ(c.target, "linux");
    EXPECT_EQ(c.entries[1024], "0x00010008");
    EXPECT_EQ(c.entries[1072], "lib;app.jar");
    EXPECT_EQ(c.entries[1040], "a;b");
    EXPECT_EQ(c.entries[1088], "6");
    EXPECT_EQ(c.entries[1216], "1");
    EXPECT_EQ(c.entries[1232], "0");
    EXPECT_EQ(c.entries[1472], "none here");
    EXPECT_EQ(c.entries[1488], "cannot load %s (100%%)");
    PackRequest request;
    ASSERT_TRUE(makePackRequest(c, "linux", &request, &errors));
    // The stored main class is what the launcher descrambles back.
    std::string stored = utf16ToUtf8(request.entries[1168]);
    EXPECT_EQ(stored.size(), 32u);
    ASSERT_NE(descrambleText(stored.c_str()), nullptr);
    EXPECT_STREQ(descrambleText(stored.c_str()), "com.example.Main");
    EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

TEST(PackConfig, MinJavaVersionForms) {
    std::string stored, why;
    EXPECT_TRUE(convertMinJavaVersion("0x00010008", &stored, &why));
    EXPECT_EQ(stored, "0x00010008");
    EXPECT_TRUE(convertMinJavaVersion("1.3", &stored, &why));
    EXPECT_EQ(stored, "0x00010003");
    EXPECT_TRUE(convertMinJavaVersion("10008", &stored, &why));
    EXPECT_FALSE(convertMinJavaVersion("1.16", &stored, &why));  // the minor has four bits
    EXPECT_FALSE(convertMinJavaVersion("1.8.0", &stored, &why));
    EXPECT_FALSE(convertMinJavaVersion("0x", &stored, &why));
    EXPECT_FALSE(convertMinJavaVersion("0x123456789", &stored, &why));
    EXPECT_FALSE(convertMinJavaVersion("java8", &stored, &why));
    PackConfig c;
    ASSERT_TRUE(errorsOf("MinJavaVersion = 0x00010006\n", &c).empty());
    EXPECT_EQ(c.entries[1024], "0x00010006");
}

TEST(PackConfig, ErrorsNameFileLineAndKey) {
    EXPECT_EQ(oneError("target = \"win32\"\n\nMainClas = \"x\"\n").rfind("app.toml:3:1: unknown key \"MainClas\"", 0), 0u);
    EXPECT_NE(oneError("UseStartupDir = \"yes\"\n").find("app.toml:1:17: UseStartupDir must be true or false"), std::string::npos);
    EXPECT_NE(oneError("JavaSearchMode = \"1\"\n").find("must be an integer"), std::string::npos);
    EXPECT_NE(oneError("JavaSearchMode = 8\n").find("0 to 7"), std::string::npos);
    EXPECT_NE(oneError("ClassPath = 3\n").find("string or an array"), std::string::npos);
    EXPECT_NE(oneError("ClassPath = [\"a;b\"]\n").find("must not hold \";\""), std::string::npos);
    EXPECT_NE(oneError("target = \"win16\"\n").find("target must be"), std::string::npos);
    EXPECT_NE(oneError("[messages]\n1473 = \"x\"\n").find("app.toml:2:1: unknown message"), std::string::npos);
    EXPECT_NE(oneError("[messages]\nClassPath = \"x\"\n").find("unknown message"), std::string::npos);
    EXPECT_NE(oneError("[version]\nFileVersion = \"1.x\"\n").find("numbers separated by dots"), std::string::npos);
    EXPECT_NE(oneError("[version]\nComments = \"x\"\n").find("unknown version key"), std::string::npos);
    EXPECT_NE(oneError("ServiceName = \"a\\u0000b\"\n").find("NUL"), std::string::npos);
    EXPECT_NE(oneError("MsgNoRuntime = \"a\"\n[messages]\n1472 = \"b\"\n").find("set twice (app.toml:1:"), std::string::npos);
    EXPECT_NE(oneError("ServiceName = \n").find("app.toml:1:"), std::string::npos);  // a TOML syntax error
    // Several problems are all reported.
    EXPECT_EQ(errorsOf("A = 1\nB = 2\nUseStartupDir = 1\n").size(), 3u);
}

TEST(PackConfig, MainClassAndMessageRules) {
    EXPECT_NE(oneError("MainClass = \"\"\n").find("must not be empty"), std::string::npos);
    EXPECT_NE(oneError("MainClass = \"" + std::string(256, 'a') + "\"\n").find("256 bytes long"), std::string::npos);
    EXPECT_TRUE(errorsOf("MainClass = \"" + std::string(255, 'a') + "\"\n").empty());
    EXPECT_NE(oneError("MainClass = \"a b\"\n").find("blank"), std::string::npos);
    std::string why;
    EXPECT_TRUE(checkMessageFormat("plain", &why));
    EXPECT_TRUE(checkMessageFormat("%s and 50%%", &why));
    EXPECT_FALSE(checkMessageFormat("%s and %s", &why));
    EXPECT_FALSE(checkMessageFormat("%d", &why));
    EXPECT_FALSE(checkMessageFormat("%-10s", &why));
    EXPECT_FALSE(checkMessageFormat("ends with %", &why));
    EXPECT_NE(oneError("[messages]\n1456 = \"%s %s\"\n").find("at most one"), std::string::npos);
}

TEST(PackConfig, TextLengthInCharactersOnEveryTarget) {
    PackConfig c;
    std::string ascii(1023, 'a'), umlauts(600, '\0');
    umlauts.clear();
    for (int i = 0; i < 600; ++i) umlauts += "\xC3\xBC";  // 600 characters, 1200 UTF-8 bytes
    ASSERT_TRUE(errorsOf("JvmOptions = \"" + ascii + "\"\nAppOptions = \"" + umlauts + "\"\n", &c).empty());
    PackRequest request;
    std::vector<std::string> errors;
    EXPECT_TRUE(makePackRequest(c, "win32", &request, &errors));
    EXPECT_TRUE(makePackRequest(c, "linux", &request, &errors));
    ASSERT_TRUE(errorsOf("JvmOptions = \"" + ascii + "b\"\n", &c).empty());
    EXPECT_FALSE(makePackRequest(c, "win64", &request, &errors));
    EXPECT_NE(errors[0].find("1024 characters long"), std::string::npos);
    // The scrambled main class takes two digits per byte: 255 bytes make 510 digits, within 1023.
    ASSERT_TRUE(errorsOf("MainClass = \"" + std::string(255, 'q') + "\"\n", &c).empty());
    errors.clear();
    EXPECT_TRUE(makePackRequest(c, "linux", &request, &errors));
}

TEST(PackConfig, IconFileMustBeAnIcon) {
    std::string dir = testing::TempDir();
    std::ofstream(dir + "/notanicon.ico", std::ios::binary) << "GIF89a this is not an icon";
    PackConfig c;
    std::vector<std::string> errors;
    ASSERT_TRUE(parsePackConfig("icon = \"notanicon.ico\"\n", dir + "/app.toml", &c, &errors));
    PackRequest request;
    EXPECT_FALSE(makePackRequest(c, "win32", &request, &errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("app.toml:1:8: "), std::string::npos);
    EXPECT_NE(errors[0].find("not an icon file"), std::string::npos);
    errors.clear();
    ASSERT_TRUE(parsePackConfig("icon = \"missing.ico\"\n", dir + "/app.toml", &c, &errors));
    EXPECT_FALSE(makePackRequest(c, "win32", &request, &errors));
    EXPECT_NE(errors[0].find("cannot read the icon file"), std::string::npos);
    remove((dir + "/notanicon.ico").c_str());
}
