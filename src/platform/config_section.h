// Layout of the Linux build's configuration section: the same entry blocks as the
// Windows string table, in a fixed-size ELF section that varnlet-pack rewrites in place.
#pragma once
#include <cstddef>
#include <cstdint>

#define VARNLET_CONFIG_SECTION_NAME ".varnlet_config"

// 16 bytes of magic, then a 32-bit little-endian section size and a 32-bit used size,
// then records: 16-bit id, 16-bit block length in bytes, the block (16-bit count N,
// N UTF-16LE code units, 16-bit zero). A record with id 0 ends the list.
constexpr unsigned char kConfigSectionMagic[16] = {'V', 'A', 'R', 'N', 'L', 'E', 'T', '-',
                                                   'C', 'O', 'N', 'F', 'I', 'G', 0,   1};
constexpr size_t kConfigSectionSize = 131072;
constexpr size_t kConfigSectionHeaderSize = 24;

// Finds the block of string `id` in a section image; returns false when absent or malformed.
// On success *units points at the N code units (little-endian bytes) and *count is N.
inline bool findConfigBlock(const unsigned char* section, size_t size, unsigned id, const unsigned char** units,
                            size_t* count) {
    if (size < kConfigSectionHeaderSize) return false;
    for (size_t i = 0; i < 16; ++i)
        if (section[i] != kConfigSectionMagic[i]) return false;
    size_t pos = kConfigSectionHeaderSize;
    while (pos + 4 <= size) {
        unsigned recId = section[pos] | (section[pos + 1] << 8);
        size_t len = section[pos + 2] | (section[pos + 3] << 8);
        if (recId == 0) return false;
        pos += 4;
        if (len > size - pos) return false;
        if (recId == id) {
            if (len < 4) return false;
            size_t n = section[pos] | (section[pos + 1] << 8);
            if (n * 2 + 2 > len - 2) return false;
            *units = section + pos + 2;
            *count = n;
            return true;
        }
        pos += len;
    }
    return false;
}
