// The runtime search: JavaSearchMode's key order and source order, CurrentVersion before
// the enumerated subkeys, RuntimeLib, DiscoveredJavaHome and the in-place JvmPath split.
#include <algorithm>
#include <vector>

#include "discovery_fixture.h"

namespace {

struct ModeRow {
    int32_t mode;
    std::vector<const char*> classicKeys;
    bool registryFirst;
};

class SearchModes : public DiscoveryTest, public ::testing::WithParamInterface<ModeRow> {};

// The keys opened, in order, with repeats of the same key folded.
std::vector<std::string> keyOrder(const std::vector<std::string>& opened) {
    std::vector<std::string> keys;
    for (const std::string& k : opened)
        if (keys.empty() || keys.back() != k) keys.push_back(k);
    return keys;
}

TEST_P(SearchModes, SearchesTheSelectedKeysInOrder) {
    Config.JavaSearchMode = GetParam().mode;
    char buffer[kPathBufferSize];
    EXPECT_FALSE(findRegistryJvm(buffer, sizeof buffer));
    std::vector<std::string> keys = keyOrder(registry.opened);
    ASSERT_GE(keys.size(), GetParam().classicKeys.size());
    for (size_t i = 0; i < GetParam().classicKeys.size(); ++i) EXPECT_EQ(keys[i], GetParam().classicKeys[i]) << i;
    // The current installers' keys follow, never one of the classic four again.
    for (size_t i = GetParam().classicKeys.size(); i < keys.size(); ++i) {
        EXPECT_NE(keys[i], kJreKey);
        EXPECT_NE(keys[i], kJdkKey);
    }
    EXPECT_EQ(registry.openCount, 0);
}

TEST_P(SearchModes, ConfiguredListBeforeOrAfterTheRegistry) {
    Config.JavaSearchMode = GetParam().mode;
    files.addFile("C:\\cfg\\jvm.dll");
    std::free(Config.JvmPath);
    Config.JvmPath = strdup("C:\\cfg\\jvm.dll");
    // One runtime under every classic key, so every selection finds one.
    for (const char* key : {kJreKey, kIbmJreKey, kJdkKey, kIbmJdkKey}) {
        std::string lib = std::string("C:\\rt\\") + key + "\\jvm.dll";
        files.addFile(lib);
        addVersion(key, "1.8", "C:\\home", lib);
    }
    std::string chosen = locate();
    if (GetParam().registryFirst) {
        EXPECT_EQ(chosen, std::string("C:\\rt\\") + GetParam().classicKeys[0] + "\\jvm.dll");
        EXPECT_STREQ(State.DiscoveredJavaHome, "C:\\home");
    } else {
        EXPECT_EQ(chosen, "C:\\cfg\\jvm.dll");
        EXPECT_TRUE(registry.opened.empty());
        EXPECT_STREQ(State.DiscoveredJavaHome, "");
    }
}

const ModeRow kModes[] = {
    {0, {kJreKey, kIbmJreKey, kJdkKey, kIbmJdkKey}, false},
    {1, {kJdkKey, kIbmJdkKey, kJreKey, kIbmJreKey}, false},
    {2, {kJreKey, kIbmJreKey}, false},
    {3, {kJdkKey, kIbmJdkKey}, false},
    {4, {kJreKey, kIbmJreKey, kJdkKey, kIbmJdkKey}, true},
    {5, {kJdkKey, kIbmJdkKey, kJreKey, kIbmJreKey}, true},
    {6, {kJreKey, kIbmJreKey}, true},
    {7, {kJdkKey, kIbmJdkKey}, true},
    {8, {kJreKey, kIbmJreKey, kJdkKey, kIbmJdkKey}, true},
    {-1, {kJreKey, kIbmJreKey, kJdkKey, kIbmJdkKey}, false},
};

INSTANTIATE_TEST_SUITE_P(Modes, SearchModes, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<ModeRow>& row) {
                             return row.param.mode < 0 ? std::string("Minus1") : std::to_string(row.param.mode);
                         });

TEST_F(DiscoveryTest, RuntimesOnlyNeverTouchesDevelopmentKits) {
    Config.JavaSearchMode = 2;
    files.addFile("C:\\jdk\\jre\\bin\\client\\jvm.dll");
    addVersion(kJdkKey, "1.8", "C:\\jdk");
    EXPECT_EQ(locate(), "<none>");
    EXPECT_EQ(std::count(registry.opened.begin(), registry.opened.end(), std::string(kJdkKey)), 0);
}

TEST_F(DiscoveryTest, CurrentVersionIsTriedBeforeTheSubkeys) {
    files.addFile("C:\\j16\\jvm.dll");
    files.addFile("C:\\j18\\jvm.dll");
    addVersion(kJreKey, "1.6", "C:\\j16", "C:\\j16\\jvm.dll");
    addVersion(kJreKey, "1.8", "C:\\j18", "C:\\j18\\jvm.dll");
    registry.setString(kJreKey, "CurrentVersion", "1.8");
    EXPECT_EQ(locate(), "C:\\j18\\jvm.dll");
}

TEST_F(DiscoveryTest, CurrentVersionBelowMinimumFallsToFirstAcceptableSubkey) {
    files.addFile("C:\\j12\\jvm.dll");
    files.addFile("C:\\j17\\jvm.dll");
    files.addFile("C:\\j16\\jvm.dll");
    addVersion(kJreKey, "1.2", "C:\\j12", "C:\\j12\\jvm.dll");
    addVersion(kJreKey, "1.7", "C:\\j17", "C:\\j17\\jvm.dll");
    addVersion(kJreKey, "1.6", "C:\\j16", "C:\\j16\\jvm.dll");
    registry.setString(kJreKey, "CurrentVersion", "1.2");
    EXPECT_EQ(locate(), "C:\\j17\\jvm.dll");
}

