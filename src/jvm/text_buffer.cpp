// The growable text the option builder assembles into.
#include "jvm/text_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

bool reserveText(TextBuffer* buffer, size_t extra) {
    if (extra == 0) return true;
    if (buffer->text != nullptr && extra <= buffer->capacity - 1 - buffer->length) return true;
    if (extra > (SIZE_MAX - 1) / 4) return false;
    size_t step = 4 * extra > 1024 ? 4 * extra : 1024;
    if (buffer->text == nullptr) {
        // Only the terminator is written: room reserved ahead is not touched until used.
        char* text = static_cast<char*>(std::malloc(step));
        if (text == nullptr) return false;
        text[0] = '\0';
        buffer->text = text;
        buffer->capacity = step;
        buffer->length = 0;
        return true;
    }
    // Doubling keeps a class path of many archives linear rather than quadratic.
    if (buffer->capacity > step) step = buffer->capacity;
    if (step > SIZE_MAX - buffer->capacity) return false;
    char* text = static_cast<char*>(std::realloc(buffer->text, buffer->capacity + step));
    if (text == nullptr) return false;
    buffer->text = text;
    buffer->capacity += step;
    return true;
}

bool appendText(TextBuffer* buffer, const char* piece, size_t length) {
    if (piece == nullptr || length == 0) return true;
    if (!reserveText(buffer, length)) return false;
    std::memcpy(buffer->text + buffer->length, piece, length);
    buffer->length += length;
    buffer->text[buffer->length] = '\0';
    return true;
}

bool appendText(TextBuffer* buffer, const char* piece) {
    return piece == nullptr || appendText(buffer, piece, std::strlen(piece));
}

void releaseText(TextBuffer* buffer) {
    std::free(buffer->text);
    buffer->text = nullptr;
    buffer->length = 0;
    buffer->capacity = 0;
}
