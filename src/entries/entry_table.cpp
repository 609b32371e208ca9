// The entry table and its look-ups, which only varnlet-pack uses: in a file of their own so
// that no body links them (the 64-bit Windows linker would keep them with their unwind records).
#include "entries/entries.h"

#include <cstring>

constexpr EntryInfo kEntryList[] = {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) {id, #name, EntryType::type, VARNLET_SHAPE_##shape, text},
#include "entries.def"
#undef VARNLET_ENTRY
};
const EntryInfo* const kEntries = kEntryList;
const size_t kEntryCount = sizeof kEntryList / sizeof kEntryList[0];

// A flag is stored as a Flag, a number as an Integer, and only plain text takes a text shape
// of its own; the loader keeps a Number's value as written, the packers check its range.
constexpr bool shapesFitTypes() {
    for (const EntryInfo& e : kEntryList) {
        bool flag = e.type == EntryType::Flag || e.type == EntryType::ReservedFlag;
        bool number = e.type == EntryType::Integer || e.type == EntryType::ReservedInteger;
        if (flag != (e.shape == EntryShape::Flag) || number != (e.shape == EntryShape::Number)) return false;
        if (e.type != EntryType::Text && !flag && !number && e.shape != EntryShape::Text) return false;
        if (e.low > e.high || e.low < INT32_MIN || e.high > INT32_MAX) return false;
    }
    return true;
}
static_assert(shapesFitTypes(), "an entry's shape fits its type, and a Number's range its 32 bits");

const EntryInfo* findEntry(unsigned id) {
    for (size_t i = 0; i < kEntryCount; ++i)
        if (kEntries[i].id == id) return &kEntries[i];
    return nullptr;
}

const EntryInfo* findEntryByName(const char* name) {
    for (size_t i = 0; i < kEntryCount; ++i)
        if (strcmp(kEntries[i].name, name) == 0) return &kEntries[i];
    return nullptr;
}
