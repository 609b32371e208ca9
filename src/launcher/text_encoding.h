// Conversions between UTF-8, UTF-16 and the modified UTF-8 that JNI expects.
#pragma once
#include <string>

// Invalid sequences decode to U+FFFD; nothing is read past the end of the input.
std::u16string utf8ToUtf16(const std::string& text);
std::string utf16ToUtf8(const std::u16string& text);
// JNI's modified UTF-8: U+0000 as C0 80, each surrogate as its own three-byte sequence.
std::string toModifiedUtf8(const std::u16string& text);
// Text in the process's code page, as JNI's NewStringUTF needs it.
std::string codePageToModifiedUtf8(const char* text);
