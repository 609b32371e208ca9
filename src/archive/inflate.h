// The one door to zlib: inflating a jar entry stored with the deflate method, and the CRC-32
// every entry carries.
#pragma once
#include <cstddef>

// Inflates raw deflate data into exactly `outSize` bytes. False when the data is damaged,
// ends early, or does not make exactly `outSize` bytes.
bool inflateRawData(const unsigned char* in, size_t inSize, unsigned char* out, size_t outSize);

// The CRC-32 of `size` bytes, as ZIP archives record it.
unsigned long crc32Of(const unsigned char* data, size_t size);
