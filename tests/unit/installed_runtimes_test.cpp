// Runtimes found without the registry: the release-file version and the order of sources.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

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

std::map<std::string, std::string> contents, links;

// The folders above every readable file of the fake world are directories.
uint32_t fakeAttributes(const char* path) {
    std::string prefix = std::string(path) + "/";
    for (const std::string& f : fakeWorld().readableFiles) {
        if (f == path) return 0;
        if (f.compare(0, prefix.size(), prefix) == 0) return kFileAttributeDirectory;
    }
    return kInvalidFileAttributes;
}
uint32_t fakeListing(const char* directory, DirListing* listing) {
    listing->clear();
    std::string prefix = std::string(directory) + "/";
    std::set<std::string> names;
    for (const std::string& f : fakeWorld().readableFiles)
        if (f.compare(0, prefix.size(), prefix) == 0) names.insert(f.substr(prefix.size(), f.find('/', prefix.size()) - prefix.size()));
    for (const std::string& n : names) listing->add(n.c_str(), n.size(), fakeAttributes((prefix + n).c_str()) != 0);
    return names.empty() ? uint32_t{kErrorPathNotFound} : 0u;
}

// One Linux machine: runtimes under /opt and /usr/lib/jvm, /usr/bin/java a link into
// java-11, a 32-bit runtime, one without a release file. Each row: what is chosen.
TEST(InstalledRuntimes, OrderOfSources) {
    struct Row { const char *javaHome, *path, *minimum, *jvmPath, *library; } rows[] = {
        {"/opt/jdk17", "/usr/bin", "0x00010003", "", "/opt/jdk17/lib/server/libjvm.so"},
        {"", "/no/such:/usr/bin", "0x00010003", "", "/usr/lib/jvm/java-11/lib/server/libjvm.so"},
        {"", "", "0x00010003", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/opt/jdk17", "/usr/bin", "0x00150000", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/opt/jdk17-x86", "", "0x00010003", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/usr/lib/jvm/plain", "", "0x00010003", "", "/usr/lib/jvm/java-21/lib/server/libjvm.so"},
        {"/usr/lib/jvm/plain", "", "0x0", "", "/usr/lib/jvm/plain/lib/server/libjvm.so"},
        {"/opt/jdk17", "/usr/bin", "0x00010003", "/cfg/libjvm.so", "/cfg/libjvm.so"},
        {"/opt/jdk17", "/usr/bin", "0x00160000", "", "<none>"},
    };
    for (const Row& row : rows) {
        FakePlatform platform(false);
        FakeWorld& world = platform.world();
        Platform.getFileAttributes = fakeAttributes;
        Platform.listDirectory = fakeListing;
        Platform.standardRuntimeFolder = "/usr/lib/jvm";
        Platform.moduleFormat = ModuleFormat::Elf;
        Platform.moduleMachine = 62;
        Platform.readFileStart = [](const char* path, void* buffer, uint32_t size, uint32_t* got) {
            *got = contents.count(path) ? static_cast<uint32_t>(contents[path].copy(static_cast<char*>(buffer), size)) : 0;
            return contents.count(path) != 0;
        };
        Platform.resolveLinks = [](const char* path, char* buffer, size_t size) {
            return snprintf(buffer, size, "%s", links.count(path) ? links[path].c_str() : path) < static_cast<int>(size);
        };
        contents.clear();
        auto library = [&](const std::string& path, char elfClass, char machine) {
            world.readableFiles.insert(path);
            contents[path] = std::string("\x7f" "ELF") + elfClass + std::string(13, '\1') + machine + '\0';
        };
        for (const char* home : {"/opt/jdk17:17.0.9", "/opt/jdk17-x86:17.0.9", "/usr/lib/jvm/java-11:11.0.21",
                                 "/usr/lib/jvm/java-21:21.0.1", "/usr/lib/jvm/plain:"}) {
            std::string name(home, std::strchr(home, ':')), version(std::strchr(home, ':') + 1);
            bool x86 = name.back() == '6';
            library(name + "/lib/server/libjvm.so", x86 ? 1 : 2, x86 ? 3 : 62);
            if (!version.empty()) world.readableFiles.insert(name + "/release");
            if (!version.empty()) contents[name + "/release"] = "JAVA_VERSION=\"" + version + "\"\n";
        }
        library("/cfg/libjvm.so", 2, 62);
        world.readableFiles.insert("/usr/bin/java");
        links["/usr/bin/java"] = "/usr/lib/jvm/java-11/bin/java";
        world.environment = {{"JAVA_HOME", row.javaHome}, {"PATH", row.path}};
        Config.MinJavaVersion = strdup(row.minimum);
        Config.JvmPath = strdup(row.jvmPath);
        std::string where = std::string(row.javaHome) + " " + row.minimum;
        char buffer[kPathBufferSize] = "";
        EXPECT_STREQ(locateJvm(buffer) ? buffer : "<none>", row.library) << where;
        std::string home = std::string(row.library).substr(0, std::string(row.library).find("/lib/server"));
        if (buffer[0] == '/' && !*row.jvmPath) {
            EXPECT_STREQ(State.DiscoveredJavaHome, home.c_str()) << where;
        }
    }
}
