// Sorting a directory's names. Archive directories hold many names that differ only late
// ("library-00017.jar"), so each name gets an eight-byte key taken after the prefix all
// names share; keys are sorted by radix (a few passes over the array, no comparisons),
// and only names whose keys tie are compared whole.
#include "options/name_order.h"

#include <algorithm>
#include <cstring>

namespace {

// The radix passes have a fixed cost (256 counters per differing byte) that small
// directories do not repay; they are sorted by comparison.
constexpr size_t kRadixThreshold = 64;

inline unsigned char fold(unsigned char c, bool caseInsensitive) {
    return caseInsensitive && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Loads the eight key bytes of `name` from `at` on, big-endian, folded; bytes past the
// end of the name are zero, which sorts before every character, as a shorter name sorts
// before a longer one it begins.
template <bool CaseInsensitive>
inline uint64_t keyAt(const char* name, size_t length, size_t at) {
    unsigned char bytes[8] = {};
    if (at < length) std::memcpy(bytes, name + at, length - at < 8 ? length - at : 8);
    uint64_t key = 0;
    for (unsigned char b : bytes) key = (key << 8) | fold(b, CaseInsensitive);
    return key;
}

// How many leading bytes (folded) every chosen name shares with the first.
template <bool CaseInsensitive>
size_t commonPrefix(const DirListing& listing, const std::vector<uint32_t>& indices) {
    const DirName& head = listing.entries[indices[0]];
    const char* first = listing.name(head);
    size_t common = head.length;
    for (size_t i = 1; i < indices.size() && common > 0; ++i) {
        const DirName& entry = listing.entries[indices[i]];
        const char* name = listing.name(entry);
        size_t limit = std::min<size_t>(common, entry.length);
        size_t j = 0;
        if (!CaseInsensitive) {
            while (j + 8 <= limit && std::memcmp(name + j, first + j, 8) == 0) j += 8;
        }
        while (j < limit && fold(static_cast<unsigned char>(name[j]), CaseInsensitive) ==
                                fold(static_cast<unsigned char>(first[j]), CaseInsensitive))
            ++j;
        common = j;
    }
    return common;
}

template <bool CaseInsensitive>
void fillKeys(const DirListing& listing, const std::vector<uint32_t>& indices, size_t common,
              std::vector<uint64_t>* keys) {
    keys->resize(listing.entries.size());
    for (uint32_t index : indices) {
        const DirName& entry = listing.entries[index];
        (*keys)[index] = keyAt<CaseInsensitive>(listing.name(entry), entry.length, common);
    }
}

// Stable least-significant-byte-first radix sort of `indices` by their keys, with a pass
// only for the byte positions where the keys differ.
void radixSort(const std::vector<uint64_t>& keys, std::vector<uint32_t>* indices, std::vector<uint32_t>* scratch) {
    const uint32_t count = static_cast<uint32_t>(indices->size());  // indices are 32-bit, so is their count
    const uint64_t firstKey = keys[(*indices)[0]];
    uint64_t differing = 0;
    for (uint32_t index : *indices) differing |= keys[index] ^ firstKey;
    scratch->resize(count);
    uint32_t* from = indices->data();
    uint32_t* to = scratch->data();
    for (unsigned shift = 0; shift < 64; shift += 8) {
        if (((differing >> shift) & 0xFF) == 0) continue;
        uint32_t slot[256] = {};
        for (uint32_t i = 0; i < count; ++i) ++slot[(keys[from[i]] >> shift) & 0xFF];
        uint32_t start = 0;
        for (uint32_t& n : slot) {
            uint32_t here = n;
            n = start;
            start += here;
        }
        for (uint32_t i = 0; i < count; ++i) to[slot[(keys[from[i]] >> shift) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != indices->data()) std::memcpy(indices->data(), from, count * sizeof(uint32_t));
}

// Negative, zero or positive as `a` sorts before, with or after `b`. Names equal but for
// case still differ, so no two names of one directory compare equal.
int compareNames(const char* a, size_t aLength, const char* b, size_t bLength, bool caseInsensitive) {
    size_t n = std::min(aLength, bLength);
    if (caseInsensitive) {
        for (size_t i = 0; i < n; ++i) {
            int ca = fold(static_cast<unsigned char>(a[i]), true);
            int cb = fold(static_cast<unsigned char>(b[i]), true);
            if (ca != cb) return ca - cb;
        }
        if (aLength != bLength) return aLength < bLength ? -1 : 1;
    }
    int c = std::memcmp(a, b, n);
    if (c != 0) return c;
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

}  // namespace

void sortNames(const DirListing& listing, bool caseInsensitive, NameOrder* order) {
    std::vector<uint32_t>& indices = order->order;
    const size_t count = indices.size();
    if (count < 2) return;
    const std::vector<DirName>& entries = listing.entries;
    auto less = [&listing, &entries, caseInsensitive](uint32_t a, uint32_t b) {
        return compareNames(listing.name(entries[a]), entries[a].length, listing.name(entries[b]), entries[b].length,
                            caseInsensitive) < 0;
    };
    // NTFS lists names already in order; then the listing's order is kept as it is.
    bool sorted = true;
    for (size_t i = 1; i < count && sorted; ++i) sorted = !less(indices[i], indices[i - 1]);
    if (sorted) return;
    if (count < kRadixThreshold) {
        std::sort(indices.begin(), indices.end(), less);
        return;
    }

    std::vector<uint64_t>& keys = order->keys;
    if (caseInsensitive) fillKeys<true>(listing, indices, commonPrefix<true>(listing, indices), &keys);
    else fillKeys<false>(listing, indices, commonPrefix<false>(listing, indices), &keys);
    radixSort(keys, &indices, &order->scratch);

    // Names with equal keys agree (folded) up to eight bytes past the common prefix; the
    // radix passes left each such run together, and it is ordered by the whole names.
    for (size_t runStart = 0; runStart < count;) {
        size_t runEnd = runStart + 1;
        while (runEnd < count && keys[indices[runEnd]] == keys[indices[runStart]]) ++runEnd;
        if (runEnd - runStart > 1) std::sort(indices.begin() + runStart, indices.begin() + runEnd, less);
        runStart = runEnd;
    }
}
