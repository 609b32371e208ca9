// The in-place tokenizer: like strtok, but the position lives with the caller so that
// nested or interleaved splits cannot disturb each other.
#include "core/next_token.h"

#include <cstring>

static bool isSeparator(char c, const char* separators) { return c != '\0' && std::strchr(separators, c) != nullptr; }

char* nextToken(char* text, const char* separators, char** cursor) {
    if (text == nullptr) {
        *cursor = nullptr;
        return nullptr;
    }
    if (*cursor != nullptr && **cursor == '\0') {
        *cursor = nullptr;
        return nullptr;
    }
    char* p = *cursor != nullptr ? *cursor : text;
    while (isSeparator(*p, separators)) ++p;
    if (*p == '\0') {
        *cursor = nullptr;
        return nullptr;
    }
    char* token = p;
    while (*p != '\0' && !isSeparator(*p, separators)) ++p;
    if (*p != '\0') {
        *p = '\0';
        *cursor = p + 1;
    } else {
        *cursor = p;
    }
    return token;
}
