// varnlet-pack's option arrays, stored so that the launcher splits them back into the same
// options.
#include <gtest/gtest.h>

#include "entries/entries.h"
#include "options/split.h"
#include "pack_config.h"

TEST(PackOptions, ArraysSplitBackIntoTheirElements) {
    const std::vector<std::string> rows[] = {
        {"-Xmx1m", "-Dtitle=My App", "", "--add-opens", "java.base/java.lang=ALL-UNNAMED"},
        {"\"quoted\"", "-Dq=\"a b\"", "a\"b c\"", "tab\\there"},
        {},
    };
    for (const auto& options : rows)
        for (unsigned id : {kEntryJvmOptions, kEntryAppOptions}) {
            std::string text = id == kEntryJvmOptions ? "JvmOptions = [" : "AppOptions = [";
            for (const std::string& option : options) text += "'" + option + "',";
            PackConfig config;
            std::vector<std::string> errors;
            ASSERT_TRUE(parsePackConfig(text + "]\n", "app.toml", &config, &errors)) << errors[0];
            int count = 0;
            char** vector = nullptr;
            ASSERT_TRUE(splitArguments(config.entries.at(id).c_str(), &count, &vector));
            EXPECT_EQ(std::vector<std::string>(vector, vector + count), options) << config.entries.at(id);
        }
    for (std::string refused : {"a\"b", "\"a b", "a\"b c"}) {
        PackConfig config;
        std::vector<std::string> errors;
        EXPECT_FALSE(parsePackConfig("JvmOptions = ['x', '" + refused + "']\n", "app.toml", &config, &errors));
        EXPECT_EQ(errors, std::vector<std::string>{"app.toml:1:20: JvmOptions element \"" + refused + "\" cannot be stored: "
                                                   "options are split at blanks outside double quotes, with no escape"});
    }
}
