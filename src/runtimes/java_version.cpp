// Version names compared as (major, minor) pairs, so that "11.0.2" counts as the newer
// runtime it is rather than being judged digit by digit. Names of the form "1.x" are Java x
// (Java 8 called itself "1.8.0_202", later runtimes "8.0.392"), on both sides of the check.
#include "runtimes/java_version.h"

#include <cctype>
#include <cstring>

#include "core/config.h"

namespace {

// Nine digits fit in 32 bits; anything longer is not a version number.
constexpr int kMaxDigits = 9;

const char* readNumber(const char* p, uint32_t* value) {
    uint32_t v = 0;
    int digits = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (++digits > kMaxDigits) return nullptr;
        v = v * 10 + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (digits == 0) return nullptr;
    *value = v;
    return p;
}

// "1.x.y" is Java x, update y; anything else is (major, minor) as written.
JavaVersion javaNumbering(uint32_t first, uint32_t second, uint32_t third, bool hasSecond) {
    if (first == 1 && hasSecond) return JavaVersion{second, third};
    return JavaVersion{first, second};
}

}  // namespace

bool parseJavaVersion(const char* name, JavaVersion* version) {
    if (name == nullptr) return false;
    uint32_t numbers[3] = {0, 0, 0};
    const char* p = readNumber(name, &numbers[0]);
    if (p == nullptr) return false;
    int count = 1;
    while (count < 3 && *p == '.' && std::isdigit(static_cast<unsigned char>(p[1]))) {
        p = readNumber(p + 1, &numbers[count++]);
        if (p == nullptr) return false;
    }
    *version = javaNumbering(numbers[0], numbers[1], numbers[2], count > 1);
    return true;
}

bool parseVendorJavaVersion(const char* name, JavaVersion* version) {
    if (name == nullptr) return false;
    static const char* const kPrefixes[] = {"zulu-", "zulu", "jdk-", "jre-"};
    for (const char* prefix : kPrefixes) {
        size_t n = std::strlen(prefix);
        bool matches = true;
        for (size_t i = 0; i < n && matches; ++i)
            matches = std::tolower(static_cast<unsigned char>(name[i])) == prefix[i];
        if (matches) {
            name += n;
            break;
        }
    }
    return parseJavaVersion(name, version);
}

bool parseMinimumJavaVersion(const char* text, JavaVersion* minimum) {
    uint32_t value = 0;
    bool parsed = text != nullptr && convertHex(text, &value);
    // 0x00010008 is "1.8", Java 8 like 0x00080000; a text that does not parse is no minimum.
    *minimum = javaNumbering(value >> 16, value & 0xF, 0, true);
    return parsed;
}

bool meetsMinimum(const JavaVersion& version, const JavaVersion& minimum) {
    if (version.major != minimum.major) return version.major > minimum.major;
    return version.minor >= minimum.minor;
}
