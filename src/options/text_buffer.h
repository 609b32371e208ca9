// A growable text for the class path option and expanded references, built in linear time.
#pragma once
#include <cstddef>

// A growable text. `text` stays null until the first non-empty append or reservation;
// whenever it is not null it is terminated and length + 1 <= capacity. The owner frees
// `text` (releaseText).
struct TextBuffer {
    char* text;
    size_t length;
    size_t capacity;
};

// Appends `piece` (null or empty changes nothing). Grows at most once per append, by at
// least 1024 bytes and at least four times the piece, and at least doubling, so that long
// class paths are built in linear time. Memory that runs out ends the run (core/allocation.h).
void appendText(TextBuffer* buffer, const char* piece);
// Makes room for `extra` more bytes (and the terminator) by the same rule, so that a text
// whose size is known ahead is written once instead of being copied as it grows.
void reserveText(TextBuffer* buffer, size_t extra);
void appendText(TextBuffer* buffer, const char* piece, size_t length);
void releaseText(TextBuffer* buffer);
