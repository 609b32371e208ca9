// JNI's modified UTF-8, from UTF-16 or from the process's code page.
#include "core/text_encoding.h"

#include "platform/platform.h"
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

std::string codePageToModifiedUtf8(const char* text) {
    std::u16string wide;
    Platform.decodeCodePage(text ? text : "", &wide);
    return toModifiedUtf8(wide);
}
