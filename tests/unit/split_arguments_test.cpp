// Splitting configuration texts into argument vectors: the documented examples and the
// quote and space edge cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "invoke/split.h"

namespace {

using Tokens = std::vector<std::string>;

Tokens split(const char* text) {
    int count = -1;
    char** vector = reinterpret_cast<char**>(1);
    EXPECT_TRUE(splitArguments(text, &count, &vector));
    if (count == 0) {
        EXPECT_EQ(vector, nullptr) << "[" << (text ? text : "(null)") << "]";
    }
    Tokens tokens;
    for (int i = 0; i < count; ++i) {
        tokens.emplace_back(vector[i]);
        std::free(vector[i]);
    }
    std::free(vector);
    return tokens;
}

TEST(SplitArguments, Table) {
    const struct {
        const char* text;
        Tokens tokens;
    } rows[] = {
        // The documented examples.
        {nullptr, {}}, {"", {}}, {"   ", {""}}, {" ", {""}}, {"alpha beta", {"alpha", "beta"}},
        {"alpha  beta", {"alpha", "", "beta"}}, {"   alpha", {"alpha"}}, {"alpha  ", {"alpha", ""}},
        {"\"alpha beta\"", {"alpha beta"}}, {"al\"p h\"a", {"al\"p h\"a"}}, {"\"a\"b", {"a\""}},
        // Runs of spaces; a tab separates nothing.
        {"a   b", {"a", "", "", "b"}}, {"a b ", {"a", "b"}}, {"a   ", {"a", "", ""}}, {"a\tb c", {"a\tb", "c"}},
        // Open quotes run to the end of the text.
        {"ab \"cd ef", {"ab", "cd e"}}, {"ab c\"d ef", {"ab", "c\"d ef"}}, {"ab \"cd ef ", {"ab"}}, {"\"  ", {}},
        // Quotes at the edges.
        {"\"", {""}}, {"a \"", {"a", ""}}, {"\"\"", {""}}, {"a \"\" b", {"a", "", "b"}}, {"-Dx=\"y\"", {"-Dx=\"y\""}},
        {"  \"x y\" z", {"x y", "z"}},
        // The shapes the option builder produces.
        {" \"-Djava.class.path=vantoHelix.jar\"", {"-Djava.class.path=vantoHelix.jar"}},
        {"-Xmx256m  \"-Djava.class.path=a b.jar\"", {"-Xmx256m", "", "-Djava.class.path=a b.jar"}},
    };
    for (const auto& row : rows) EXPECT_EQ(split(row.text), row.tokens) << "[" << (row.text ? row.text : "(null)") << "]";
}

}  // namespace
