// Numbers as hexadecimal text of a fixed width. The launcher formats no text with the printf
// family: its formatting code (floating point and all) would be the largest library piece of
// the Windows bodies.
#pragma once
#include <cstdint>

// The low `digits` hexadecimal digits of `value`, leading zeros kept, and a terminator.
inline void hexText(uint64_t value, int digits, bool capitals, char* out) {
    const char* set = capitals ? "0123456789ABCDEF" : "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i, value >>= 4) out[i] = set[value & 15];
    out[digits] = '\0';
}
