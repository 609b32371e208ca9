// UTF-8 <-> UTF-16 conversions. Part of the seam, so that backends and the core share
// one codec without the backends reaching up into the core.
#pragma once
#include <string>

// Invalid sequences decode to U+FFFD; nothing is read past the end of the input.
std::u16string utf8ToUtf16(const std::string& text);
// A surrogate pair becomes its one character; a surrogate without its partner (which UTF-8
// cannot hold) becomes U+FFFD, as Windows' own conversion makes it.
std::string utf16ToUtf8(const std::u16string& text);
// Appends one code point in UTF-8 (surrogate values are written as they are).
void appendUtf8(std::string& out, unsigned cp);
// True when every byte belongs to a well-formed UTF-8 sequence.
bool isValidUtf8(const std::string& text);
