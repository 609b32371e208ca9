// The keys and layouts of Java 9 and later installers, searched after the classic keys,
// and the library candidates of the layout without a "jre" directory.
#include "discovery_fixture.h"

namespace {

constexpr const char* kOracleJdk = "Software\\JavaSoft\\JDK";
constexpr const char* kOracleJre = "Software\\JavaSoft\\JRE";
constexpr const char* kAdoptiumJdk = "Software\\Eclipse Adoptium\\JDK";
constexpr const char* kAdoptiumJre = "Software\\Eclipse Adoptium\\JRE";

struct CurrentKeysTest : DiscoveryTest {
    void addMsi(const std::string& key, const std::string& version, const std::string& vm, const std::string& home) {
        registry.setString(key + "\\" + version + "\\" + vm + "\\MSI", "Path", home);
    }
    void addZulu(const std::string& name, const std::string& home) {
        registry.setString("Software\\Azul Systems\\Zulu\\" + name, "InstallationPath", home);
    }
};

TEST_F(CurrentKeysTest, OracleJdk17LayoutWithCurrentVersion) {
    registry.setString(kOracleJdk, "CurrentVersion", "17");
    addVersion(kOracleJdk, "17", "C:\\Program Files\\Java\\jdk-17",
               "C:\\Program Files\\Java\\jdk-17\\bin\\server\\jvm.dll");
    addVersion(kOracleJdk, "17.0.9", "C:\\Program Files\\Java\\jdk-17",
               "C:\\Program Files\\Java\\jdk-17\\bin\\server\\jvm.dll");
    files.addFile("C:\\Program Files\\Java\\jdk-17\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "C:\\Program Files\\Java\\jdk-17\\bin\\server\\jvm.dll");
    EXPECT_STREQ(State.DiscoveredJavaHome, "C:\\Program Files\\Java\\jdk-17");
}

TEST_F(CurrentKeysTest, AdoptiumMsiPathWithItsTrailingSeparator) {
    addMsi(kAdoptiumJdk, "21.0.1.12", "hotspot", "C:\\Program Files\\Eclipse Adoptium\\jdk-21.0.1.12-hotspot\\");
    files.addFile("C:\\Program Files\\Eclipse Adoptium\\jdk-21.0.1.12-hotspot\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "C:\\Program Files\\Eclipse Adoptium\\jdk-21.0.1.12-hotspot\\bin\\server\\jvm.dll");
    EXPECT_STREQ(State.DiscoveredJavaHome, "C:\\Program Files\\Eclipse Adoptium\\jdk-21.0.1.12-hotspot");
}

TEST_F(CurrentKeysTest, OtherVendorLayouts) {
    struct Case {
        const char* key;
        const char* version;
        const char* vm;
    } cases[] = {
        {"Software\\AdoptOpenJDK\\JDK", "11.0.10.9", "hotspot"},
        {"Software\\Eclipse Foundation\\JDK", "17.0.1.12", "hotspot"},
        {"Software\\Microsoft\\JDK", "17.0.8.7", "hotspot"},
        {"Software\\Semeru\\JRE", "17.0.7.7", "openj9"},
    };
    for (const Case& c : cases) {
        registry.keys.clear();
        std::string home = std::string("C:\\vendor\\") + c.version;
        addMsi(c.key, c.version, c.vm, home);
        files.addFile(home + "\\bin\\server\\jvm.dll");
        EXPECT_EQ(locate(), home + "\\bin\\server\\jvm.dll") << c.key;
    }
}

TEST_F(CurrentKeysTest, ZuluKeysAreClassifiedByTheirName) {
    addZulu("zulu-17", "C:\\Program Files\\Zulu\\zulu-17");
    addZulu("zulu-8-jre", "C:\\Program Files\\Zulu\\zulu-8-jre");
    files.addFile("C:\\Program Files\\Zulu\\zulu-17\\bin\\server\\jvm.dll");
    files.addFile("C:\\Program Files\\Zulu\\zulu-8-jre\\bin\\server\\jvm.dll");
    Config.JavaSearchMode = 2;  // runtimes only
    EXPECT_EQ(locate(), "C:\\Program Files\\Zulu\\zulu-8-jre\\bin\\server\\jvm.dll");
    Config.JavaSearchMode = 3;  // development kits only
    EXPECT_EQ(locate(), "C:\\Program Files\\Zulu\\zulu-17\\bin\\server\\jvm.dll");
}

TEST_F(CurrentKeysTest, ClassicKeysComeFirstWhateverTheVersion) {
    addVersion(kJreKey, "1.8", "C:\\jre8", "C:\\jre8\\bin\\client\\jvm.dll");
    files.addFile("C:\\jre8\\bin\\client\\jvm.dll");
    addMsi(kAdoptiumJre, "21.0.1.12", "hotspot", "C:\\jre21");
    files.addFile("C:\\jre21\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "C:\\jre8\\bin\\client\\jvm.dll");
    // Development kits first: the classic development kit keys are empty, so the classic
    // runtime still comes before any current key.
    Config.JavaSearchMode = 1;
    EXPECT_EQ(locate(), "C:\\jre8\\bin\\client\\jvm.dll");
}

TEST_F(CurrentKeysTest, ModeSelectsAndOrdersTheCurrentKeys) {
    registry.setString(kOracleJre, "CurrentVersion", "21");
    addVersion(kOracleJre, "21", "C:\\jre21");
    files.addFile("C:\\jre21\\bin\\server\\jvm.dll");
    addMsi(kAdoptiumJdk, "17.0.9.9", "hotspot", "C:\\jdk17");
    files.addFile("C:\\jdk17\\bin\\server\\jvm.dll");
    Config.JavaSearchMode = 0;
    EXPECT_EQ(locate(), "C:\\jre21\\bin\\server\\jvm.dll");
    Config.JavaSearchMode = 1;
    EXPECT_EQ(locate(), "C:\\jdk17\\bin\\server\\jvm.dll");
    Config.JavaSearchMode = 7;
    EXPECT_EQ(locate(), "C:\\jdk17\\bin\\server\\jvm.dll");
    Config.JavaSearchMode = 6;
    EXPECT_EQ(locate(), "C:\\jre21\\bin\\server\\jvm.dll");
}

TEST_F(CurrentKeysTest, VendorVersionsFaceTheSameMinimum) {
    std::free(Config.MinJavaVersion);
    Config.MinJavaVersion = strdup("0x00110000");  // 17
    addMsi(kAdoptiumJdk, "11.0.21.9", "hotspot", "C:\\jdk11");
    addMsi(kAdoptiumJdk, "21.0.1.12", "hotspot", "C:\\jdk21");
    files.addFile("C:\\jdk11\\bin\\server\\jvm.dll");
    files.addFile("C:\\jdk21\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "C:\\jdk21\\bin\\server\\jvm.dll");
}

TEST_F(CurrentKeysTest, OpenJ9IsTriedWhenHotspotHasNoLibrary) {
    addMsi(kAdoptiumJdk, "17.0.9.9", "hotspot", "C:\\empty");
    addMsi(kAdoptiumJdk, "17.0.9.9", "openj9", "C:\\j9");
    files.addFile("C:\\j9\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "C:\\j9\\bin\\server\\jvm.dll");
}

TEST_F(CurrentKeysTest, NewLayoutCandidatesComeAfterTheJreOnes) {
    addVersion(kJdkKey, "1.8", "H");
    files.addFile("H\\bin\\client\\jvm.dll");
    EXPECT_EQ(locate(), "H\\bin\\client\\jvm.dll");
    files.addFile("H\\bin\\server\\jvm.dll");
    EXPECT_EQ(locate(), "H\\bin\\server\\jvm.dll");
    files.addFile("H\\jre\\bin\\classic\\jvm.dll");
    EXPECT_EQ(locate(), "H\\jre\\bin\\classic\\jvm.dll");
}

struct PosixLayoutTest : DiscoveryTest {
    PosixLayoutTest() : DiscoveryTest(false) {}
};

TEST_F(PosixLayoutTest, LinuxJdkLayouts) {
    addVersion(kJdkKey, "17", "/opt/jdk-17");
    files.addFile("/opt/jdk-17/lib/server/libjvm.so");
    EXPECT_EQ(locate(), "/opt/jdk-17/lib/server/libjvm.so");
    files.addFile("/opt/jdk-17/jre/lib/amd64/server/libjvm.so");
    EXPECT_EQ(locate(), "/opt/jdk-17/jre/lib/amd64/server/libjvm.so");
}

}  // namespace
