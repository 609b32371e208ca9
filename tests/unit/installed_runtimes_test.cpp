// Runtimes found without the registry: the release-file version, the library width check
// and the order of the sources, each as a table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/config.h"
#include "core/state.h"
#include "fakes/fake_files.h"
#include "fakes/fake_platform.h"
#include "jvm/create_jvm.h"
#include "jvm/discovery.h"
#include "jvm/installed_runtimes.h"

TEST(ReleaseFile, VersionLine) {
    struct Row { std::string text; size_t size; const char* version; } rows[] = {
        {"JAVA_VERSION=\"17.0.9\"\n", 64, "17.0.9"},
        {"IMPLEMENTOR=\"Oracle\"\r\nJAVA_RUNTIME_VERSION=\"8\"\r\nJAVA_VERSION=\"1.8.0_392\"\r\n", 64, "1.8.0_392"},
        {"JAVA_VERSION=11.0.2", 64, "11.0.2"},
        {"JAVA_RUNTIME_VERSION=\"17+35\"\n OTHER_JAVA_VERSION=\"9\"\n", 64, nullptr},
        {"JAVA_VERSION=\"\"\n", 64, nullptr},
        {"JAVA_VERSION=\"17\n", 64, nullptr},
        {"JAVA_VERSION=\"17.0.10\"\n", 7, nullptr},  // does not fit: not cut
        {"JAVA_VERSION=\"17.0.10\"\n", 8, "17.0.10"},
        {std::string("JAVA_VERSION=\"1\0\"\n", 18), 64, nullptr},
    };
    for (const Row& row : rows) {
        char version[64];
        bool found = parseReleaseVersion(row.text.data(), row.text.size(), version, row.size);
        EXPECT_EQ(found, row.version != nullptr) << row.text;
        if (found && row.version) EXPECT_STREQ(version, row.version) << row.text;
    }
    // The text ends where its length says, even inside the value.
    EXPECT_FALSE(parseReleaseVersion("JAVA_VERSION=\"21\"", 15, nullptr, 0));
}

namespace {

std::string peHeader(uint16_t machine, uint32_t at = 0x80) {
    std::string head(0x200, '\0');
    head[0] = 'M', head[1] = 'Z';
    std::memcpy(&head[0x3c], &at, 4);
    if (at + 6 <= head.size()) {
        std::memcpy(&head[at], "PE\0\0", 4);
        std::memcpy(&head[at + 4], &machine, 2);
    }
    return head;
}

std::string elfHeader(uint8_t elfClass, uint16_t machine) {
    std::string head(64, '\0');
    std::memcpy(&head[0], "\x7f" "ELF", 4);
    head[4] = static_cast<char>(elfClass), head[5] = 1;
    std::memcpy(&head[18], &machine, 2);
    return head;
}

}  // namespace

TEST(LibraryWidth, HeaderAgainstThisLauncher) {
    FakePlatform platform;
    struct Row { ModuleFormat format; uint16_t machine; std::string head; const char* why; } rows[] = {
        {ModuleFormat::Pe, 0x14c, peHeader(0x14c), ""},
        {ModuleFormat::Pe, 0x14c, peHeader(0x8664), "64-bit runtime, this launcher is 32-bit"},
        {ModuleFormat::Pe, 0x8664, peHeader(0x14c), "32-bit runtime, this launcher is 64-bit"},
        {ModuleFormat::Pe, 0x8664, peHeader(0xaa64), "runtime for another processor than this launcher's"},
        {ModuleFormat::Pe, 0x14c, peHeader(0x14c, 0x1fc), "not a library this launcher can load"},  // header past the bytes
        {ModuleFormat::Pe, 0x14c, elfHeader(2, 62), "a Linux library, this launcher runs on Windows"},
        {ModuleFormat::Elf, 62, elfHeader(2, 62), ""},
        {ModuleFormat::Elf, 62, elfHeader(1, 3), "32-bit runtime, this launcher is 64-bit"},
        {ModuleFormat::Elf, 62, peHeader(0x8664), "a Windows library, this launcher runs on Linux"},
        {ModuleFormat::Elf, 62, "#!/bin/sh\n", "not a library this launcher can load"},
    };
    for (const Row& row : rows) {
        Platform.moduleFormat = row.format;
        Platform.moduleMachine = row.machine;
        const auto* head = reinterpret_cast<const unsigned char*>(row.head.data());
        EXPECT_EQ(libraryMismatch(head, row.head.size()), row.why) << row.machine << " " << row.why;
    }
}

