// Runtimes found without the registry: the release-file version and the order of sources
// (JAVA_HOME, the java on PATH, the standard folder), on real files in a temporary tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/config.h"
#include "core/state.h"
#include "fakes/fake_platform.h"
#include "jvm/discovery.h"
#include "jvm/installed_runtimes.h"

TEST(ReleaseFile, VersionLine) {
    struct Row { std::string text; size_t size; const char* version; } rows[] = {
        {"JAVA_VERSION=\"17.0.9\"\n", 64, "17.0.9"},
        {"IMPLEMENTOR=\"x\"\r\nJAVA_RUNTIME_VERSION=\"8\"\r\nJAVA_VERSION=\"1.8.0_392\"\r\n", 64, "1.8.0_392"},
        {"JAVA_RUNTIME_VERSION=\"17+35\"\n X_JAVA_VERSION=\"9\"\nJAVA_VERSION=\"\"\n", 64, nullptr},
        {"JAVA_VERSION=\"17\n", 64, nullptr},
        {"JAVA_VERSION=\"17.0.10\"\n", 7, nullptr},  // does not fit: not cut
        {"JAVA_VERSION=\"17.0.10\"\n", 8, "17.0.10"},
        {"JAVA_VERSION=\"21\"", 15, nullptr},  // the text ends where its length says
    };
    for (const Row& row : rows) {
        char version[64] = "";
        EXPECT_EQ(parseReleaseVersion(row.text.data(), row.size == 15 ? 15 : row.text.size(), version, row.size),
                  row.version != nullptr) << row.text;
        EXPECT_STREQ(version, row.version ? row.version : "") << row.text;
    }
}

void writeFile(const std::string& path, const std::string& content) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0755);
    std::ofstream(path, std::ios::binary) << content;
}

// One Linux machine: runtimes under opt/ and the standard folder jvm/, usr/bin/java a link
// into java-11, a 32-bit runtime, one without a release file, a Java 8 layout. Each row:
// what is chosen, and the home recorded for %JAVA_HOME%.
TEST(InstalledRuntimes, OrderOfSources) {
    char pattern[] = "/tmp/varnlet-runtimes-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    auto library = [&](const std::string& path, char elfClass, char machine) {
        writeFile(root + path, std::string("\x7f" "ELF") + elfClass + std::string(13, '\1') + machine + '\0');
    };
    for (const char* home : {"/opt/jdk17:17.0.9", "/opt/jdk17-x86:17.0.9", "/jvm/java-11:11.0.21", "/jvm/java-21:21.0.1",
                             "/jvm/plain:"}) {
        std::string name(home, std::strchr(home, ':')), version(std::strchr(home, ':') + 1);
        bool x86 = name.back() == '6';
        library(name + "/lib/server/libjvm.so", x86 ? 1 : 2, x86 ? 3 : 62);
        if (!version.empty()) writeFile(root + name + "/release", "JAVA_VERSION=\"" + version + "\"\n");
    }
    library("/opt/java8/jre/lib/amd64/server/libjvm.so", 2, 62);
    library("/cfg/libjvm.so", 2, 62);
    writeFile(root + "/jvm/java-11/bin/java", "");
    mkdir((root + "/usr").c_str(), 0755);
    mkdir((root + "/usr/bin").c_str(), 0755);
    ASSERT_EQ(symlink((root + "/jvm/java-11/bin/java").c_str(), (root + "/usr/bin/java").c_str()), 0);

    // "@" stands for the temporary tree.
    struct Row { const char *javaHome, *path, *minimum, *jvmPath, *library, *home; } rows[] = {
        {"@/opt/jdk17", "@/usr/bin", "0x00010003", "", "@/opt/jdk17/lib/server/libjvm.so", "@/opt/jdk17"},
        {"", "/no/such:@/usr/bin", "0x00010003", "", "@/jvm/java-11/lib/server/libjvm.so", "@/jvm/java-11"},
        {"", "", "0x00010003", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/opt/jdk17", "@/usr/bin", "0x00150000", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/opt/jdk17-x86", "", "0x00010003", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/jvm/plain", "", "0x00010003", "", "@/jvm/java-21/lib/server/libjvm.so", "@/jvm/java-21"},
        {"@/jvm/plain", "", "0x0", "", "@/jvm/plain/lib/server/libjvm.so", "@/jvm/plain"},
        {"@/opt/java8", "", "0x0", "", "@/opt/java8/jre/lib/amd64/server/libjvm.so", "@/opt/java8"},
        {"@/opt/jdk17", "@/usr/bin", "0x00010003", "@/cfg/libjvm.so", "@/cfg/libjvm.so", ""},
        {"@/opt/jdk17", "@/usr/bin", "0x00160000", "", "<none>", ""},
    };
    auto rooted = [&](std::string text) {
        for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, root);
        return text;
    };
    for (const Row& row : rows) {
        FakePlatform platform(false);
        const std::string folder = root + "/jvm";
        Platform.standardRuntimeFolder = folder.c_str();
        Platform.canOpenForReading = defaultPlatformOps().canOpenForReading;
        platform.world().environment = {{"JAVA_HOME", rooted(row.javaHome)}, {"PATH", rooted(row.path)}};
        Config.MinJavaVersion = strdup(row.minimum);
        Config.JvmPath = strdup(rooted(row.jvmPath).c_str());
        char buffer[kPathBufferSize] = "";
        EXPECT_EQ(locateJvm(buffer) ? buffer : "<none>", rooted(row.library)) << row.javaHome << " " << row.minimum;
        EXPECT_EQ(State.DiscoveredJavaHome, rooted(row.home)) << row.javaHome << " " << row.minimum;
    }
    EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0);
}
