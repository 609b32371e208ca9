// Shared set-up for the runtime search tests: a fake platform, registry and file system,
// and helpers that write keys the way the installers do.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fakes/fake_files.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_registry.h"
#include "jvm/discovery.h"
#include "core/config.h"
#include "core/state.h"

constexpr const char* kJreKey = "Software\\JavaSoft\\Java Runtime Environment";
constexpr const char* kIbmJreKey = "Software\\IBM\\Java2 Runtime Environment";
constexpr const char* kJdkKey = "Software\\JavaSoft\\Java Development Kit";
constexpr const char* kIbmJdkKey = "Software\\IBM\\Java Development Kit";

struct DiscoveryTest : ::testing::Test {
    explicit DiscoveryTest(bool windowsStyle = true) : platform(windowsStyle) {}
    FakePlatform platform;
    FakeRegistry registry;
    FakeFiles files;

    void SetUp() override { configure("0x00010003", "", 0); }

    void configure(const char* minimum, const char* jvmPath, int32_t mode) {
        Config.MinJavaVersion = strdup(minimum);
        Config.JvmPath = strdup(jvmPath);
        Config.JavaSearchMode = mode;
    }

    // A version key with JavaHome and, when given, RuntimeLib.
    void addVersion(const std::string& key, const std::string& version, const std::string& home,
                    const std::string& runtimeLib = "") {
        std::string path = key + "\\" + version;
        registry.addKey(path);
        if (!home.empty()) registry.setString(path, "JavaHome", home);
        if (!runtimeLib.empty()) registry.setString(path, "RuntimeLib", runtimeLib);
    }

    std::string locate() {
        char buffer[kPathBufferSize];
        std::memset(buffer, 'X', sizeof buffer);
        if (!locateJvm(buffer)) return "<none>";
        EXPECT_LT(std::strlen(buffer), sizeof buffer);
        return buffer;
    }
};
