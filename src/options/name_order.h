// Ordering a directory's names for the class path: by byte value, with ASCII letters
// folded where the file system ignores case, so every file system gives the same order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

// The order and its working arrays, kept by the caller and reused from one directory to
// the next so that sorting allocates only when a directory is larger than any before it.
struct NameOrder {
    std::vector<uint32_t> order;  // indices into the listing's entries; sorted by sortNames
    std::vector<uint64_t> keys;  // per listing entry
    std::vector<uint32_t> scratch;  // same length as order
};

// Sorts order->order (indices into listing.entries, chosen by the caller) by name.
void sortNames(const DirListing& listing, bool caseInsensitive, NameOrder* order);
