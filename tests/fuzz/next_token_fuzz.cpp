// Fuzzes the in-place tokenizer with separator sets that change between calls: every
// token lies inside the text, holds no separator of its call, and the walk ends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "jvm/next_token.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose separator sets; the rest is the text.
    const char sets[4][4] = {";", ";\r\n", " \t", ":;/"};
    unsigned pick = data[0] | (data[1] << 8);
    std::vector<char> text(data + 2, data + size);
    text.push_back('\0');
    char* begin = text.data();
    char* end = begin + std::strlen(begin);
    char* cursor = nullptr;
    size_t calls = 0;
    for (;;) {
        const char* separators = sets[(pick >> (2 * (calls % 8))) & 3];
        char* token = nextToken(begin, separators, &cursor);
        if (++calls > text.size() + 1) __builtin_trap();
        if (token == nullptr) {
            if (cursor != nullptr) __builtin_trap();
            break;
        }
        size_t n = std::strlen(token);
        if (token < begin || token + n > end || n == 0) __builtin_trap();
        if (std::strpbrk(token, separators) != nullptr) __builtin_trap();
        if (cursor == nullptr || cursor < begin || cursor > end) __builtin_trap();
    }
    return 0;
}
