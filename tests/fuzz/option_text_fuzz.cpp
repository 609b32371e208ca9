// Fuzzes the launcher's option texts: argument splitting (well-formed vector, every token from
// the text), %NAME% expansion with a made-up environment (a text without '%' comes back
// unchanged) and the in-place tokenizer with separator sets that change between calls
// (tokens inside the text, free of their call's separators; the walk ends).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/state.h"
#include "invoke/split.h"
#include "jvm/next_token.h"
#include "jvm/options.h"
#include "platform/platform.h"

namespace {

const char* fuzzEnvironment(const char* name) {
    size_t n = std::strlen(name);
    if (n % 3 == 0) return nullptr;
    return n % 3 == 1 ? "" : "value%with%percents";
}

void split(const std::string& text) {
    int count = -1;
    char** vector = nullptr;
    if (!splitArguments(text.c_str(), &count, &vector)) __builtin_trap();
    if (count < 0 || (count == 0) != (vector == nullptr) || static_cast<size_t>(count) > text.size() + 1) __builtin_trap();
    size_t total = 0;
    for (int i = 0; i < count; ++i) {
        size_t n = std::strlen(vector[i]);
        total += n;
        if (n > 0 && text.find(std::string(vector[i], n)) == std::string::npos) __builtin_trap();  // quotes dropped only
        std::free(vector[i]);
    }
    if (total > text.size()) __builtin_trap();
    std::free(vector);
}

void expand(const std::string& text) {
    Platform.getEnvironment = fuzzEnvironment;
    std::strcpy(State.DiscoveredJavaHome, "C:\\jdk");
    char* out = expandEnvironmentReferences(text.c_str());
    if (out == nullptr || (text.find('%') == std::string::npos && text != out)) __builtin_trap();
    std::free(out);
}

void tokens(const std::string& given, unsigned pick) {
    const char sets[4][4] = {";", ";\r\n", " \t", ":;/"};
    std::string text = given;
    char* begin = text.data();
    char* end = begin + text.size();
    char* cursor = nullptr;
    for (size_t calls = 0; calls <= text.size() + 1; ++calls) {
        const char* separators = sets[(pick >> (2 * (calls % 8))) & 3];
        char* token = nextToken(begin, separators, &cursor);
        if (token == nullptr) {
            if (cursor != nullptr) __builtin_trap();
            return;
        }
        size_t n = std::strlen(token);
        if (token < begin || token + n > end || n == 0 || std::strpbrk(token, separators) != nullptr) __builtin_trap();
        if (cursor == nullptr || cursor < begin || cursor > end) __builtin_trap();
    }
    __builtin_trap();  // the walk did not end
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the tokenizer's separator sets; the rest, up to a zero byte as
    // in the launcher's texts, is the text.
    std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    text = text.c_str();
    split(text);
    expand(text);
    tokens(text, data[0] | (data[1] << 8));
    return 0;
}
