// The conversion rules of entry texts, which the bodies use.
#include "entries/entries.h"

#include <cctype>
#include <cstring>

const unsigned char kScrambleKey[17] = {'K', 'q', '4', 'T', 'z', '8', 'W', 'm', '1',
                                        'R', 'v', '6', 'Y', 'p', '3', 'X', 0};

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
