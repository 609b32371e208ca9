// The Linux build's configuration section, built at compile time from the same entry
// list as the Windows string table. varnlet-pack rewrites it in a copy of the binary.
#include <cstddef>

#include "platform/config_section.h"
#include "platform/posix/backend.h"

namespace {

struct SectionImage {
    unsigned char bytes[kConfigSectionSize];
};

struct DefaultEntry {
    unsigned id;
    const char* text;
};

constexpr DefaultEntry kDefaults[] = {
#define VARNLET_ENTRY(id, name, type, shape, text, meaning) {id, text},
#include "entries.def"
#undef VARNLET_ENTRY
};

constexpr void put16(SectionImage& s, size_t& pos, unsigned v) {
    s.bytes[pos++] = static_cast<unsigned char>(v & 0xFF);
    s.bytes[pos++] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

constexpr SectionImage buildImage() {
    SectionImage s{};
    for (size_t i = 0; i < 16; ++i) s.bytes[i] = kConfigSectionMagic[i];
    size_t pos = 16;
    put16(s, pos, kConfigSectionSize & 0xFFFF);
    put16(s, pos, kConfigSectionSize >> 16);
    size_t usedAt = pos;
    pos += 4;
    for (const DefaultEntry& e : kDefaults) {
        size_t n = 0;
        while (e.text[n]) ++n;  // defaults are ASCII: one code unit per byte
        put16(s, pos, e.id);
        put16(s, pos, static_cast<unsigned>(2 + 2 * n + 2));
        put16(s, pos, static_cast<unsigned>(n));
        for (size_t k = 0; k < n; ++k) put16(s, pos, static_cast<unsigned char>(e.text[k]));
        put16(s, pos, 0);
    }
    put16(s, pos, 0);
    put16(s, pos, 0);
    size_t p2 = usedAt;
    put16(s, p2, pos & 0xFFFF);
    put16(s, p2, pos >> 16);
    return s;
}

// Nothing outside names it: `used` keeps it, and varnlet-pack finds it by its section's name.
__attribute__((section(VARNLET_CONFIG_SECTION_NAME), used, aligned(16))) const SectionImage varnletConfigSection =
    buildImage();

}  // namespace

const unsigned char* configSectionBytes() {
    const unsigned char* p = varnletConfigSection.bytes;
    // The section is rewritten after linking: keep the compiler from folding its defaults.
    __asm__ volatile("" : "+r"(p));
    return p;
}
