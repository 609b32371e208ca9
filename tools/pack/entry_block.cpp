// Encoding and decoding of string-table blocks.
#include "entry_block.h"

Bytes encodeEntryBlock(const std::u16string& text) {
    Bytes out;
    put16(out, static_cast<uint32_t>(text.size()));
    putUtf16(out, text);
    put16(out, 0);
    return out;
}

bool decodeBlockString(const uint8_t* data, size_t size, unsigned slot, std::u16string* text) {
    size_t pos = 0;
    for (unsigned i = 0;; ++i) {
        if (!fits(size, pos, 2)) return false;
        size_t n = rd16(data + pos);
        pos += 2;
        if (!fits(size, pos, 2 * n)) return false;
        if (i == slot) {
            text->assign(n, u'\0');
            for (size_t k = 0; k < n; ++k) (*text)[k] = static_cast<char16_t>(rd16(data + pos + 2 * k));
            return true;
        }
        pos += 2 * n;
    }
}
