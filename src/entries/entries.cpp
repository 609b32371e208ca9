// The entry table, its look-ups and the conversion rules of entry texts.
#include "entries/entries.h"

#include <cctype>
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

const unsigned char kScrambleKey[17] = {'K', 'q', '4', 'T', 'z', '8', 'W', 'm', '1',
                                        'R', 'v', '6', 'Y', 'p', '3', 'X', 0};

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

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const char* descrambleText(const char* hex) {
    static char result[256];
    memset(result, 0, sizeof result);
    size_t length = strlen(hex);
    // Only an even number of capital hex digits that fits the buffer has a meaning;
    // anything else decodes to nothing rather than to bytes that were never stored.
    if (length % 2 != 0 || length > 2 * kMainClassMaxBytes) return nullptr;
    for (size_t i = 0; i < length; i += 2) {
        int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            memset(result, 0, sizeof result);
            return nullptr;
        }
        result[i / 2] = static_cast<char>(16 * high + low);
    }
    for (size_t i = 0; i < length / 2; ++i) result[i] = static_cast<char>(result[i] ^ kScrambleKey[i % 17]);
    return result;
}

bool convertFlag(const char* text) { return text[0] != '0'; }

int32_t convertInteger(const char* text) {
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;  // saturate instead of overflowing
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

bool convertHex(const char* text, uint32_t* value) {
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && isxdigit(static_cast<unsigned char>(p[2]))) p += 2;
    uint64_t v = 0;
    bool any = false;
    while (isxdigit(static_cast<unsigned char>(*p))) {
        char c = *p++;
        int d = c <= '9' ? c - '0' : (tolower(c) - 'a' + 10);
        v = (v << 4) | static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;
        any = true;
    }
    *value = any ? static_cast<uint32_t>(v) : 0;
    return any;
}
