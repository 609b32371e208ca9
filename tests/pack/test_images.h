// Small synthetic executables for the varnlet-pack unit tests: PE images with chosen
// sections and an ELF file with a configuration section, built byte by byte.
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
    uint32_t virtualSize = 0;  // 0: the data size
};

constexpr uint32_t kTestCode = 0x60000020, kTestData = 0x40000040, kTestDiscardable = 0x42000040;
constexpr size_t kTestPeOffset = 0x40;

// Sections are laid out one after the other in the file (0x200 alignment) from 0x200 on;
// directory 2 points at section `resource`, directory 5 at section `reloc` (-1: none).
inline Bytes makeTestPe(bool pe32plus, const std::vector<TestSection>& sections, int resource, int reloc = -1) {
    const uint32_t optionalSize = pe32plus ? 240 : 224;
    Bytes b(0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    wr32(&b[60], kTestPeOffset);
    memcpy(&b[kTestPeOffset], "PE\0\0", 4);
    uint8_t* fh = &b[kTestPeOffset + 4];
    wr16(fh, pe32plus ? 0x8664 : 0x14c);
    wr16(fh + 2, static_cast<uint32_t>(sections.size()));
    wr16(fh + 16, optionalSize);
    wr16(fh + 18, 0x0102);
    uint8_t* oh = fh + 20;
    wr16(oh, pe32plus ? 0x20b : 0x10b);
    wr32(oh + 32, 0x1000);
    wr32(oh + 36, 0x200);
    wr32(oh + 60, 0x200);
    wr16(oh + 68, 3);
    size_t countAt = pe32plus ? 108 : 92;
    wr32(oh + countAt, 16);
    uint8_t* dirs = oh + countAt + 4;
    uint32_t imageEnd = 0x1000;
    std::vector<uint32_t> rawAt;
    for (const TestSection& s : sections) {  // the data first: appending moves the buffer
        rawAt.push_back(static_cast<uint32_t>(b.size()));
        b.insert(b.end(), s.data.begin(), s.data.end());
        padTo(b, 0x200);
    }
    fh = &b[kTestPeOffset + 4];
    oh = fh + 20;
    dirs = oh + countAt + 4;
    for (size_t i = 0; i < sections.size(); ++i) {
        const TestSection& s = sections[i];
        uint8_t* h = fh + 20 + optionalSize + 40 * i;
        memcpy(h, s.name.data(), std::min<size_t>(8, s.name.size()));
        uint32_t vsize = s.virtualSize ? s.virtualSize : static_cast<uint32_t>(s.data.size());
        wr32(h + 8, vsize);
        wr32(h + 12, s.virtualAddress);
        wr32(h + 16, static_cast<uint32_t>(alignUp(s.data.size(), 0x200)));
        wr32(h + 20, rawAt[i]);
        wr32(h + 36, s.characteristics);
        imageEnd = static_cast<uint32_t>(alignUp(s.virtualAddress + vsize, 0x1000));
        if (static_cast<int>(i) == resource) {
            wr32(dirs + 16, s.virtualAddress);
            wr32(dirs + 20, static_cast<uint32_t>(s.data.size()));
        }
        if (static_cast<int>(i) == reloc) {
            wr32(dirs + 40, s.virtualAddress);
            wr32(dirs + 44, static_cast<uint32_t>(s.data.size()));
        }
    }
    wr32(oh + 56, imageEnd);
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
    ResourceItem i;
    i.type = resourceId(type);
    i.name = std::move(name);
    i.language = language;
    i.data = data;
    return i;
}

// A minimal 64-bit ELF file: null section, the named data section, the name table.
inline Bytes makeTestElf(const std::string& sectionName, const Bytes& contents) {
    Bytes b(64, 0);
    b[0] = 0x7F; b[1] = 'E'; b[2] = 'L'; b[3] = 'F'; b[4] = 2; b[5] = 1; b[6] = 1;
    wr16(&b[16], 3);
    wr16(&b[18], 0x3E);
    size_t dataAt = b.size();
    b.insert(b.end(), contents.begin(), contents.end());
    size_t namesAt = b.size();
    std::string names = std::string("\0", 1) + sectionName + std::string("\0.shstrtab\0", 11);
    b.insert(b.end(), names.begin(), names.end());
    padTo(b, 8);
    size_t shoff = b.size();
    b.resize(shoff + 3 * 64, 0);
    auto header = [&](size_t i, uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
        uint8_t* s = &b[shoff + 64 * i];
        wr32(s, name);
        wr32(s + 4, type);
        wr32(s + 24, static_cast<uint32_t>(offset));
        wr32(s + 32, static_cast<uint32_t>(size));
    };
    header(1, 1, 1, dataAt, contents.size());
    header(2, static_cast<uint32_t>(1 + sectionName.size() + 1), 3, namesAt, names.size());
    wr32(&b[40], static_cast<uint32_t>(shoff));
    wr16(&b[52], 64);
    wr16(&b[58], 64);
    wr16(&b[60], 3);
    wr16(&b[62], 2);
    return b;
}
