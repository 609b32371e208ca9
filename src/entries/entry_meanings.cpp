// What each entry means, in the order of the entry table; only varnlet-pack shows it.
#include "entries/entries.h"

namespace {

const char* const kMeanings[] = {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) meaning,
#include "entries.def"
#undef VARNLET_ENTRY
};

}  // namespace

const char* entryMeaning(const EntryInfo& entry) { return kMeanings[&entry - kEntries]; }
