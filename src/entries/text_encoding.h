// The modified UTF-8 that JNI expects (the plain UTF-8/UTF-16 codec is platform/unicode.h).
#pragma once
#include <string>

#include "platform/unicode.h"

// JNI's modified UTF-8: U+0000 as C0 80, each surrogate as its own three-byte sequence.
std::string toModifiedUtf8(const std::u16string& text);