// One Linux machine: runtimes under /opt and /usr/lib/jvm, /usr/bin/java a link into
// java-11, a 32-bit runtime, one without a release file; each row says what is chosen.
TEST(InstalledRuntimes, OrderOfSources) {
    struct Row {
        const char* javaHome; const char* path; const char* minimum; const char* jvmPath;
        const char* library;  // null: nothing found
    } rows[] = {
        {"/opt/jdk17", "/usr/bin", "0x00010003", "", "/opt/jdk17/lib/server/libjvm.so"},
        {nullptr, "/no/such:/usr/bin", "0x00010003", "", "/usr/lib/jvm/java-11/lib/server/libjvm.so"},
        {nullptr, nullptr, "0x00010003", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/opt/jdk17", "/usr/bin", "0x00150000", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/opt/jdk17-x86", nullptr, "0x00010003", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/usr/lib/jvm/plain", nullptr, "0x00010003", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/usr/lib/jvm/plain", nullptr, "0x0", "", "/usr/lib/jvm/plain/lib/server/libjvm.so"},
        {"/opt/jdk17", "/usr/bin", "0x00010003", "/cfg/libjvm.so", "/cfg/libjvm.so"},
        {"/opt/jdk17", "/usr/bin", "0x00160000", "", nullptr},
    };
    for (const Row& row : rows) {
        FakePlatform platform(false);
        FakeFiles files;
        FakeWorld& world = platform.world();
        Platform.standardRuntimeFolder = "/usr/lib/jvm";
        Platform.moduleFormat = ModuleFormat::Elf;
        Platform.moduleMachine = 62;
        auto runtime = [&](const std::string& home, const char* version, uint8_t elfClass, uint16_t machine) {
            if (version) {
                files.addFile(home + "/release");
                world.fileContents[home + "/release"] = std::string("JAVA_VERSION=\"") + version + "\"\n";
            }
            files.addFile(home + "/lib/server/libjvm.so");
            world.fileContents[home + "/lib/server/libjvm.so"] = elfHeader(elfClass, machine);
        };
        runtime("/opt/jdk17", "17.0.9", 2, 62);
        runtime("/opt/jdk17-x86", "17.0.9", 1, 3);
        runtime("/usr/lib/jvm/java-11", "11.0.21", 2, 62);
        runtime("/usr/lib/jvm/java-21", "21.0.1", 2, 62);
        runtime("/usr/lib/jvm/java-8", "1.8.0_392", 2, 62);
        runtime("/usr/lib/jvm/plain", nullptr, 2, 62);
        files.addFile("/usr/bin/java");
        world.links["/usr/bin/java"] = "/usr/lib/jvm/java-11/bin/java";
        files.addFile("/cfg/libjvm.so");
        world.fileContents["/cfg/libjvm.so"] = elfHeader(2, 62);
        if (row.javaHome) world.environment["JAVA_HOME"] = row.javaHome;
        if (row.path) world.environment["PATH"] = row.path;
        Config.MinJavaVersion = strdup(row.minimum);
        Config.JvmPath = strdup(row.jvmPath);
        Config.ClassPath = strdup("");
        Config.JvmOptions = strdup("");
        std::string where = std::string(row.javaHome ? row.javaHome : "-") + " " + row.minimum;

        if (row.library == nullptr) {
            EXPECT_FALSE(createJvm(false)) << where;
            std::string errors;
            for (const ConsoleLine& line : world.console) errors += line.text + "\n";
            EXPECT_NE(errors.find("Java runtimes found but not used:\n"
                                  "  /opt/jdk17: Java 17.0.9 does not meet MinJavaVersion 0x00160000\n"),
                      std::string::npos) << errors;
            EXPECT_NE(errors.find("  /usr/lib/jvm/plain: no version in a release file"), std::string::npos) << errors;
            continue;
        }
        char buffer[kPathBufferSize];
        ASSERT_TRUE(locateJvm(buffer)) << where;
        EXPECT_STREQ(buffer, row.library) << where;
        std::string home = std::string(row.library).substr(0, std::string(row.library).find("/lib/server"));
        EXPECT_STREQ(State.DiscoveredJavaHome, *row.jvmPath ? "" : home.c_str()) << where;
    }
}
