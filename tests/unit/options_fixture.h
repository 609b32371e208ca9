// Shared set-up for the option builder tests: fake platform and file system, the default
// message texts, and the configured texts as heap copies (the builder replaces them).
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fakes/fake_files.h"
#include "fakes/fake_platform.h"
#include "jvm/options.h"
#include "core/config.h"
#include "core/state.h"

struct OptionsTest : ::testing::Test {
    explicit OptionsTest(bool windowsStyle = true) : platform(windowsStyle) {
        loadDefaultStrings(platform.world());
        loadConfiguration();
    }
    FakePlatform platform;
    FakeFiles files;
    FakeWorld& w = platform.world();

    void set(const char* jvmOptions, const char* classPath) {
        Config.JvmOptions = strdup(jvmOptions);
        Config.ClassPath = strdup(classPath);
    }

    // Builds and returns the final text, or "<failed>".
    std::string build() {
        if (!buildJvmOptions()) return "<failed>";
        return Config.JvmOptions;
    }
};
