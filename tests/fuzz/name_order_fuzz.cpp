// Fuzzes the name order: names cut from the input (one per line, the first byte choosing
// whether case is ignored) must come out as a permutation in the order of a plain sort.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "jvm/name_order.h"

namespace {

std::string folded(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool caseInsensitive = (data[0] & 1) != 0;
    std::vector<std::string> names;
    std::set<std::string> seen;  // a directory's names are distinct (folded, where case is ignored)
    std::string current;
    for (size_t i = 1; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            if (!current.empty() && seen.insert(caseInsensitive ? folded(current) : current).second)
                names.push_back(current);
            current.clear();
        } else if (data[i] != 0) {
            current += static_cast<char>(data[i]);
        }
    }
    // Small inputs become large directories too, so the radix path is reached.
    if (names.size() > 0 && names.size() < 80) {
        size_t base = names.size();
        for (size_t i = 0; names.size() < 80; ++i) {
            std::string extra = names[i % base] + std::to_string(i);
            if (seen.insert(caseInsensitive ? folded(extra) : extra).second) names.push_back(extra);
        }
    }
    DirListing listing;
    NameOrder order;
    for (const std::string& n : names) {
        if (!listing.add(n.data(), n.size(), false)) __builtin_trap();
        order.order.push_back(static_cast<uint32_t>(order.order.size()));
    }
    sortNames(listing, caseInsensitive, &order);
    if (order.order.size() != names.size()) __builtin_trap();
    std::vector<std::string> got;
    for (uint32_t index : order.order) {
        if (index >= names.size()) __builtin_trap();
        got.push_back(listing.name(listing.entries[index]));
    }
    std::vector<std::string> want = names;
    std::sort(want.begin(), want.end(), [caseInsensitive](const std::string& a, const std::string& b) {
        if (caseInsensitive && folded(a) != folded(b)) return folded(a) < folded(b);
        return a < b;
    });
    if (got != want) __builtin_trap();
    return 0;
}
