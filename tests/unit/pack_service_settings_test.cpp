// varnlet-pack's rules for the service settings: what each accepts and refuses.
#include <gtest/gtest.h>

#include "pack_config.h"

TEST(PackServiceSettings, AcceptedAndRefusedValues) {
    const std::pair<const char*, bool> cases[] = {
        {"ServiceRestartDelay = 86400", true}, {"ServiceRestartDelay = 86401", false},
        {"ServiceRestartCount = 0", false},    {"ServiceStopTimeout = 0", false},
        {"ServiceDependencies = [\"Tcpip\", \"Event Log\"]", true}, {"ServiceDependencies = \"a\\\\b\"", false},
        {"ServiceAccount = \"NT AUTHORITY\\\\LocalService\"", true}, {"ServiceAccount = \"bob\"", false},
        {"ServiceName = \"App\"\nServiceAccount = \"NT SERVICE\\\\app\"", true},
        {"ServiceName = \"App\"\nServiceAccount = \"NT SERVICE\\\\Other\"", false},
        {"ServiceDelayedStart = true\nServiceManualStart = true", false},
    };
    for (const auto& c : cases) {
        PackConfig config;
        std::vector<std::string> errors;
        EXPECT_EQ(parsePackConfig(c.first, "app.toml", &config, &errors), c.second) << c.first;
    }
}
