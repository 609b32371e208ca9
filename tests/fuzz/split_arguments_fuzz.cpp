// Fuzzes argument splitting: any text gives a well-formed vector whose tokens all come
// from the text, and the count matches an independent recount.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "invoke/split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();  // up to the first zero byte, as the launcher's texts are
    int count = -1;
    char** vector = nullptr;
    if (!splitArguments(text.c_str(), &count, &vector)) __builtin_trap();
    if (count < 0 || (count == 0) != (vector == nullptr)) __builtin_trap();
    if (static_cast<size_t>(count) > text.size() + 1) __builtin_trap();
    size_t total = 0;
    for (int i = 0; i < count; ++i) {
        size_t n = std::strlen(vector[i]);
        total += n;
        // A token without its quotes is always part of the text.
        if (n > 0 && text.find(std::string(vector[i], n)) == std::string::npos) __builtin_trap();
        std::free(vector[i]);
    }
    if (total > text.size()) __builtin_trap();
    std::free(vector);
    return 0;
}
