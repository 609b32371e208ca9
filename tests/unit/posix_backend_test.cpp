// The POSIX backend's own rules: the configuration section and the INI reader.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "entries/entries.h"
#include "platform/platform.h"
#include "platform/unicode.h"

namespace {

// Cut like LoadStringA; every jvm run reads the rest of the section.
TEST(PosixStrings, CutToTheBuffer) {
    char buffer[8];
    EXPECT_EQ(defaultPlatformOps().process.loadString(1025, buffer, sizeof buffer), 0);  // not an entry
    EXPECT_EQ(defaultPlatformOps().process.loadString(kEntryClassPath, buffer, 5), 4);
    EXPECT_STREQ(buffer, "vant");
}

// Entries are UTF-16, as the string table is: a pair is one character of four bytes (emoji,
// rare ideographs), a surrogate alone the replacement character; UTF-8 reads back the same.
TEST(PosixStrings, CharactersBeyondTheBasicPlane) {
    const std::string lost = "\xEF\xBF\xBD";
    const struct { std::u16string units; std::string text; } rows[] = {
        {u"a\U0001F600", "a\xF0\x9F\x98\x80"}, {u"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {u"\U00020BB7x", "\xF0\xA0\xAE\xB7x"}, {{0xD83D, u'a'}, lost + "a"}, {{0xDE00, 0xD83D}, lost + lost}, {{u'b', 0xDBFF}, "b" + lost}};
    for (const auto& row : rows) {
        EXPECT_EQ(utf16ToUtf8(row.units), row.text);
        EXPECT_TRUE(row.text.find(lost) != std::string::npos || utf8ToUtf16(row.text) == row.units) << row.text;
    }
}

// Names match without case, values are trimmed, unquoted and cut to the buffer, the first
// key wins; a value is UTF-8 where it can be, one byte a character otherwise; a byte-order
// mark is skipped, or tells UTF-16 of its byte order; a missing key or file gives the default.
TEST(IniFile, NamesValuesEncodingsAndDefaults) {
    const std::string plain = ::testing::TempDir() + "varnlet-plain.ini", bom = ::testing::TempDir() + "varnlet-bom.ini";
    std::ofstream(plain, std::ios::binary)
        << "[other]\r\nJvmOptions=wrong\r\n; comment\r\n[ application configuration ]\r\n"
           "  jvmoptions =  -Xmx1g -Dx=\"a b\"  \r\nAppOptions=\"one two\"\r\nAppOptions=second\r\nEmpty=\r\n"
           "Utf=-Dname=Jos\xC3\xA9\nLegacy=Jos\xE9\n";
    std::ofstream(bom, std::ios::binary) << "\xEF\xBB\xBF[Application Configuration]\nJvmOptions=-Dname=Jos\xC3\xA9\n";
    const std::string wide[] = {::testing::TempDir() + "varnlet-le.ini", ::testing::TempDir() + "varnlet-be.ini"};
    for (int big = 0; big < 2; ++big) {  // UTF-16 of either byte order, with its mark
        std::string units = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : std::string("[Application Configuration]\nJvmOptions=-Dname=Jos\xE9\n")) units += {big ? '\0' : c, big ? c : '\0'};
        std::ofstream(wide[big], std::ios::binary) << units;
    }
    const struct { std::string file; const char *key, *value; uint32_t size; } rows[] = {
        {plain, "JvmOptions", "-Xmx1g -Dx=\"a b\"", 1024}, {plain, "AppOptions", "one two", 1024},
        {plain, "Empty", "", 1024}, {plain, "Missing", "dflt", 1024}, {plain, "JvmOptions", "-Xm", 4},
        {plain, "Utf", "-Dname=Jos\xC3\xA9", 1024}, {plain, "Legacy", "Jos\xC3\xA9", 1024},
        {bom, "JvmOptions", "-Dname=Jos\xC3\xA9", 1024}, {"/nonexistent/x.ini", "JvmOptions", "dflt", 1024},
        {wide[0], "JvmOptions", "-Dname=Jos\xC3\xA9", 1024}, {wide[1], "JvmOptions", "-Dname=Jos\xC3\xA9", 1024}};
    for (const auto& row : rows) {
        char buffer[1024];
        uint32_t n = defaultPlatformOps().files.readProfileString("Application Configuration", row.key, "dflt", buffer,
                                                            row.size, row.file.c_str());
        EXPECT_EQ(std::string(buffer, n), row.value) << row.key;
        EXPECT_EQ(n, strlen(buffer));
    }
    std::remove(plain.c_str());
    for (const std::string& file : {bom, wide[0], wide[1]}) std::remove(file.c_str());
}

// errno values keep their own meaning and text (18 is a cross-device link here, whatever it
// means on Windows); the service manager's own errors never pass through errno.
TEST(PosixErrors, KindsAndTheSystemsOwnWords) {
    const PlatformOps& ops = defaultPlatformOps();
    const struct { SystemError set; ErrorKind kind; const char* text; } rows[] = {
        {{ErrorKind::Other, ENOENT}, ErrorKind::NotFound, "No such file or directory.\n"},
        {{ErrorKind::Other, EXDEV}, ErrorKind::Other, "Invalid cross-device link.\n"},
        {{ErrorKind::Other, EROFS}, ErrorKind::AccessDenied, "Read-only file system.\n"},
        {ops.errors.ofKind(ErrorKind::NameTooLong), ErrorKind::NameTooLong, "File name too long.\n"},
        {ops.errors.ofKind(ErrorKind::InvalidAccount), ErrorKind::InvalidAccount,
         "The account name is invalid or does not exist (no such user or group).\n"},
        {ops.errors.ofKind(ErrorKind::ServiceMissing), ErrorKind::ServiceMissing,
         "The specified service does not exist as an installed service.\n"},
    };
    for (const auto& row : rows) {
        ops.errors.set(row.set);
        SystemError e = ops.errors.last();
        char text[256] = "";
        EXPECT_EQ(e.kind, row.kind) << row.text;
        EXPECT_TRUE(ops.errors.text(e, text, sizeof text)) << row.text;
        EXPECT_STREQ(text, row.text);
        EXPECT_EQ(errno, e.code < 0x20000000u ? static_cast<int>(e.code) : 0) << row.text;  // errno holds errno values only
    }
    // A system call failing after one of the manager's errors is the last error now.
    errno = EACCES;
    EXPECT_EQ(ops.errors.last().kind, ErrorKind::AccessDenied);
}

}  // namespace
