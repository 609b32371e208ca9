// The POSIX backend's own rules: the configuration section, the INI reader and the missing
// registry.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "core/config.h"
#include "platform/platform.h"

namespace {

TEST(PosixStrings, SectionHoldsEveryDefault) {
    const PlatformOps& ops = defaultPlatformOps();
    char buffer[1024];
    for (size_t i = 0; i < kEntryCount; ++i) {
        int n = ops.loadString(kEntries[i].id, buffer, sizeof buffer);
        EXPECT_EQ(n, static_cast<int>(strlen(kEntries[i].defaultText))) << kEntries[i].name;
        if (n > 0) {
            EXPECT_STREQ(buffer, kEntries[i].defaultText);
        }
    }
    EXPECT_EQ(ops.loadString(1025, buffer, sizeof buffer), 0);  // not an entry
    EXPECT_EQ(ops.loadString(1072, buffer, 5), 4);              // cut like LoadStringA
    EXPECT_STREQ(buffer, "vant");
}

struct IniFile : ::testing::Test {
    std::string path;
    void write(const char* content) {
        char name[] = "/tmp/varnlet-ini-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content, strlen(content)), static_cast<ssize_t>(strlen(content)));
        close(fd);
        path = name;
    }
    void TearDown() override { unlink(path.c_str()); }
    std::string read(const char* key, uint32_t size = 1024) {
        char buffer[1024];
        uint32_t n = defaultPlatformOps().readProfileString("Application Configuration", key, "", buffer, size,
                                                            path.c_str());
        EXPECT_EQ(n, strlen(buffer));
        return buffer;
    }
};

// Names match without case, values are trimmed, unquoted and cut to the buffer, the first
// key wins; a value is UTF-8 where it can be, one byte a character otherwise.
TEST_F(IniFile, NamesValuesAndEncodings) {
    write("[other]\r\nJvmOptions=wrong\r\n; comment\r\n[ application configuration ]\r\n"
          "  jvmoptions =  -Xmx1g -Dx=\"a b\"  \r\nAppOptions=\"one two\"\r\nAppOptions=second\r\nEmpty=\r\n"
          "Utf=-Dname=Jos\xC3\xA9\nLegacy=Jos\xE9\n");
    const struct {
        const char *key, *value;
        uint32_t size;
    } rows[] = {{"JvmOptions", "-Xmx1g -Dx=\"a b\"", 1024}, {"AppOptions", "one two", 1024}, {"Empty", "", 1024},
                {"Missing", "", 1024}, {"JvmOptions", "-Xm", 4}, {"Utf", "-Dname=Jos\xC3\xA9", 1024},
                {"Legacy", "Jos\xC3\xA9", 1024}};
    for (const auto& row : rows) EXPECT_EQ(read(row.key, row.size), row.value) << row.key;
}

TEST_F(IniFile, ByteOrderMarkSkippedAndMissingFileGivesTheDefault) {
    write("\xEF\xBB\xBF[Application Configuration]\nJvmOptions=-Dname=Jos\xC3\xA9\n");
    EXPECT_EQ(read("JvmOptions"), "-Dname=Jos\xC3\xA9");
    char buffer[16];
    EXPECT_EQ(defaultPlatformOps().readProfileString("S", "K", "dflt", buffer, sizeof buffer, "/nonexistent/x.ini"), 4u);
    EXPECT_STREQ(buffer, "dflt");
}

TEST(PosixRegistry, EveryKeyIsMissingAndNothingIsWritten) {
    const PlatformOps& ops = defaultPlatformOps();
    PlatformHandle key = &key;
    EXPECT_EQ(ops.regOpenKey(RegistryRoot::LocalMachine, "Software", kKeyWrite, &key), static_cast<long>(kErrorFileNotFound));
    EXPECT_EQ(key, nullptr);
    uint32_t type = 0, size = 8, nameSize = 8;
    char data[8];
    EXPECT_NE(ops.regQueryValue(nullptr, "V", &type, data, &size), 0);
    EXPECT_EQ(ops.regEnumKey(nullptr, 0, data, &nameSize), static_cast<long>(kErrorNoMoreItems));
    EXPECT_NE(ops.regCreateKey(RegistryRoot::LocalMachine, "Software\\X", kKeyAllAccess, &key), 0);
}

}  // namespace
