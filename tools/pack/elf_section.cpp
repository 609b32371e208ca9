// ELF section lookup (32- and 64-bit, little-endian) and the configuration section layout.
#include "elf_section.h"

#include <cstring>

#include "platform/config_section.h"

namespace {
bool fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}
}  // namespace

bool isElfFile(const Bytes& b) { return b.size() >= 4 && b[0] == 0x7F && b[1] == 'E' && b[2] == 'L' && b[3] == 'F'; }

bool findElfSection(const Bytes& b, const char* name, size_t* offset, size_t* size, std::string* error) {
    if (b.size() < 16 || !isElfFile(b)) return fail(error, "not an ELF file");
    bool is64 = b[4] == 2;
    if ((b[4] != 1 && b[4] != 2) || b[5] != 1)
        return fail(error, "unsupported ELF file: not little-endian 32- or 64-bit");
    size_t headerSize = is64 ? 64 : 52;
    if (b.size() < headerSize) return fail(error, "truncated ELF file: the header is cut short");
    uint64_t shoff = is64 ? rd64(&b[40]) : rd32(&b[32]);
    size_t shentsize = rd16(&b[is64 ? 58 : 46]);
    size_t shnum = rd16(&b[is64 ? 60 : 48]);
    size_t shstrndx = rd16(&b[is64 ? 62 : 50]);
    size_t minEntry = is64 ? 64 : 40;
    if (shoff == 0 || shnum == 0) return fail(error, "ELF file without a section table");
    if (shentsize < minEntry) return fail(error, "malformed ELF file: section headers are too small");
    if (!fits(b.size(), shoff, uint64_t(shnum) * shentsize))
        return fail(error, "truncated ELF file: the section table lies outside the file");
    if (shstrndx >= shnum) return fail(error, "malformed ELF file: no section name table");
    struct Sec {
        uint32_t name, type;
        uint64_t offset, size;
    };
    auto section = [&](size_t i) {
        const uint8_t* s = &b[shoff + i * shentsize];
        Sec r;
        r.name = rd32(s);
        r.type = rd32(s + 4);
        r.offset = is64 ? rd64(s + 24) : rd32(s + 16);
        r.size = is64 ? rd64(s + 32) : rd32(s + 20);
        return r;
    };
    Sec names = section(shstrndx);
    if (names.type == 8 || !fits(b.size(), names.offset, names.size))
        return fail(error, "truncated ELF file: the section name table lies outside the file");
    size_t wanted = strlen(name);
    for (size_t i = 0; i < shnum; ++i) {
        Sec s = section(i);
        if (s.name >= names.size || names.size - s.name <= wanted) continue;
        const uint8_t* n = &b[names.offset + s.name];
        if (memcmp(n, name, wanted) != 0 || n[wanted] != 0) continue;
        if (s.type == 8) return fail(error, std::string("malformed ELF file: section ") + name + " has no contents");
        if (!fits(b.size(), s.offset, s.size))
            return fail(error, std::string("truncated ELF file: section ") + name + " lies outside the file");
        *offset = static_cast<size_t>(s.offset);
        *size = static_cast<size_t>(s.size);
        return true;
    }
    return fail(error, std::string("not a varnlet launcher: the ELF file has no ") + name + " section");
}

bool parseConfigSection(const uint8_t* section, size_t size, std::vector<ConfigRecord>* records, std::string* error) {
    records->clear();
    if (size < kConfigSectionHeaderSize || memcmp(section, kConfigSectionMagic, 16) != 0)
        return fail(error, "malformed configuration section: no magic header");
    size_t pos = kConfigSectionHeaderSize;
    for (;;) {
        if (!fits(size, pos, 4)) return fail(error, "malformed configuration section: no end mark");
        unsigned id = rd16(section + pos);
        size_t length = rd16(section + pos + 2);
        pos += 4;
        if (id == 0) return true;
        if (!fits(size, pos, length))
            return fail(error, "malformed configuration section: entry " + std::to_string(id) + " runs past its end");
        records->push_back(ConfigRecord{id, Bytes(section + pos, section + pos + length)});
        pos += length;
    }
}

bool buildConfigSection(const std::vector<ConfigRecord>& records, size_t size, Bytes* image, std::string* error) {
    Bytes out(kConfigSectionMagic, kConfigSectionMagic + 16);
    put32(out, static_cast<uint32_t>(size));
    put32(out, 0);
    for (const ConfigRecord& r : records) {
        if (r.block.size() > 0xFFFF)
            return fail(error, "entry " + std::to_string(r.id) + " is too long for the configuration section");
        put16(out, r.id);
        put16(out, static_cast<uint32_t>(r.block.size()));
        out.insert(out.end(), r.block.begin(), r.block.end());
    }
    put32(out, 0);
    if (out.size() > size)
        return fail(error, "the entries take " + std::to_string(out.size()) + " bytes, more than the " +
                               std::to_string(size) + " bytes of the launcher's configuration section");
    wr32(out.data() + 20, static_cast<uint32_t>(out.size()));
    out.resize(size, 0);
    *image = std::move(out);
    return true;
}
