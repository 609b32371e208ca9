// Copying a text into a fixed buffer whole or not at all: a path cut short would name
// another file.
#pragma once
#include <cstddef>
#include <cstring>

// Copies `text` with its terminator into `buffer` when it fits in `size` bytes; false (and the
// buffer untouched) when it does not.
inline bool copyIfFits(char* buffer, size_t size, const char* text) {
    size_t n = std::strlen(text);
    if (n + 1 > size) return false;
    std::memcpy(buffer, text, n + 1);
    return true;
}
