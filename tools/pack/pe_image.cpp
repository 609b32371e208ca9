// PE parsing and the resource-section rewrite. The file is untrusted: every offset is
// checked with `fits` before it is read.
#include "pe_image.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kScnInitializedData = 0x00000040;
constexpr uint32_t kScnDiscardable = 0x02000000;
constexpr size_t kSectionEntrySize = 40;
constexpr uint32_t kMaxSections = 96;

bool fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

size_t imageSizeOffset(const PeImage& image) { return image.optionalHeaderOffset + 56; }
size_t initializedDataOffset(const PeImage& image) { return image.optionalHeaderOffset + 8; }
size_t symbolTableOffset(const PeImage& image) { return image.fileHeaderOffset + 8; }

void writeSection(PeImage& image, const PeSection& s) {
    uint8_t* p = image.bytes.data() + s.headerOffset;
    wr32(p + 8, s.virtualSize);
    wr32(p + 12, s.virtualAddress);
    wr32(p + 16, s.rawSize);
    wr32(p + 20, s.rawOffset);
}

void setDirectory(PeImage& image, unsigned index, uint32_t rva, uint32_t size) {
    uint8_t* p = image.bytes.data() + image.dataDirectoryOffset + 8 * size_t{index};
    wr32(p, rva);
    wr32(p + 4, size);
}

// Memory extent of a section: its virtual size, or its file size when that is larger.
uint64_t memoryEnd(const PeImage& image, const PeSection& s) {
    uint64_t size = std::max<uint64_t>(s.virtualSize, s.rawSize);
    return s.virtualAddress + alignUp(size, image.sectionAlignment);
}

}  // namespace

bool isPeFile(const Bytes& bytes) { return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z'; }

bool parsePe(Bytes bytes, PeImage* image, std::string* error) {
    PeImage& pe = *image;
    pe = PeImage{};
    pe.bytes = std::move(bytes);
    const Bytes& b = pe.bytes;
    const uint64_t size = b.size();
    if (!fits(size, 0, 64) || b[0] != 'M' || b[1] != 'Z')
        return fail(error, "not a PE file: the DOS header is missing or truncated");
    uint32_t peOffset = rd32(&b[60]);
    if (!fits(size, peOffset, 24)) return fail(error, "truncated PE file: the PE header lies outside the file");
    if (memcmp(&b[peOffset], "PE\0\0", 4) != 0) return fail(error, "not a PE file: no PE signature");
    pe.fileHeaderOffset = peOffset + 4;
    const uint8_t* fh = &b[pe.fileHeaderOffset];
    pe.machine = rd16(fh);
    uint16_t sectionCount = rd16(fh + 2);
    uint16_t optionalSize = rd16(fh + 16);
    pe.optionalHeaderOffset = pe.fileHeaderOffset + 20;
    if (!fits(size, pe.optionalHeaderOffset, optionalSize))
        return fail(error, "truncated PE file: the optional header lies outside the file");
    if (optionalSize < 2) return fail(error, "malformed PE file: no optional header");
    const uint8_t* oh = &b[pe.optionalHeaderOffset];
    uint16_t magic = rd16(oh);
    if (magic == 0x10b) pe.pe32plus = false;
    else if (magic == 0x20b) pe.pe32plus = true;
    else return fail(error, "malformed PE file: unknown optional header magic");
    size_t countAt = pe.pe32plus ? 108 : 92;
    if (optionalSize < countAt + 4) return fail(error, "truncated PE file: the optional header is too short");
    pe.sectionAlignment = rd32(oh + 32);
    pe.fileAlignment = rd32(oh + 36);
    pe.sizeOfHeaders = rd32(oh + 60);
    pe.dataDirectoryCount = std::min<uint32_t>(rd32(oh + countAt), 16);
    pe.dataDirectoryOffset = pe.optionalHeaderOffset + countAt + 4;
    if (countAt + 4 + 8ull * pe.dataDirectoryCount > optionalSize)
        return fail(error, "malformed PE file: the data directory table does not fit the optional header");
    bool powerOfTwo =
        (pe.fileAlignment & (pe.fileAlignment - 1)) == 0 && (pe.sectionAlignment & (pe.sectionAlignment - 1)) == 0;
    if (!powerOfTwo || pe.fileAlignment < 512 || pe.fileAlignment > 65536 || pe.sectionAlignment < pe.fileAlignment)
        return fail(error, "malformed PE file: unusual file or section alignment");
    if (pe.sizeOfHeaders > size) return fail(error, "truncated PE file: the headers are larger than the file");

    size_t table = pe.optionalHeaderOffset + optionalSize;
    if (sectionCount == 0 || sectionCount > kMaxSections)
        return fail(error, "malformed PE file: bad number of sections");
    if (!fits(size, table, uint64_t(sectionCount) * kSectionEntrySize))
        return fail(error, "truncated PE file: the section table lies outside the file");
    if (table + sectionCount * kSectionEntrySize > pe.sizeOfHeaders)
        return fail(error, "malformed PE file: the section table is not inside the headers");
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint8_t* s = &b[table + i * kSectionEntrySize];
        PeSection section;
        section.name.assign(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), 8));
        section.virtualSize = rd32(s + 8);
        section.virtualAddress = rd32(s + 12);
        section.rawSize = rd32(s + 16);
        section.rawOffset = rd32(s + 20);
        section.characteristics = rd32(s + 36);
        section.headerOffset = table + i * kSectionEntrySize;
        if (section.rawSize && !fits(size, section.rawOffset, section.rawSize))
            return fail(error, "truncated PE file: section " + section.name + " lies outside the file");
        if (section.rawSize && section.rawOffset < pe.sizeOfHeaders)
            return fail(error, "malformed PE file: section " + section.name + " overlaps the headers");
        if (section.virtualAddress < pe.sizeOfHeaders)
            return fail(error, "malformed PE file: section " + section.name + " overlaps the headers in memory");
        pe.sections.push_back(section);
    }
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const PeSection& s = pe.sections[i];
        if (i > 0 && memoryEnd(pe, pe.sections[i - 1]) > s.virtualAddress)
            return fail(error, "malformed PE file: sections " + pe.sections[i - 1].name + " and " + s.name +
                                   " overlap in memory");
        if (memoryEnd(pe, s) > 0xFFFFFFFFull)
            return fail(error, "malformed PE file: section " + s.name + " ends beyond 4 GB");
        for (size_t j = i + 1; j < pe.sections.size() && s.rawSize; ++j) {
            const PeSection& t = pe.sections[j];
            if (t.rawSize && s.rawOffset < uint64_t(t.rawOffset) + t.rawSize &&
                t.rawOffset < uint64_t(s.rawOffset) + s.rawSize)
                return fail(error, "malformed PE file: sections " + s.name + " and " + t.name + " overlap in the file");
        }
    }
    return true;
}