TEST_F(DiscoveryTest, RuntimeLibNamingAMissingFileRejectsTheVersion) {
    files.addFile("C:\\jdk\\jre\\bin\\client\\jvm.dll");
    addVersion(kJreKey, "1.8", "C:\\jdk", "C:\\gone\\jvm.dll");
    EXPECT_EQ(locate(), "<none>");
    // The home still records the version that passed the check.
    EXPECT_STREQ(State.DiscoveredJavaHome, "C:\\jdk");
}

TEST_F(DiscoveryTest, DevelopmentKitWithoutRuntimeLibUsesTheFixedCandidatesInOrder) {
    addVersion(kJdkKey, "1.6", "H");
    files.addFile("H\\jre\\bin\\classic\\jvm.dll");
    EXPECT_EQ(locate(), "H\\jre\\bin\\classic\\jvm.dll");
    files.addFile("H\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "H\\jre\\bin\\server\\jvm.dll");
    files.addFile("H\\jre\\bin\\client\\jvm.dll");
    EXPECT_EQ(locate(), "H\\jre\\bin\\client\\jvm.dll");
}

TEST_F(DiscoveryTest, DiscoveredJavaHomeKeepsTheLastVersionThatPassed) {
    Config.JavaSearchMode = 4;
    std::free(Config.JvmPath);
    Config.JvmPath = strdup("C:\\cfg\\jvm.dll");
    files.addFile("C:\\cfg\\jvm.dll");
    addVersion(kJreKey, "1.8", "C:\\passed-no-library");
    addVersion(kJreKey, "1.2", "C:\\too-old");
    // The library finally comes from the configured list, the home from the registry.
    EXPECT_EQ(locate(), "C:\\cfg\\jvm.dll");
    EXPECT_STREQ(State.DiscoveredJavaHome, "C:\\passed-no-library");
}

TEST_F(DiscoveryTest, DiscoveredJavaHomeStaysEmptyWhenNoVersionPasses) {
    addVersion(kJreKey, "1.2", "C:\\too-old");
    EXPECT_EQ(locate(), "<none>");
    EXPECT_STREQ(State.DiscoveredJavaHome, "");
}

TEST_F(DiscoveryTest, FailedConfiguredSearchLeavesOnlyTheFirstEntryForTheHome) {
    std::free(Config.JvmPath);
    Config.JvmPath = strdup("lib\\jvm.dll;other\\jvm.dll");
    addVersion(kJdkKey, "1.8", "H");
    files.addFile("H\\lib\\jvm.dll");
    files.addFile("H\\jre\\bin\\client\\jvm.dll");
    EXPECT_EQ(locate(), "H\\lib\\jvm.dll");
    EXPECT_STREQ(Config.JvmPath, "lib\\jvm.dll");
}

TEST_F(DiscoveryTest, RegistryFirstJoinsTheWholeConfiguredText) {
    Config.JavaSearchMode = 4;
    std::free(Config.JvmPath);
    Config.JvmPath = strdup("lib\\jvm.dll;other\\jvm.dll");
    addVersion(kJdkKey, "1.8", "H");
    files.addFile("H\\lib\\jvm.dll");
    files.addFile("H\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "H\\jre\\bin\\server\\jvm.dll");
    EXPECT_TRUE(std::find(files.readCalls.begin(), files.readCalls.end(), "H\\lib\\jvm.dll;other\\jvm.dll") !=
                files.readCalls.end());
    EXPECT_STREQ(Config.JvmPath, "lib\\jvm.dll;other\\jvm.dll");
}

TEST_F(DiscoveryTest, ConfiguredListTakesTheFirstExistingEntry) {
    std::free(Config.JvmPath);
    Config.JvmPath = strdup("a\\jvm.dll;;b\\jvm.dll;c\\jvm.dll");
    files.addFile("b\\jvm.dll");
    files.addFile("c\\jvm.dll");
    EXPECT_EQ(locate(), "b\\jvm.dll");
    EXPECT_TRUE(registry.opened.empty());
}

TEST_F(DiscoveryTest, ADirectoryIsNoLibrary) {
    std::free(Config.JvmPath);
    Config.JvmPath = strdup("C:\\dir");
    files.addDirectory("C:\\dir");
    EXPECT_EQ(locate(), "<none>");
}

TEST_F(DiscoveryTest, MissingRootKeysAreSkippedSilently) {
    EXPECT_EQ(locate(), "<none>");
    EXPECT_TRUE(platform.world().console.empty());
    EXPECT_EQ(registry.openCount, 0);
}

TEST_F(DiscoveryTest, OnlyStringValuesCount) {
    FakeRegistryValue number;
    number.type = kRegDword;
    number.data = "C:\\j\\jvm.dll";
    files.addFile("C:\\j\\jvm.dll");
    registry.setValue(std::string(kJreKey) + "\\1.8", "RuntimeLib", number);
    EXPECT_EQ(locate(), "<none>");
    registry.setString(std::string(kJreKey) + "\\1.8", "RuntimeLib", "C:\\j\\jvm.dll", kRegExpandSz);
    EXPECT_EQ(locate(), "C:\\j\\jvm.dll");
}

}  // namespace
