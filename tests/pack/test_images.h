// Small synthetic PE images with chosen sections for the varnlet-pack unit tests, built
// byte by byte.
#pragma once
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "byte_io.h"
#include "resource_tree.h"

struct TestSection {
    std::string name;
    uint32_t virtualAddress;
    Bytes data;
    uint32_t characteristics;
};

constexpr uint32_t kTestCode = 0x60000020, kTestData = 0x40000040, kTestDiscardable = 0x42000040;
constexpr size_t kTestPeOffset = 0x40;

// Sections are laid out one after the other in the file (0x200 alignment) from 0x200 on;
// directory 2 points at section `resource`, directory 5 at section `reloc` (-1: none).
inline Bytes makeTestPe(bool pe32plus, const std::vector<TestSection>& sections, int resource, int reloc = -1) {
    const uint32_t optionalSize = pe32plus ? 240 : 224;
    const size_t fh = kTestPeOffset + 4, oh = fh + 20, dirs = oh + (pe32plus ? 112 : 96);
    Bytes b(0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    wr32(&b[60], kTestPeOffset);
    memcpy(&b[kTestPeOffset], "PE\0\0", 4);
    wr16(&b[fh], pe32plus ? 0x8664 : 0x14c);
    wr16(&b[fh + 2], static_cast<uint32_t>(sections.size()));
    wr16(&b[fh + 16], optionalSize);
    wr16(&b[fh + 18], 0x0102);
    wr16(&b[oh], pe32plus ? 0x20b : 0x10b);
    wr32(&b[oh + 32], 0x1000);
    wr32(&b[oh + 36], 0x200);
    wr32(&b[oh + 60], 0x200);
    wr16(&b[oh + 68], 3);
    wr32(&b[dirs - 4], 16);
    uint32_t imageEnd = 0x1000;
    for (size_t i = 0; i < sections.size(); ++i) {
        const TestSection& s = sections[i];
        const size_t h = oh + optionalSize + 40 * i, dir = static_cast<int>(i) == resource ? 2 : static_cast<int>(i) == reloc ? 5 : 0;
        const uint32_t size = static_cast<uint32_t>(s.data.size());
        memcpy(&b[h], s.name.data(), std::min<size_t>(8, s.name.size()));
        wr32(&b[h + 8], size);
        wr32(&b[h + 12], s.virtualAddress);
        wr32(&b[h + 16], static_cast<uint32_t>(alignUp(size, 0x200)));
        wr32(&b[h + 20], static_cast<uint32_t>(b.size()));
        wr32(&b[h + 36], s.characteristics);
        if (dir) {
            wr32(&b[dirs + 8 * dir], s.virtualAddress);
            wr32(&b[dirs + 8 * dir + 4], size);
        }
        b.insert(b.end(), s.data.begin(), s.data.end());
        padTo(b, 0x200);
        imageEnd = static_cast<uint32_t>(alignUp(s.virtualAddress + size, 0x1000));
    }
    wr32(&b[oh + 56], imageEnd);
    return b;
}

// One base-relocation block for `page` with the given 12-bit offsets (type 10, DIR64).
inline Bytes makeRelocations(uint32_t page, const std::vector<uint16_t>& offsets) {
    Bytes r;
    put32(r, page);
    put32(r, static_cast<uint32_t>(8 + 2 * offsets.size() + (offsets.size() % 2 ? 2 : 0)));
    for (uint16_t o : offsets) put16(r, 0xA000u | o);
    if (offsets.size() % 2) put16(r, 0);
    return r;
}

inline ResourceItem makeItem(uint16_t type, ResourceName name, uint16_t language, const Bytes& data) {
    return {resourceId(type), std::move(name), language, 0, data};
}
