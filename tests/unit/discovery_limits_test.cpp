// Registry string reads and the length limits: nothing too long is ever truncated and used.
#include <string>

#include "discovery_fixture.h"
#include "jvm/next_token.h"

namespace {

TEST_F(DiscoveryTest, ReadRegistryStringResults) {
    const std::string key = "Software\\Test";
    registry.setString(key, "Plain", "C:\\java");
    registry.setString(key, "Expand", "%ProgramFiles%\\Java", kRegExpandSz);
    FakeRegistryValue number;
    number.type = kRegDword;
    number.data = "abc";
    registry.setValue(key, "Number", number);
    char buffer[32];
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Plain", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "C:\\java");
    // Environment references in an expandable string are left as they are.
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Expand", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "%ProgramFiles%\\Java");
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Number", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Missing", buffer, sizeof buffer), 1);
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, "Software\\Nothing", "Plain", buffer, sizeof buffer), -1);
    EXPECT_EQ(registry.openCount, 0);
}

TEST_F(DiscoveryTest, ReadRegistryStringNeverReturnsAnUnterminatedOrCutValue) {
    const std::string key = "Software\\Test";
    FakeRegistryValue bare;
    bare.data = "0123456789";
    bare.terminated = false;
    registry.setValue(key, "Bare", bare);
    registry.setString(key, "Long", "0123456789");
    char buffer[11];
    // Stored without a terminator but with room for one: terminated here.
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Bare", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "0123456789");
    // Ten characters fill a ten-byte buffer with no room for the terminator: refused.
    char small[10];
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Bare", small, sizeof small), 1);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(readRegistryString(RegistryRoot::LocalMachine, key.c_str(), "Long", small, sizeof small), 1);
    EXPECT_STREQ(small, "");
}

TEST_F(DiscoveryTest, OverlongConfiguredEntryIsSkippedNotCut) {
    std::string longEntry = "C:\\" + std::string(kPathBufferSize, 'a') + "\\jvm.dll";
    files.addFile(longEntry);
    files.addFile("C:\\ok\\jvm.dll");
    std::free(Config.JvmPath);
    Config.JvmPath = strdup((longEntry + ";C:\\ok\\jvm.dll").c_str());
    EXPECT_EQ(locate(), "C:\\ok\\jvm.dll");
}

TEST_F(DiscoveryTest, PathOfExactlyTheBufferSizeIsRefused) {
    std::string entry(kPathBufferSize, 'b');   // 260 characters
    std::string fits(kPathBufferSize - 1, 'c');  // 259 characters
    files.addFile(entry);
    files.addFile(fits);
    std::free(Config.JvmPath);
    Config.JvmPath = strdup((entry + ";" + fits).c_str());
    EXPECT_EQ(locate(), fits);
}

TEST_F(DiscoveryTest, OverlongRuntimeLibFallsBackToTheHomeCandidates) {
    std::string longLib = "C:\\" + std::string(kPathBufferSize + 40, 'r') + "\\jvm.dll";
    files.addFile(longLib);
    files.addFile("C:\\jdk\\jre\\bin\\server\\jvm.dll");
    addVersion(kJdkKey, "1.8", "C:\\jdk", longLib);
    EXPECT_EQ(locate(), "C:\\jdk\\jre\\bin\\server\\jvm.dll");
}

TEST_F(DiscoveryTest, HomeJoinedWithACandidateTooLongIsSkipped) {
    // The home + "\jre\bin\client\jvm.dll" does not fit the buffer; "\bin\server\jvm.dll" just does.
    std::string home = "C:\\" + std::string(kPathBufferSize - 23, 'h');
    files.addFile(home + "\\jre\\bin\\client\\jvm.dll");
    files.addFile(home + "\\bin\\server\\jvm.dll");
    addVersion(kJdkKey, "1.8", home);
    std::string chosen = locate();
    EXPECT_EQ(chosen, home + "\\bin\\server\\jvm.dll");
    EXPECT_LT(chosen.size(), kPathBufferSize);
}

TEST_F(DiscoveryTest, HomeThatDoesNotFitIsNotRecorded) {
    std::string home = "C:\\" + std::string(kPathBufferSize + 10, 'h');
    addVersion(kJdkKey, "1.8", home);
    files.addFile(home + "\\jre\\bin\\client\\jvm.dll");
    EXPECT_EQ(locate(), "<none>");
    EXPECT_STREQ(State.DiscoveredJavaHome, "");
}

TEST_F(DiscoveryTest, VersionKeyPathOverTheRegistryLimitIsSkipped) {
    // The parent key and the version together exceed 255 characters.
    std::string version = "1.8" + std::string(240, 'x');
    files.addFile("C:\\long\\jvm.dll");
    files.addFile("C:\\short\\jvm.dll");
    addVersion(kJreKey, version, "C:\\long", "C:\\long\\jvm.dll");
    addVersion(kJreKey, "1.7", "C:\\short", "C:\\short\\jvm.dll");
    EXPECT_EQ(locate(), "C:\\short\\jvm.dll");
    char keyPath[kRegistryPathSize];
    std::strcpy(keyPath, kJreKey);
    char buffer[kPathBufferSize];
    EXPECT_FALSE(tryRuntimeVersion(keyPath, version.c_str(), buffer, sizeof buffer));
    EXPECT_STREQ(keyPath, kJreKey);
}

TEST(NextToken, SplitsInPlaceWithACallerHeldCursor) {
    char text[] = ";;a;bb;;c;";
    char* cursor = nullptr;
    EXPECT_STREQ(nextToken(text, ";", &cursor), "a");
    EXPECT_STREQ(nextToken(text, ";", &cursor), "bb");
    EXPECT_STREQ(nextToken(text, ";", &cursor), "c");
    EXPECT_EQ(nextToken(text, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
    // Every separator that ended a token is now a terminator.
    EXPECT_EQ(std::memcmp(text, ";;a\0bb\0;c\0", 11), 0);
}

TEST(NextToken, SeparatorsMayChangeBetweenCalls) {
    char text[] = "a\r\nb;c\nd";
    char* cursor = nullptr;
    EXPECT_STREQ(nextToken(text, ";\r\n", &cursor), "a");
    EXPECT_STREQ(nextToken(text, ";", &cursor), "\nb");
    EXPECT_STREQ(nextToken(text, ";", &cursor), "c\nd");
    EXPECT_EQ(nextToken(text, ";", &cursor), nullptr);
}

TEST(NextToken, EmptyNullAndSeparatorOnlyTexts) {
    char* cursor = reinterpret_cast<char*>(1);
    EXPECT_EQ(nextToken(nullptr, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
    char empty[] = "";
    EXPECT_EQ(nextToken(empty, ";", &cursor), nullptr);
    char only[] = ";;;";
    cursor = nullptr;
    EXPECT_EQ(nextToken(only, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
    char word[] = "abc";
    cursor = nullptr;
    EXPECT_STREQ(nextToken(word, ";", &cursor), "abc");
    EXPECT_EQ(nextToken(word, ";", &cursor), nullptr);
}

}  // namespace
