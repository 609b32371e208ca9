// A Java 8 minimum, written either way, against the names classic and current installers
// give their version keys.
#include "discovery_fixture.h"
#include "jvm/runtime_home.h"

namespace {

struct MinimumRow {
    const char* name;
    bool vendorName;
    bool passes;
};

const MinimumRow kJava8Rows[] = {
    {"1.8.0_202", false, true}, {"1.8", false, true},      {"1.7.0_80", false, false},
    {"1.4.2_05", false, false}, {"8.0.392.8", true, true}, {"1.8.0.212", true, true},
    {"zulu-8", true, true},     {"zulu-7", true, false},   {"11.0.2", false, true},
    {"2.0", false, false},      {"abc", false, false},
};

TEST_F(DiscoveryTest, JavaEightMinimumWrittenEitherWay) {
    for (const char* minimum : {"0x00010008", "0x00080000"}) {
        Config.MinJavaVersion = strdup(minimum);
        for (const MinimumRow& row : kJava8Rows)
            EXPECT_EQ(versionPasses(row.name, row.vendorName), row.passes) << row.name << " against " << minimum;
    }
    for (const char* none : {"", "zz"}) {
        Config.MinJavaVersion = strdup(none);
        EXPECT_TRUE(versionPasses("1.2", false)) << "minimum \"" << none << "\"";
    }
}

}  // namespace
