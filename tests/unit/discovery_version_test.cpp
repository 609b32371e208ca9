// The version check as (major, minor) pairs, the minimum's bits, and names or minimums that
// do not parse.
#include "discovery_fixture.h"
#include "jvm/java_version.h"

namespace {

struct VersionRow {
    const char* minimum;
    const char* version;
    bool passes;
};

// Readable test names in ctest instead of the row's bytes.
void PrintTo(const VersionRow& row, std::ostream* out) {
    *out << row.version << (row.passes ? " passes " : " fails ") << row.minimum;
}

class VersionCheck : public DiscoveryTest, public ::testing::WithParamInterface<VersionRow> {};

// Runs the check the way the search does: a version key with a library that exists, so
// the result is decided by the check alone.
TEST_P(VersionCheck, AgainstTheMinimum) {
    std::free(Config.MinJavaVersion);
    Config.MinJavaVersion = strdup(GetParam().minimum);
    files.addFile("C:\\rt\\jvm.dll");
    addVersion(kJreKey, GetParam().version, "C:\\rt", "C:\\rt\\jvm.dll");
    char keyPath[kRegistryPathSize];
    std::strcpy(keyPath, kJreKey);
    char buffer[kPathBufferSize];
    EXPECT_EQ(tryRuntimeVersion(keyPath, GetParam().version, buffer, sizeof buffer), GetParam().passes)
        << GetParam().version << " against " << GetParam().minimum;
    if (GetParam().passes) {
        EXPECT_STREQ(buffer, "C:\\rt\\jvm.dll");
    }
}

const VersionRow kVersions[] = {
    {"0x00010003", "1.4.2_05", true},
    {"0x00010003", "1.3", true},
    {"0x00010003", "1.2", false},
    {"0x00010003", "2.0", false},
    {"0x00010003", "11.0.2", true},
    {"0x00010003", "17", true},
    {"0x00010003", "21.0.1", true},
    {"0x00010003", "1.10", true},
    {"0x00010003", "1", false},
    {"0x00010003", "2", false},
    {"0x00010003", "0.9", false},
    // A name that does not start with a number is not a version.
    {"0x00010003", "abc", false},
    {"0x00010003", ".8", false},
    {"0x00010003", "v1.8", false},
    {"0x00010003", "12345678901", false},
    // Bits 4 to 15 play no part.
    {"0x00010FF3", "1.3", true},
    {"0x00010FF3", "1.2", false},
    {"0x0001FFF3", "1.4", true},
    {"10003", "1.3", true},
    // Newer majors against a newer minimum.
    {"0x000B0000", "1.8.0_202", false},
    {"0x000B0000", "11", true},
    {"0x00110000", "11.0.2", false},
    {"0x00110000", "21", true},
    // Java 8 written either way, against classic and vendor names ("1.x" is Java x).
    {"0x00010008", "1.8.0_202", true}, {"0x00080000", "1.8.0_202", true}, {"0x00010008", "8.0.392.8", true},
    {"0x00080000", "8.0.392.8", true}, {"0x00010008", "1.7.0_80", false}, {"0x00080000", "1.7.0_80", false},
    {"0x00080000", "1.4.2_05", false}, {"0x00080000", "11.0.2", true}, {"0x00080000", "2.0", false},
    // A minimum that does not parse is no minimum.
    {"zz", "1.8", true},
    {"", "21", true},
};

INSTANTIATE_TEST_SUITE_P(Rows, VersionCheck, ::testing::ValuesIn(kVersions));

TEST(JavaVersionParse, LeadingNumbers) {
    JavaVersion v{};
    ASSERT_TRUE(parseJavaVersion("1.8.0_202", &v));
    EXPECT_EQ(v.major, 8u);
    EXPECT_EQ(v.minor, 0u);
    ASSERT_TRUE(parseJavaVersion("11.0.2", &v));
    EXPECT_EQ(v.major, 11u);
    EXPECT_EQ(v.minor, 0u);
    ASSERT_TRUE(parseJavaVersion("17", &v));
    EXPECT_EQ(v.major, 17u);
    EXPECT_EQ(v.minor, 0u);
    ASSERT_TRUE(parseJavaVersion("9-ea", &v));
    EXPECT_EQ(v.major, 9u);
    EXPECT_FALSE(parseJavaVersion("", &v));
    EXPECT_FALSE(parseJavaVersion(nullptr, &v));
}

TEST(JavaVersionParse, VendorNames) {
    JavaVersion v{};
    ASSERT_TRUE(parseVendorJavaVersion("17.0.9.9", &v));
    EXPECT_EQ(v.major, 17u);
    ASSERT_TRUE(parseVendorJavaVersion("1.8.0.212", &v));
    EXPECT_EQ(v.major, 8u);
    ASSERT_TRUE(parseVendorJavaVersion("1.8.0_212", &v));
    EXPECT_EQ(v.major, 8u);
    ASSERT_TRUE(parseVendorJavaVersion("zulu-17", &v));
    EXPECT_EQ(v.major, 17u);
    ASSERT_TRUE(parseVendorJavaVersion("Zulu-8-jre", &v));
    EXPECT_EQ(v.major, 8u);
    EXPECT_FALSE(parseVendorJavaVersion("zulu-", &v));
    EXPECT_FALSE(parseVendorJavaVersion("hotspot", &v));
}

}  // namespace
