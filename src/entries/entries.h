// The entry model shared by the launcher and varnlet-pack: ids, names, types, shapes and
// default texts of every embedded entry (from resources/entries.def), their conversion rules and
// the main class's scramble key.
#pragma once
#include <cstddef>
#include <cstdint>

enum class EntryType { Hex, Text, Integer, Flag, Scrambled, Message, ReservedText, ReservedFlag, ReservedInteger };
// What an entry's value is (resources/entries.def explains each); a Number has its range.
enum class EntryShape { Text, List, OptionList, Path, PathList, Flag, Number };

struct EntryInfo {
    unsigned id;
    const char* name;
    EntryType type;
    EntryShape shape;
    int64_t low, high;  // a Number's range; the whole 32-bit range means none of its own
    const char* unit;  // of a Number's range, with its leading blank (" seconds")
    const char* defaultText;
};

// VARNLET_SHAPE_##shape: the shape and its range as initializers of EntryInfo.
#define VARNLET_SHAPE_Text EntryShape::Text, INT32_MIN, INT32_MAX, ""
#define VARNLET_SHAPE_List EntryShape::List, INT32_MIN, INT32_MAX, ""
#define VARNLET_SHAPE_OptionList EntryShape::OptionList, INT32_MIN, INT32_MAX, ""
#define VARNLET_SHAPE_Path EntryShape::Path, INT32_MIN, INT32_MAX, ""
#define VARNLET_SHAPE_PathList EntryShape::PathList, INT32_MIN, INT32_MAX, ""
#define VARNLET_SHAPE_Flag EntryShape::Flag, 0, 1, ""
#define VARNLET_SHAPE_Number(low, high, unit) EntryShape::Number, low, high, unit

// Every entry in id order, from resources/entries.def.
extern const EntryInfo* const kEntries;
extern const size_t kEntryCount;
const EntryInfo* findEntry(unsigned id);
// What an entry means, for varnlet-pack's sample configuration: kept in a file of its own
// (entry_meanings.cpp) so that the bodies, which never show it, leave the texts out.
const char* entryMeaning(const EntryInfo& entry);
const EntryInfo* findEntryByName(const char* name);

constexpr size_t kConfigTextMax = 1023;  // characters (UTF-16 units) an entry may hold
constexpr size_t kConfigTextBytes = 3 * kConfigTextMax;  // the same in UTF-8, the widest code page
constexpr size_t kMainClassMaxBytes = 255;  // 510 hex digits
extern const unsigned char kScrambleKey[17];

// An id constant per entry (kEntryJvmPath), generated from the one list.
enum EntryId : unsigned {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) kEntry##name = id,
#include "entries.def"
#undef VARNLET_ENTRY
};

// The message entries, named as in the list (MsgNoRuntime), in id order.
#define VARNLET_MESSAGE_Hex(item)
#define VARNLET_MESSAGE_Text(item)
#define VARNLET_MESSAGE_Integer(item)
#define VARNLET_MESSAGE_Flag(item)
#define VARNLET_MESSAGE_Scrambled(item)
#define VARNLET_MESSAGE_Message(item) item,
#define VARNLET_MESSAGE_ReservedText(item)
#define VARNLET_MESSAGE_ReservedFlag(item)
#define VARNLET_MESSAGE_ReservedInteger(item)
enum MessageId : unsigned {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) VARNLET_MESSAGE_##type(name = id)
#include "entries.def"
#undef VARNLET_ENTRY
};
constexpr unsigned kMessageIds[] = {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) VARNLET_MESSAGE_##type(id)
#include "entries.def"
#undef VARNLET_ENTRY
};
constexpr size_t kMessageCount = sizeof kMessageIds / sizeof kMessageIds[0];
constexpr unsigned kFirstMessageId = kMessageIds[0];
constexpr unsigned kLastMessageId = kMessageIds[kMessageCount - 1];
// The messages are kept in an array indexed by (id - kFirstMessageId) / 16.
constexpr bool messageIdsInSteps() {
    for (size_t i = 0; i < kMessageCount; ++i)
        if (kMessageIds[i] != kFirstMessageId + 16 * i) return false;
    return true;
}
static_assert(messageIdsInSteps(), "message entries follow one another 16 ids apart");

// Descrambles a hex text into a process-wide 256-byte buffer (overwritten by the next call).
// Returns null when the text is not an even number (at most 510) of digits 0-9/A-F.
const char* descrambleText(const char* hex);
// Conversion rules, shared with varnlet-pack.
bool convertFlag(const char* text);
int32_t convertInteger(const char* text);
// Hexadecimal with optional blanks and 0x prefix; false when nothing converts (value 0).
bool convertHex(const char* text, uint32_t* value);
