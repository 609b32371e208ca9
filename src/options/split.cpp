// Argument splitting: spaces separate, double quotes group, nothing escapes.
#include "options/split.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/allocation.h"

namespace {

// Walks the tokens of `text` (already past its leading spaces) and hands each token's
// start and length to `visit`. Both passes of splitArguments use this one walk, so the
// count and the copies can never disagree.
template <typename Visit>
void walkTokens(const char* text, Visit visit) {
    if (*text == '\0') {
        // Only spaces: one empty token.
        visit(text, 0);
        return;
    }
    bool quoting = false;
    const char* tokenStart = text;
    const char* p = text;
    for (; *p != '\0'; ++p) {
        if (*p == '"') {
            quoting = !quoting;
        } else if (*p == ' ' && !quoting) {
            visit(tokenStart, static_cast<size_t>(p - tokenStart));
            tokenStart = p + 1;
        }
    }
    // A text that ends in a space has no further token, even inside an open quote.
    if (p[-1] != ' ') visit(tokenStart, static_cast<size_t>(p - tokenStart));
}

}  // namespace

bool splitArguments(const char* text, int* count, char*** vector) {
    *count = 0;
    *vector = nullptr;
    if (text == nullptr || *text == '\0') return true;
    // Every token needs at least one character or separator, so a text shorter than
    // INT_MAX can never overflow the signed count.
    if (std::strlen(text) >= static_cast<size_t>(INT_MAX)) return false;

    const char* start = text;
    while (*start == ' ') ++start;

    int tokens = 0;
    walkTokens(start, [&tokens](const char*, size_t) { ++tokens; });
    // An open quote that runs into a trailing space leaves no token at all.
    if (tokens == 0) return true;

    char** array = static_cast<char**>(allocateZeroed(static_cast<size_t>(tokens), sizeof(char*)));
    int filled = 0;
    walkTokens(start, [&](const char* token, size_t length) {
        const char* from = token;
        size_t copyLength = length;
        if (length > 0 && token[0] == '"') {
            // Drop the opening quote and whatever the last character is; a lone quote
            // has nothing left between them.
            from = token + 1;
            copyLength = length >= 2 ? length - 2 : 0;
        }
        array[filled++] = heapCopy(from, copyLength);
    });
    *count = tokens;
    *vector = array;
    return true;
}
