// The entry model shared by the launcher and varnlet-pack: ids, names, types and default
// texts of every embedded entry (from resources/entries.def), their conversion rules and
// the main class's scramble key.
#pragma once
#include <cstddef>
#include <cstdint>

enum class EntryType { Hex, Text, Integer, Flag, Scrambled, Message, ReservedText, ReservedFlag, ReservedInteger };

struct EntryInfo {
    unsigned id;
    const char* name;
    EntryType type;
    const char* defaultText;
    const char* meaning;
};

// Every entry in id order, from resources/entries.def.
extern const EntryInfo kEntries[];
extern const size_t kEntryCount;
const EntryInfo* findEntry(unsigned id);
const EntryInfo* findEntryByName(const char* name);

constexpr unsigned kLastMessageId = 1728;
constexpr unsigned kFirstMessageId = 1456;
constexpr size_t kConfigTextMax = 1023;  // characters (UTF-16 units) an entry may hold
constexpr size_t kConfigTextBytes = 3 * kConfigTextMax;  // the same in UTF-8, the widest code page
constexpr size_t kMainClassMaxBytes = 255;  // 510 hex digits
extern const unsigned char kScrambleKey[17];

// Message ids.
enum MessageId : unsigned {
    MsgFileAccess = 1456,
    MsgNoRuntime = 1472,
    MsgLoadJvm = 1488,
    MsgJniInterfaces = 1504,
    MsgCreateJvm = 1520,
    MsgAttach = 1536,
    MsgLocateClass = 1552,
    MsgLocateMethod = 1568,
    MsgInstantiate = 1584,
    MsgAssignArgument = 1600,
    MsgInvoke = 1616,
    MsgServiceInstalled = 1632,
    MsgServiceUninstalled = 1648,
    MsgServiceExists = 1664,
    MsgServiceStarted = 1680,
    MsgServiceStopped = 1696,
    MsgServiceFailed = 1712,
    MsgServiceTimeout = 1728,
};
constexpr size_t kMessageCount = (kLastMessageId - kFirstMessageId) / 16 + 1;

// Descrambles a hex text into a process-wide 256-byte buffer (overwritten by the next call).
// Returns null when the text is not an even number (at most 510) of digits 0-9/A-F.
const char* descrambleText(const char* hex);
// Conversion rules, shared with varnlet-pack.
bool convertFlag(const char* text);
int32_t convertInteger(const char* text);
// Hexadecimal with optional blanks and 0x prefix; false when nothing converts (value 0).
bool convertHex(const char* text, uint32_t* value);
