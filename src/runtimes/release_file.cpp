// What a runtime says about itself: the version line of its `release` file and the header
// of its JVM library.
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "runtimes/installed_runtimes.h"

namespace {

uint16_t little16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t little32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The file format and machine a library's first bytes name; false when they are neither a
// PE nor an ELF header (or the header lies beyond the bytes read).
bool readHeader(const unsigned char* head, size_t length, ModuleFormat* format, uint16_t* machine) {
    if (length >= 20 && std::memcmp(head,
                                    "\x7f"
                                    "ELF",
                                    4) == 0) {
        *format = ModuleFormat::Elf;
        bool bigEndian = head[5] == 2;
        *machine = bigEndian ? static_cast<uint16_t>(head[18] << 8 | head[19]) : little16(head + 18);
        return true;
    }
    if (length >= 0x40 && head[0] == 'M' && head[1] == 'Z') {
        uint64_t at = little32(head + 0x3c);
        if (at + 6 > length || std::memcmp(head + at, "PE\0\0", 4) != 0) return false;
        *format = ModuleFormat::Pe;
        *machine = little16(head + at + 4);
        return true;
    }
    return false;
}

// 32 or 64 for the machines people run Java on; 0 for any other.
int machineBits(ModuleFormat format, uint16_t machine) {
    if (format == ModuleFormat::Pe) {
        if (machine == 0x14c || machine == 0x1c4) return 32;  // i386, ARMv7
        if (machine == 0x8664 || machine == 0xaa64) return 64;  // AMD64, ARM64
        return 0;
    }
    if (machine == 3 || machine == 40) return 32;  // i386, ARM
    if (machine == 62 || machine == 183) return 64;  // x86-64, AArch64
    return 0;
}

}  // namespace

bool parseReleaseVersion(const char* text, size_t length, char* version, size_t size) {
    static const char kKey[] = "JAVA_VERSION=";
    const size_t keyLength = sizeof kKey - 1;
    for (size_t at = 0; at < length;) {
        const char* line = text + at;
        const char* newline = static_cast<const char*>(std::memchr(line, '\n', length - at));
        size_t lineLength = newline ? static_cast<size_t>(newline - line) : length - at;
        at += lineLength + 1;
        if (lineLength > 0 && line[lineLength - 1] == '\r') --lineLength;
        if (lineLength < keyLength || std::memcmp(line, kKey, keyLength) != 0) continue;
        const char* value = line + keyLength;
        size_t valueLength = lineLength - keyLength;
        if (valueLength >= 2 && value[0] == '"' && value[valueLength - 1] == '"') {
            ++value;
            valueLength -= 2;
        }
        if (valueLength == 0 || valueLength + 1 > size || std::memchr(value, '\0', valueLength) != nullptr ||
            std::memchr(value, '"', valueLength) != nullptr)
            return false;
        std::memcpy(version, value, valueLength);
        version[valueLength] = '\0';
        return true;
    }
    return false;
}

std::string libraryMismatch(const unsigned char* head, size_t length) {
    ModuleFormat format;
    uint16_t machine;
    if (!readHeader(head, length, &format, &machine)) return "not a library this launcher can load";
    if (format != Platform.traits.moduleFormat)
        return format == ModuleFormat::Pe ? "a Windows library, this launcher runs on Linux"
                                          : "a Linux library, this launcher runs on Windows";
    if (machine == Platform.traits.moduleMachine) return "";
    int theirs = machineBits(format, machine);
    int mine = machineBits(Platform.traits.moduleFormat, Platform.traits.moduleMachine);
    if (theirs != 0 && mine != 0 && theirs != mine)
        return std::to_string(theirs) + "-bit runtime, this launcher is " + std::to_string(mine) + "-bit";
    return "runtime for another processor than this launcher's";
}
