// The growable text the class path option is assembled into.
#include "options/text_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/allocation.h"

void reserveText(TextBuffer* buffer, size_t extra) {
    if (extra == 0) return;
    if (buffer->text != nullptr && extra <= buffer->capacity - 1 - buffer->length) return;
    if (extra > (SIZE_MAX - 1) / 4) outOfMemory();
    size_t step = 4 * extra > 1024 ? 4 * extra : 1024;
    if (buffer->text == nullptr) {
        // Only the terminator is written: room reserved ahead is not touched until used.
        buffer->text = static_cast<char*>(allocate(step));
        buffer->text[0] = '\0';
        buffer->capacity = step;
        buffer->length = 0;
        return;
    }
    // Doubling keeps a class path of many archives linear rather than quadratic.
    if (buffer->capacity > step) step = buffer->capacity;
    if (step > SIZE_MAX - buffer->capacity) outOfMemory();
    buffer->text = static_cast<char*>(reallocate(buffer->text, buffer->capacity + step));
    buffer->capacity += step;
}

void appendText(TextBuffer* buffer, const char* piece, size_t length) {
    if (piece == nullptr || length == 0) return;
    reserveText(buffer, length);
    std::memcpy(buffer->text + buffer->length, piece, length);
    buffer->length += length;
    buffer->text[buffer->length] = '\0';
}

void appendText(TextBuffer* buffer, const char* piece) {
    if (piece != nullptr) appendText(buffer, piece, std::strlen(piece));
}

void releaseText(TextBuffer* buffer) {
    std::free(buffer->text);
    buffer->text = nullptr;
    buffer->length = 0;
    buffer->capacity = 0;
}