bool dataDirectory(const PeImage& image, unsigned index, uint32_t* rva, uint32_t* size) {
    if (index >= image.dataDirectoryCount) return false;
    const uint8_t* p = image.bytes.data() + image.dataDirectoryOffset + 8 * size_t{index};
    *rva = rd32(p);
    *size = rd32(p + 4);
    return *rva != 0 || *size != 0;
}

int sectionContaining(const PeImage& image, uint32_t rva) {
    for (size_t i = 0; i < image.sections.size(); ++i) {
        const PeSection& s = image.sections[i];
        if (rva >= s.virtualAddress && rva - s.virtualAddress < std::max(s.virtualSize, s.rawSize))
            return static_cast<int>(i);
    }
    return -1;
}

bool rvaToOffset(const PeImage& image, uint32_t rva, uint32_t length, size_t* offset) {
    int i = sectionContaining(image, rva);
    if (i < 0) return false;
    const PeSection& s = image.sections[i];
    uint32_t within = rva - s.virtualAddress;
    if (!fits(s.rawSize, within, length)) return false;
    *offset = s.rawOffset + within;
    return true;
}

bool findResourceSection(const PeImage& image, int* index, std::string* error) {
    uint32_t rva = 0, size = 0;
    if (!dataDirectory(image, DirResource, &rva, &size)) return fail(error, "the executable has no resources");
    int i = sectionContaining(image, rva);
    if (i < 0) return fail(error, "malformed PE file: the resource directory lies outside every section");
    const PeSection& s = image.sections[i];
    if (rva != s.virtualAddress)
        return fail(error, "unsupported PE file: the resources do not start their own section");
    if (s.rawSize == 0 || size > std::max(s.virtualSize, s.rawSize))
        return fail(error, "malformed PE file: the resource directory lies outside its section");
    *index = i;
    return true;
}

size_t checksumOffset(const PeImage& image) { return image.optionalHeaderOffset + 64; }

