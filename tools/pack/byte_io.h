// Little-endian reads and writes over untrusted byte buffers. Every read goes through
// `fits` first, so a size or offset taken from a file can never walk off the buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes, without overflow.
inline bool fits(uint64_t size, uint64_t offset, uint64_t length) { return offset <= size && length <= size - offset; }

inline uint16_t rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t rd64(const uint8_t* p) { return rd32(p) | (static_cast<uint64_t>(rd32(p + 4)) << 32); }

inline void wr16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void wr32(uint8_t* p, uint32_t v) {
    wr16(p, v & 0xFFFF);
    wr16(p + 2, v >> 16);
}

inline void put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline void putUtf16(Bytes& out, const std::u16string& text) {
    for (char16_t c : text) put16(out, c);
}
inline void padTo(Bytes& out, size_t alignment) {
    while (out.size() % alignment) out.push_back(0);
}

inline uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}
