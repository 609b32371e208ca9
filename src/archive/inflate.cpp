// The one door to zlib: inflating a jar entry stored with the deflate method, and the CRC-32
// every entry carries.
#include "archive/inflate.h"

#include <zlib.h>

bool inflateRawData(const unsigned char* in, size_t inSize, unsigned char* out, size_t outSize) {
    // zlib counts in 32-bit units; entries this reader takes are far smaller.
    if (inSize > 0xFFFFFFFFu || outSize > 0xFFFFFFFFu) return false;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<unsigned char*>(in);
    stream.avail_in = static_cast<uInt>(inSize);
    unsigned char spare;
    // An output of 0 bytes still needs somewhere to point, and a stream that would make more
    // than `outSize` bytes must be told from one that ends exactly.
    stream.next_out = outSize > 0 ? out : &spare;
    stream.avail_out = static_cast<uInt>(outSize);
    int result = inflate(&stream, Z_FINISH);
    bool whole = result == Z_STREAM_END && stream.total_out == outSize;
    inflateEnd(&stream);
    return whole;
}

unsigned long crc32Of(const unsigned char* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // In pieces: zlib takes 32-bit lengths.
    for (size_t at = 0; at < size; at += 0x40000000u) {
        size_t piece = size - at < 0x40000000u ? size - at : 0x40000000u;
        crc = crc32(crc, data + at, static_cast<uInt>(piece));
    }
    return crc;
}