uint32_t peChecksum(const Bytes& bytes, size_t skip) {
    uint64_t sum = 0;
    size_t n = bytes.size();
    for (size_t i = 0; i < n; i += 2) {
        if (i == skip || i == skip + 2) continue;
        uint32_t word = bytes[i] | (i + 1 < n ? bytes[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + n);
}

bool removeSignature(PeImage& image, bool* removed, std::string* error) {
    *removed = false;
    uint32_t offset = 0, size = 0;
    if (!dataDirectory(image, DirSecurity, &offset, &size)) return true;
    // The certificate table is addressed by file offset and lies after the sections.
    if (!fits(image.bytes.size(), offset, size))
        return fail(error, "malformed PE file: the signature lies outside the file");
    for (const PeSection& s : image.sections)
        if (s.rawSize && offset < uint64_t(s.rawOffset) + s.rawSize)
            return fail(error, "malformed PE file: the signature overlaps section " + s.name);
    const bool atEnd = uint64_t(offset) + size == image.bytes.size();
    image.bytes.erase(image.bytes.begin() + offset, image.bytes.begin() + offset + size);
    // Signing tools align the table to 8 bytes with zeros; those go with it, so the file ends
    // where its sections do, as it did before it was signed.
    uint64_t sectionsEnd = 0;
    for (const PeSection& s : image.sections)
        sectionsEnd = std::max<uint64_t>(sectionsEnd, uint64_t(s.rawOffset) + s.rawSize);
    uint32_t symbols = rd32(image.bytes.data() + symbolTableOffset(image));
    if (atEnd && symbols == 0 && sectionsEnd < offset && offset - sectionsEnd < 8 &&
        std::all_of(image.bytes.begin() + sectionsEnd, image.bytes.end(), [](uint8_t b) { return b == 0; }))
        image.bytes.resize(sectionsEnd);
    if (symbols > offset)
        wr32(image.bytes.data() + symbolTableOffset(image), symbols >= offset + size ? symbols - size : 0);
    setDirectory(image, DirSecurity, 0, 0);
    *removed = true;
    return true;
}

namespace {

// Base relocations must not patch anything inside the sections that move.
bool relocationsClearOf(const PeImage& image, uint32_t movedFrom, std::string* error) {
    uint32_t rva = 0, size = 0;
    if (!dataDirectory(image, DirBaseReloc, &rva, &size)) return true;
    size_t offset = 0;
    if (!rvaToOffset(image, rva, size, &offset))
        return fail(error, "malformed PE file: the relocation table lies outside its section");
    const uint8_t* p = image.bytes.data() + offset;
    size_t pos = 0;
    while (pos + 8 <= size) {
        uint32_t page = rd32(p + pos), blockSize = rd32(p + pos + 4);
        if (blockSize < 8 || blockSize > size - pos) return fail(error, "malformed PE file: bad relocation block");
        for (size_t k = pos + 8; k + 2 <= pos + blockSize; k += 2) {
            uint16_t entry = rd16(p + k);
            if ((entry >> 12) != 0 && uint64_t(page) + (entry & 0xFFF) >= movedFrom)
                return fail(error, "unsupported PE file: relocations patch a section after the resources");
        }
        pos += blockSize;
    }
    return true;
}

bool adjustDebugDirectory(PeImage& image, uint32_t movedFrom, uint32_t vaDelta, uint64_t fileFrom, int64_t fileDelta,
                          std::string* error) {
    uint32_t rva = 0, size = 0;
    if (!dataDirectory(image, DirDebug, &rva, &size)) return true;
    size_t offset = 0;
    if (!rvaToOffset(image, rva, size, &offset))
        return fail(error, "malformed PE file: the debug directory lies outside its section");
    for (size_t pos = 0; pos + 28 <= size; pos += 28) {
        uint8_t* e = image.bytes.data() + offset + pos;
        uint32_t address = rd32(e + 20), pointer = rd32(e + 24);
        if (address && address >= movedFrom) wr32(e + 20, address + vaDelta);
        if (pointer && pointer >= fileFrom) wr32(e + 24, static_cast<uint32_t>(pointer + fileDelta));
    }
    return true;
}

}  // namespace

bool replaceResourceSection(PeImage& image, const Bytes& data, std::string* error) {
    int r = 0;
    if (!findResourceSection(image, &r, error)) return false;
    PeSection rsrc = image.sections[r];
    const uint32_t oldVirtualEnd = static_cast<uint32_t>(memoryEnd(image, rsrc));
    const uint64_t newVirtualEnd = rsrc.virtualAddress + alignUp(data.size(), image.sectionAlignment);
    const uint32_t vaDelta = newVirtualEnd > oldVirtualEnd ? static_cast<uint32_t>(newVirtualEnd - oldVirtualEnd) : 0;
    const uint64_t oldFileEnd =
        std::min<uint64_t>(alignUp(uint64_t(rsrc.rawOffset) + rsrc.rawSize, image.fileAlignment), image.bytes.size());
    const uint64_t newRawSize = alignUp(data.size(), image.fileAlignment);
    const uint64_t newFileEnd = rsrc.rawOffset + newRawSize;
    const int64_t fileDelta = static_cast<int64_t>(newFileEnd) - static_cast<int64_t>(oldFileEnd);
    if (newVirtualEnd > 0x7FFFFFFF || image.bytes.size() + newRawSize > 0x7FFFFFFF)
        return fail(error, "the resources are too large");

    for (size_t i = 0; i < image.sections.size(); ++i) {
        const PeSection& s = image.sections[i];
        if (i != size_t(r) && s.rawSize && s.rawOffset >= rsrc.rawOffset && s.rawOffset < oldFileEnd)
            return fail(error, "malformed PE file: section " + s.name + " overlaps the resources in the file");
    }
    // Another directory inside the resource section would be lost with it.
    for (unsigned d = 0; d < image.dataDirectoryCount; ++d) {
        uint32_t rva = 0, size = 0;
        if (d == DirResource || d == DirSecurity || !dataDirectory(image, d, &rva, &size)) continue;
        int at = sectionContaining(image, rva);
        if (at == r) return fail(error, "unsupported PE file: the resource section holds other data as well");
        if (vaDelta && at > r && d != DirBaseReloc && d != DirDebug)
            return fail(error, "unsupported PE file: the resources cannot grow, section " + image.sections[at].name +
                                   " after them holds program data");
    }
    if (vaDelta) {
        // Only sections that nothing addresses at run time may move to make room.
        for (size_t i = r + 1; i < image.sections.size(); ++i) {
            const PeSection& s = image.sections[i];
            if (!(s.characteristics & kScnDiscardable) && s.name != ".reloc")
                return fail(error,
                            "unsupported PE file: the resources cannot grow, section " + s.name + " follows them");
        }
        if (!relocationsClearOf(image, oldVirtualEnd, error)) return false;
    }
    if (!adjustDebugDirectory(image, oldVirtualEnd, vaDelta, oldFileEnd, fileDelta, error)) return false;

    Bytes out(image.bytes.begin(), image.bytes.begin() + rsrc.rawOffset);
    out.insert(out.end(), data.begin(), data.end());
    out.resize(newFileEnd, 0);
    out.insert(out.end(), image.bytes.begin() + oldFileEnd, image.bytes.end());
    image.bytes.swap(out);

    uint32_t oldRawSize = rsrc.rawSize;
    for (size_t i = 0; i < image.sections.size(); ++i) {
        PeSection& s = image.sections[i];
        if (i == size_t(r)) {
            s.virtualSize = static_cast<uint32_t>(data.size());
            s.rawSize = static_cast<uint32_t>(newRawSize);
        } else {
            if (s.rawSize && s.rawOffset >= oldFileEnd) s.rawOffset = static_cast<uint32_t>(s.rawOffset + fileDelta);
            if (i > size_t(r)) s.virtualAddress += vaDelta;
        }
        writeSection(image, s);
    }
    setDirectory(image, DirResource, rsrc.virtualAddress, static_cast<uint32_t>(data.size()));
    uint32_t rva = 0, size = 0;
    if (vaDelta && dataDirectory(image, DirBaseReloc, &rva, &size) && rva >= oldVirtualEnd)
        setDirectory(image, DirBaseReloc, rva + vaDelta, size);
    if (vaDelta && dataDirectory(image, DirDebug, &rva, &size) && rva >= oldVirtualEnd)
        setDirectory(image, DirDebug, rva + vaDelta, size);

    uint8_t* symbols = image.bytes.data() + symbolTableOffset(image);
    if (rd32(symbols) >= oldFileEnd) wr32(symbols, static_cast<uint32_t>(rd32(symbols) + fileDelta));
    if (rsrc.characteristics & kScnInitializedData) {
        uint8_t* p = image.bytes.data() + initializedDataOffset(image);
        wr32(p, static_cast<uint32_t>(rd32(p) + (newRawSize - oldRawSize)));
    }
    uint64_t imageEnd = 0;
    for (const PeSection& s : image.sections) imageEnd = std::max(imageEnd, memoryEnd(image, s));
    wr32(image.bytes.data() + imageSizeOffset(image), static_cast<uint32_t>(alignUp(imageEnd, image.sectionAlignment)));
    size_t sumAt = checksumOffset(image);
    wr32(image.bytes.data() + sumAt, 0);
    wr32(image.bytes.data() + sumAt, peChecksum(image.bytes, sumAt));
    return true;
}
