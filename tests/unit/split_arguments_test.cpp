// Splitting configuration texts into argument vectors: the documented examples and the
// quote and space edge cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "invoke/split.h"

namespace {

std::vector<std::string> split(const char* text) {
    int count = -1;
    char** vector = reinterpret_cast<char**>(1);
    EXPECT_TRUE(splitArguments(text, &count, &vector));
    std::vector<std::string> tokens;
    for (int i = 0; i < count; ++i) tokens.emplace_back(vector[i]);
    if (count == 0) {
        EXPECT_EQ(vector, nullptr);
    }
    for (int i = 0; i < count; ++i) std::free(vector[i]);
    std::free(vector);
    return tokens;
}

struct SplitRow {
    const char* name;
    const char* text;
    std::vector<std::string> tokens;
};

class SplitTable : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitTable, GivesTheExpectedTokens) {
    EXPECT_EQ(split(GetParam().text), GetParam().tokens) << "text: [" << GetParam().text << "]";
}

const SplitRow kRows[] = {
    // The documented examples.
    {"Empty", "", {}},
    {"SpacesOnly", "   ", {""}},
    {"OneSpaceOnly", " ", {""}},
    {"TwoWords", "alpha beta", {"alpha", "beta"}},
    {"TwoSpacesBetween", "alpha  beta", {"alpha", "", "beta"}},
    {"LeadingSpaces", "   alpha", {"alpha"}},
    {"TwoTrailingSpaces", "alpha  ", {"alpha", ""}},
    {"QuotedPair", "\"alpha beta\"", {"alpha beta"}},
    {"QuotedMiddle", "al\"p h\"a", {"al\"p h\"a"}},
    {"QuoteLetterQuoteLetter", "\"a\"b", {"a\""}},
    // Runs of spaces.
    {"ThreeSpacesBetween", "a   b", {"a", "", "", "b"}},
    {"OneTrailingSpace", "a b ", {"a", "b"}},
    {"ThreeTrailingSpaces", "a   ", {"a", "", ""}},
    {"TabIsNoSeparator", "a\tb c", {"a\tb", "c"}},
    // Open quotes run to the end of the text.
    {"UnclosedQuoteAtTokenStart", "ab \"cd ef", {"ab", "cd e"}},
    {"UnclosedQuoteInsideToken", "ab c\"d ef", {"ab", "c\"d ef"}},
    {"UnclosedQuoteEndingInSpaceIsDropped", "ab \"cd ef ", {"ab"}},
    {"UnclosedQuoteOnlySpaceAfter", "\"  ", {}},
    // Quotes at the edges.
    {"LoneQuote", "\"", {""}},
    {"LoneQuoteLastToken", "a \"", {"a", ""}},
    {"EmptyQuotes", "\"\"", {""}},
    {"EmptyQuotesBetween", "a \"\" b", {"a", "", "b"}},
    {"QuoteInsideWordKept", "-Dx=\"y\"", {"-Dx=\"y\""}},
    {"SpaceAfterLeadingSpacesThenQuote", "  \"x y\" z", {"x y", "z"}},
    // The shapes the option builder produces.
    {"ClassPathOptionAlone", " \"-Djava.class.path=vantoHelix.jar\"", {"-Djava.class.path=vantoHelix.jar"}},
    {"OptionsEndingInSpace", "-Xmx256m  \"-Djava.class.path=a b.jar\"", {"-Xmx256m", "", "-Djava.class.path=a b.jar"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, SplitTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<SplitRow>& row) { return std::string(row.param.name); });

TEST(SplitArguments, NullAllocatesNothing) {
    int count = 7;
    char** vector = reinterpret_cast<char**>(1);
    EXPECT_TRUE(splitArguments(nullptr, &count, &vector));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(vector, nullptr);
}

TEST(SplitArguments, ManyTokensCountExactly) {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "x" + std::to_string(i) + " ";
    std::vector<std::string> tokens = split(text.c_str());
    ASSERT_EQ(tokens.size(), 5000u);
    EXPECT_EQ(tokens.front(), "x0");
    EXPECT_EQ(tokens.back(), "x4999");
}

}  // namespace
