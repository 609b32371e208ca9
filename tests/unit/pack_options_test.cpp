// varnlet-pack's option arrays (stored so that the launcher splits them back into the same
// options) and its warnings about settings that do not do what they seem to.
#include <gtest/gtest.h>

#include "invoke/split.h"
#include "pack_config.h"

namespace {

std::string tomlArray(const std::vector<std::string>& options) {
    std::string out = "[";
    for (const std::string& o : options) {
        out += out.size() > 1 ? ", '" : "'";
        out += o + "'";
    }
    return out + "]";
}

}  // namespace

TEST(PackOptions, ArraysSplitBackIntoTheirElements) {
    const std::vector<std::string> rows[] = {
        {"-Xmx1m", "-Dtitle=My App", "", "--add-opens", "java.base/java.lang=ALL-UNNAMED"},
        {"\"quoted\"", "-Dq=\"a b\"", "a\"b c\"", "tab\there"},
        {},
    };
    for (const auto& options : rows)
        for (const char* key : {"JvmOptions", "AppOptions"}) {
            PackConfig config;
            std::vector<std::string> errors;
            ASSERT_TRUE(parsePackConfig(std::string(key) + " = " + tomlArray(options) + "\n", "app.toml", &config, &errors))
                << errors[0];
            const std::string& stored = config.entries.at(std::string(key) == "JvmOptions" ? 1056 : 1184);
            int count = 0;
            char** vector = nullptr;
            ASSERT_TRUE(splitArguments(stored.c_str(), &count, &vector));
            EXPECT_EQ(std::vector<std::string>(vector, vector + count), options) << stored;
        }
    for (const char* refused : {"a\"b", "\"a b", "a\"b c"}) {
        PackConfig config;
        std::vector<std::string> errors;
        EXPECT_FALSE(parsePackConfig(std::string("JvmOptions = ['x', '") + refused + "']\n", "app.toml", &config, &errors));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find("app.toml:1:20: JvmOptions element \"" + std::string(refused) + "\" cannot be stored"),
                  std::string::npos) << errors[0];
    }
}

TEST(PackOptions, WarningsPointToTheCommandLineSetting) {
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"UseStartupDir = true\nEarlyWorkingDir = true\n",
         {"app.toml:1:17: warning: UseStartupDir has no effect with EarlyWorkingDir (only WorkingDir is entered); for a "
          "command-line tool that works in the caller's directory, set StayInStartupDir instead"}},
        {"StayInStartupDir = true\nWorkingDir = 'work'\n", {"app.toml:2:14: warning: WorkingDir has no effect with StayInStartupDir"}},
        {"UseStartupDir = true\nEarlyWorkingDir = false\nStayInStartupDir = true\nWorkingDir = ''\n", {}},
    };
    for (const auto& [text, want] : rows) {
        PackConfig config;
        std::vector<std::string> errors;
        ASSERT_TRUE(parsePackConfig(text, "app.toml", &config, &errors));
        EXPECT_EQ(packWarnings(config), want) << text;
    }
}
