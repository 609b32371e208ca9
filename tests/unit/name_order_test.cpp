// Name order of a directory's entries: the radix path for large directories must give
// exactly the order of a plain comparison of the names, in both case modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "jvm/name_order.h"

namespace {

std::string folded(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return out;
}

// The order written out plainly: folded text first where case is ignored, then the bytes.
bool referenceLess(const std::string& a, const std::string& b, bool caseInsensitive) {
    if (caseInsensitive && folded(a) != folded(b)) return folded(a) < folded(b);
    return a < b;
}

std::vector<std::string> sorted(const std::vector<std::string>& names, bool caseInsensitive) {
    DirListing listing;
    NameOrder order;
    for (const std::string& n : names) listing.add(n.data(), n.size(), false);
    for (uint32_t i = 0; i < names.size(); ++i) order.order.push_back(i);
    sortNames(listing, caseInsensitive, &order);
    std::vector<std::string> out;
    for (uint32_t index : order.order) out.push_back(listing.name(listing.entries[index]));
    return out;
}

std::vector<std::string> expected(std::vector<std::string> names, bool caseInsensitive) {
    std::sort(names.begin(), names.end(),
              [caseInsensitive](const std::string& a, const std::string& b) { return referenceLess(a, b, caseInsensitive); });
    return names;
}

// Distinct names built to stress the key: a shared prefix (often longer than eight
// bytes), endings inside and beyond the key, case variants, bytes above 0x7F.
std::vector<std::string> generatedNames(std::mt19937* random, size_t count, bool caseInsensitive) {
    static const char kAlphabet[] = "aAbBzZ09-._\xC3\xA9\x7F";
    std::vector<std::string> names, seen;
    std::uniform_int_distribution<int> tailLength(0, 14), pick(0, sizeof kAlphabet - 2), variant(0, 3);
    const std::string prefix = variant(*random) == 0 ? "" : "library-component-";
    while (names.size() < count) {
        std::string name = prefix;
        int length = tailLength(*random);
        for (int i = 0; i < length; ++i) name += kAlphabet[pick(*random)];
        if (variant(*random) == 0) name += ".jar";
        if (name.empty()) continue;
        std::string key = caseInsensitive ? folded(name) : name;
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;  // one directory holds distinct names
        seen.push_back(key);
        names.push_back(name);
    }
    return names;
}

TEST(NameOrder, AgreesWithPlainComparisonForSmallAndLargeDirectories) {
    std::mt19937 random(20261206);
    for (bool caseInsensitive : {false, true}) {
        for (size_t count : {2u, 3u, 63u, 64u, 65u, 300u, 2000u}) {
            for (int round = 0; round < 4; ++round) {
                std::vector<std::string> names = generatedNames(&random, count, caseInsensitive);
                EXPECT_EQ(sorted(names, caseInsensitive), expected(names, caseInsensitive))
                    << "count " << count << ", case-insensitive " << caseInsensitive << ", round " << round;
            }
        }
    }
}

// Names equal but for case (possible where case matters) keep a fixed order too.
TEST(NameOrder, CaseTwinsWhereCaseIsIgnored) {
    std::vector<std::string> twins;
    for (int i = 40; i > 0; --i) {
        twins.push_back("x" + std::to_string(i) + ".jar");
        twins.push_back("x" + std::to_string(i) + ".JAR");
    }
    EXPECT_EQ(sorted(twins, true), expected(twins, true));
}

}  // namespace
