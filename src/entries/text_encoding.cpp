// JNI's modified UTF-8 from UTF-16: part of the entry model varnlet-pack links too, so it
// makes no platform call.
#include "entries/text_encoding.h"

#include "platform/unicode.h"

std::string toModifiedUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == 0) {
            out.push_back(static_cast<char>(0xC0));
            out.push_back(static_cast<char>(0x80));
        } else {
            appendUtf8(out, c);  // surrogates are encoded one by one, as JNI wants them
        }
    }
    return out;
}
