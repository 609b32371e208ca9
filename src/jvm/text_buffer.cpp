// The growable text the option builder assembles into.
#include <cstdlib>
#include <cstring>

#include "jvm/options.h"

bool appendText(TextBuffer* buffer, const char* piece, size_t length) {
    if (piece == nullptr || length == 0) return true;
    size_t step = 4 * length > 1024 ? 4 * length : 1024;
    if (buffer->text == nullptr) {
        char* text = static_cast<char*>(std::calloc(step, 1));
        if (text == nullptr) return false;
        buffer->text = text;
        buffer->capacity = step;
        buffer->length = 0;
    } else if (buffer->length + length > buffer->capacity - 1) {
        // Doubling keeps a class path of many archives linear rather than quadratic.
        if (buffer->capacity > step) step = buffer->capacity;
        char* text = static_cast<char*>(std::realloc(buffer->text, buffer->capacity + step));
        if (text == nullptr) return false;
        buffer->text = text;
        buffer->capacity += step;
    }
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
