// Fuzzes the main-class descrambler: any text either is refused or yields at most 255
// bytes, and only an even number of at most 510 hexadecimal digits is accepted.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();
    const char* plain = descrambleText(text.c_str());
    if (plain == nullptr) return 0;
    if (text.size() % 2 != 0 || text.size() > 510) __builtin_trap();
    if (std::strlen(plain) > 255 || std::strlen(plain) > text.size() / 2) __builtin_trap();
    return 0;
}
