// LogRotateSize's text: a count of bytes with an optional unit.
#include "entries/log_size.h"

#include <cctype>

bool parseLogSize(const char* text, uint64_t* bytes) {
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    *bytes = 0;
    if (*p == '\0') return true;
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    uint64_t count = 0;
    for (; isdigit(static_cast<unsigned char>(*p)); ++p) {
        uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (count > (UINT64_MAX - digit) / 10) return false;
        count = count * 10 + digit;
    }
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    int shift = 0;
    switch (toupper(static_cast<unsigned char>(*p))) {
    case 'K': shift = 10; break;
    case 'M': shift = 20; break;
    case 'G': shift = 30; break;
    case 'B': break;
    case '\0': break;
    default: return false;
    }
    if (shift) {
        ++p;
        if (toupper(static_cast<unsigned char>(*p)) == 'I') ++p;  // KiB, MiB, GiB
        if (toupper(static_cast<unsigned char>(*p)) == 'B') ++p;
    } else if (*p) {
        ++p;
    }
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p != '\0' || count > (UINT64_MAX >> shift)) return false;
    *bytes = count << shift;
    return true;
}
